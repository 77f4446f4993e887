#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QWidget;

namespace morvane {

enum class MessageKind { Warning, Error, Information };

// The answers to "save the changes before they are lost?".
enum class SaveChoice { Save, Discard, Cancel };

// The titles of the program's own warning and error boxes.
inline const QString kWarningTitle = QStringLiteral("Warning");
inline const QString kErrorTitle = QStringLiteral("Error");

// What a file dialog is asked for. Filter is already in Qt's "Description (*.ext);;..." form.
struct FileDialogRequest
{
    bool save = false;
    QString title;
    QString directory;
    QString selectedFile;
    QString filter;
    // Added to a typed name without a dot that names no existing file.
    QString defaultSuffix;
    bool multiSelect = false;
    bool overwritePrompt = false;
    bool fileMustExist = false;
};

// What the folder chooser is asked for. An empty root means the whole file system.
struct FolderDialogRequest
{
    QString caption;
    QString root;
    QString startFolder;
};

// Every modal exchange with the user passes through here, so that tests can answer in the
// user's place while the command code runs unchanged.
class ModalInteraction
{
public:
    virtual ~ModalInteraction() = default;

    // The chosen files, in the order the dialog reports them; empty when cancelled.
    virtual QStringList ChooseFiles(QWidget *parent, const FileDialogRequest &request) = 0;
    // The chosen folder as an absolute path; nullopt when cancelled.
    virtual std::optional<QString> ChooseFolder(QWidget *parent, const FolderDialogRequest &request) = 0;
    // A box with one OK button that is both default and escape, centred on the screen. Details,
    // when given, are shown below the text (the cause of a failure, what was left out).
    virtual void ShowMessage(QWidget *parent, MessageKind kind, const QString &title, const QString &text,
                             const QString &details = {})
        = 0;
    // Shows the dialog modally and returns the result it closed with.
    virtual int ShowModal(QDialog &dialog) = 0;
    // Asks whether to save changes that would otherwise be lost: Save (the default), Discard or
    // Cancel (also Escape).
    virtual SaveChoice AskToSave(QWidget *parent, const QString &title, const QString &text) = 0;
};

// The real Qt dialogs. They leave the user's Qt settings (the file dialogs' shared history,
// side bar and view) as they found them.
class QtInteraction : public ModalInteraction
{
public:
    QStringList ChooseFiles(QWidget *parent, const FileDialogRequest &request) override;
    std::optional<QString> ChooseFolder(QWidget *parent, const FolderDialogRequest &request) override;
    void ShowMessage(QWidget *parent, MessageKind kind, const QString &title, const QString &text,
                     const QString &details = {}) override;
    int ShowModal(QDialog &dialog) override;
    SaveChoice AskToSave(QWidget *parent, const QString &title, const QString &text) override;
};

// The interaction in force: the Qt one unless a ScopedInteraction has replaced it.
ModalInteraction &Interaction();

// Puts another interaction in force for its lifetime, restoring the previous one afterwards.
class ScopedInteraction
{
public:
    explicit ScopedInteraction(ModalInteraction &replacement);
    ~ScopedInteraction();
    ScopedInteraction(const ScopedInteraction &) = delete;
    ScopedInteraction &operator=(const ScopedInteraction &) = delete;

private:
    ModalInteraction *previous_;
};

} // namespace morvane
