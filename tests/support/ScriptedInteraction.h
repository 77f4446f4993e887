#pragma once

#include "QtPrinters.h"
#include "gui/ModalInteraction.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace morvane::test {

// Answers the program's modal questions from a script, in the order they are asked, and records
// every question. A question without a scripted answer fails the test and is answered "cancel".
// Installs itself for its lifetime.
class ScriptedInteraction : public ModalInteraction
{
public:
    struct Message
    {
        MessageKind kind;
        QString title;
        QString text;
        QString details;
        bool busyCursor; // whether the hourglass was showing while the box was up
    };
    using DialogAnswer = std::function<int(QDialog &)>;

    ScriptedInteraction();
    ~ScriptedInteraction() override;

    // The next file dialog returns these files; an empty list cancels it.
    ScriptedInteraction &ChooseFiles(QStringList files);
    ScriptedInteraction &CancelFiles() { return ChooseFiles({}); }
    // The next folder dialog returns this folder, or is cancelled.
    ScriptedInteraction &ChooseFolder(QString folder);
    ScriptedInteraction &CancelFolder();
    // The next modal dialog is answered by this function, which gets the dialog and returns
    // the dialog's result.
    ScriptedInteraction &AnswerDialog(DialogAnswer answer);
    // The next modal dialog gets these texts in the line edits of these names and closes with result.
    ScriptedInteraction &CloseDialog(int result, std::map<QString, QString> texts = {});

    // The next "save before ... ?" question gets this answer.
    ScriptedInteraction &AnswerSave(SaveChoice choice);

    bool AllAnswersUsed() const;

    // Called at every question, before it is answered: lets a test look at the windows as the
    // user sees them while the question is up.
    std::function<void()> whileAsked;

    std::vector<FileDialogRequest> fileRequests;
    std::vector<FolderDialogRequest> folderRequests;
    std::vector<QString> dialogsShown; // object names of the dialogs shown
    std::vector<Message> messages;
    std::vector<QString> saveQuestions; // the text of each

    QStringList ChooseFiles(QWidget *parent, const FileDialogRequest &request) override;
    std::optional<QString> ChooseFolder(QWidget *parent, const FolderDialogRequest &request) override;
    void ShowMessage(QWidget *parent, MessageKind kind, const QString &title, const QString &text,
                     const QString &details = {}) override;
    int ShowModal(QDialog &dialog) override;
    SaveChoice AskToSave(QWidget *parent, const QString &title, const QString &text) override;

private:
    std::deque<QStringList> fileAnswers_;
    std::deque<std::optional<QString>> folderAnswers_;
    std::deque<DialogAnswer> dialogAnswers_;
    std::deque<SaveChoice> saveAnswers_;
    ScopedInteraction installed_;
};

// Runs action on the next modal window once it shows, so that a test can drive a real dialog.
// Fails the test when none shows within a few seconds.
void WhenModalShows(std::function<void(QWidget &)> action);

// The texts of the line edits of a dialog, by object name.
std::map<QString, QString> LineEditTexts(const QWidget &dialog);

} // namespace morvane::test
