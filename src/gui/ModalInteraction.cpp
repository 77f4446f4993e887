#include "gui/ModalInteraction.h"

#include "gui/FileDialogs.h"
#include "gui/FolderChooserDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <QVariantMap>

#include <algorithm>

namespace morvane {

namespace {

QtInteraction qtInteraction;
ModalInteraction *current = &qtInteraction;

QFileDialog::FileMode fileModeFor(const FileDialogRequest &request)
{
    if (request.save)
        return QFileDialog::AnyFile;
    if (request.multiSelect)
        return QFileDialog::ExistingFiles;
    return request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile;
}

QMessageBox::Icon iconFor(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        break;
    }
    return QMessageBox::Information;
}

// A Qt file dialog stores its history, side bar and view in the user's QtProject settings when it
// is destroyed, where every Qt program of that user finds them afterwards. This puts back what was
// there, key by key, so that another program's changes in the meantime are kept.
class UserQtSettingsKept
{
public:
    UserQtSettingsKept()
        : fileExisted_(QFileInfo::exists(settings().fileName()))
        , saved_(dialogValues())
    {
    }

    ~UserQtSettingsKept()
    {
        QSettings user = settings();
        user.beginGroup(QStringLiteral("FileDialog"));
        if (values(user) == saved_)
            return;
        user.remove(QString());
        for (auto value = saved_.cbegin(); value != saved_.cend(); ++value)
            user.setValue(value.key(), value.value());
        user.endGroup();
        user.sync();
        if (!fileExisted_ && user.allKeys().isEmpty())
            QFile::remove(user.fileName());
    }

    UserQtSettingsKept(const UserQtSettingsKept &) = delete;
    UserQtSettingsKept &operator=(const UserQtSettingsKept &) = delete;

private:
    static QSettings settings() { return QSettings(QSettings::UserScope, QStringLiteral("QtProject")); }

    static QVariantMap values(const QSettings &group)
    {
        QVariantMap found;
        for (const QString &key : group.childKeys())
            found.insert(key, group.value(key));
        return found;
    }

    static QVariantMap dialogValues()
    {
        QSettings user = settings();
        user.beginGroup(QStringLiteral("FileDialog"));
        return values(user);
    }

    bool fileExisted_ = false;
    QVariantMap saved_;
};

// Qt adds a dialog's default suffix to every typed name without a dot; this adds it only to a typed
// name that does not exist as typed, so that an existing file without extension can be chosen.
class FileChooserDialog : public QFileDialog
{
public:
    FileChooserDialog(QWidget *parent, const FileDialogRequest &request)
        : QFileDialog(parent, request.title, request.directory, request.filter)
        , suffix_(request.defaultSuffix)
    {
    }

    void accept() override
    {
        setDefaultSuffix(QString());
        const QStringList typed = selectedFiles();
        const bool completes = std::any_of(typed.begin(), typed.end(), [this](const QString &file) {
            return WithDefaultSuffix(file, suffix_) != file;
        });
        setDefaultSuffix(completes ? suffix_ : QString());
        QFileDialog::accept();
    }

private:
    QString suffix_;
};

// The window manager's frame around a window, once it is known.
QMargins frameOf(const QWidget &window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// Qt places a box before its layout has grown to fit the text, and before the window manager has
// framed it, so it would sit too high.
class CentredMessageBox : public QMessageBox
{
public:
    CentredMessageBox(QWidget *parent, MessageKind kind, const QString &title, const QString &text)
        : QMessageBox(iconFor(kind), title, text, QMessageBox::Ok)
        , screen_(parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen())
    {
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        if (screen_ == nullptr)
            return;
        // The box's own frame is not known before it is mapped; the program's other windows
        // have the same one.
        QMargins frame = frameOf(*this);
        for (const QWidget *window : QApplication::topLevelWidgets())
            if (frame.isNull() && window != this && window->isVisible())
                frame = frameOf(*window);
        const QRect outer = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size().grownBy(frame),
                                                screen_->availableGeometry());
        setGeometry(QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), size()));
    }

private:
    QScreen *screen_ = nullptr;
};

QString withLineFeeds(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

QStringList QtInteraction::ChooseFiles(QWidget *parent, const FileDialogRequest &request)
{
    const UserQtSettingsKept kept;
    FileChooserDialog dialog(parent, request);
    // The widget-based dialog behaves alike everywhere and can be driven by tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(fileModeFor(request));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (!request.selectedFile.isEmpty())
        dialog.selectFile(request.selectedFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

std::optional<QString> QtInteraction::ChooseFolder(QWidget *parent, const FolderDialogRequest &request)
{
    const UserQtSettingsKept kept;
    FolderChooserDialog dialog(parent, request);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.ChosenFolder();
}

void QtInteraction::ShowMessage(QWidget *parent, MessageKind kind, const QString &title, const QString &text,
                                const QString &details)
{
    // No parent: the box blocks every window of the program.
    CentredMessageBox box(parent, kind, title, withLineFeeds(text));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    if (!details.isEmpty())
        box.setInformativeText(withLineFeeds(details));
    // Names and causes come from files and are never markup.
    for (QLabel *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    box.exec();
}

int QtInteraction::ShowModal(QDialog &dialog)
{
    return dialog.exec();
}

SaveChoice QtInteraction::AskToSave(QWidget *parent, const QString &title, const QString &text)
{
    CentredMessageBox box(parent, MessageKind::Warning, title, withLineFeeds(text));
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    for (QLabel *label : box.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

ModalInteraction &Interaction()
{
    return *current;
}

ScopedInteraction::ScopedInteraction(ModalInteraction &replacement)
    : previous_(current)
{
    current = &replacement;
}

ScopedInteraction::~ScopedInteraction()
{
    current = previous_;
}

} // namespace morvane
