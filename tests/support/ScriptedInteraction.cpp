#include "ScriptedInteraction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <memory>

#include <gtest/gtest.h>

namespace morvane::test {

ScriptedInteraction::ScriptedInteraction()
    : installed_(*this)
{
}

ScriptedInteraction::~ScriptedInteraction() = default;

ScriptedInteraction &ScriptedInteraction::ChooseFiles(QStringList files)
{
    fileAnswers_.push_back(std::move(files));
    return *this;
}

ScriptedInteraction &ScriptedInteraction::ChooseFolder(QString folder)
{
    folderAnswers_.emplace_back(std::move(folder));
    return *this;
}

ScriptedInteraction &ScriptedInteraction::CancelFolder()
{
    folderAnswers_.emplace_back(std::nullopt);
    return *this;
}

ScriptedInteraction &ScriptedInteraction::AnswerDialog(DialogAnswer answer)
{
    dialogAnswers_.push_back(std::move(answer));
    return *this;
}

ScriptedInteraction &ScriptedInteraction::CloseDialog(int result, std::map<QString, QString> texts)
{
    return AnswerDialog([result, texts = std::move(texts)](QDialog &dialog) {
        for (const auto &[name, text] : texts) {
            auto *box = dialog.findChild<QLineEdit *>(name);
            EXPECT_NE(box, nullptr) << "no line edit " << name.toStdString();
            if (box != nullptr)
                box->setText(text);
        }
        return result;
    });
}

ScriptedInteraction &ScriptedInteraction::AnswerSave(SaveChoice choice)
{
    saveAnswers_.push_back(choice);
    return *this;
}

bool ScriptedInteraction::AllAnswersUsed() const
{
    return fileAnswers_.empty() && folderAnswers_.empty() && dialogAnswers_.empty() && saveAnswers_.empty();
}

SaveChoice ScriptedInteraction::AskToSave(QWidget *, const QString &, const QString &text)
{
    if (whileAsked)
        whileAsked();
    saveQuestions.push_back(text);
    if (saveAnswers_.empty()) {
        ADD_FAILURE() << "unexpected question " << text.toStdString();
        return SaveChoice::Cancel;
    }
    const SaveChoice answer = saveAnswers_.front();
    saveAnswers_.pop_front();
    return answer;
}

QStringList ScriptedInteraction::ChooseFiles(QWidget *, const FileDialogRequest &request)
{
    if (whileAsked)
        whileAsked();
    fileRequests.push_back(request);
    if (fileAnswers_.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return {};
    }
    QStringList answer = std::move(fileAnswers_.front());
    fileAnswers_.pop_front();
    return answer;
}

std::optional<QString> ScriptedInteraction::ChooseFolder(QWidget *, const FolderDialogRequest &request)
{
    if (whileAsked)
        whileAsked();
    folderRequests.push_back(request);
    if (folderAnswers_.empty()) {
        ADD_FAILURE() << "unexpected folder dialog";
        return std::nullopt;
    }
    const bool cancelled = !folderAnswers_.front().has_value();
    const QString folder = folderAnswers_.front().value_or(QString());
    folderAnswers_.pop_front();
    if (cancelled)
        return std::nullopt;
    return folder;
}

void ScriptedInteraction::ShowMessage(QWidget *, MessageKind kind, const QString &title, const QString &text,
                                      const QString &details)
{
    if (whileAsked)
        whileAsked();
    const QCursor *cursor = QApplication::overrideCursor();
    messages.push_back({kind, title, text, details, cursor != nullptr && cursor->shape() == Qt::WaitCursor});
}

int ScriptedInteraction::ShowModal(QDialog &dialog)
{
    if (whileAsked)
        whileAsked();
    dialogsShown.push_back(dialog.objectName());
    if (dialogAnswers_.empty()) {
        ADD_FAILURE() << "unexpected dialog " << dialog.objectName().toStdString();
        return 0;
    }
    DialogAnswer answer = std::move(dialogAnswers_.front());
    dialogAnswers_.pop_front();
    return answer(dialog);
}

namespace {

struct ModalPoller : std::enable_shared_from_this<ModalPoller>
{
    std::function<void(QWidget &)> action;
    QElapsedTimer waited;

    void Step()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal->isVisible()) {
            action(*modal);
            return;
        }
        if (waited.elapsed() > 5000) {
            ADD_FAILURE() << "no modal window showed";
            return;
        }
        QTimer::singleShot(10, [self = shared_from_this()] { self->Step(); });
    }
};

} // namespace

void WhenModalShows(std::function<void(QWidget &)> action)
{
    auto poller = std::make_shared<ModalPoller>();
    poller->action = std::move(action);
    poller->waited.start();
    QTimer::singleShot(0, [poller] { poller->Step(); });
}

std::map<QString, QString> LineEditTexts(const QWidget &dialog)
{
    std::map<QString, QString> texts;
    for (const QLineEdit *box : dialog.findChildren<QLineEdit *>())
        texts[box->objectName()] = box->text();
    return texts;
}

} // namespace morvane::test
