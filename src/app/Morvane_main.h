#pragma once

#include "gui/FileDialogs.h"

#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class TForm_main;
}

namespace morvane {

class Tform_Dialog;
class Tform_response;

// The main window with its four commands: choose the working folder, edit a response file,
// build an archive from a response file and edit an archive's header.
class TForm_main /* NOLINT(readability-identifier-naming) */ : public QWidget
{
    Q_OBJECT

public:
    explicit TForm_main(QWidget *parent = nullptr);
    ~TForm_main() override;

    // The editor and the properties dialog the commands show.
    void Attach(Tform_response *responseEditor, Tform_Dialog *propertiesDialog);

    // The commands. Each may throw; the clicks that start them report every failure.
    void btnInitClick(); // NOLINT(readability-identifier-naming)
    void CreateResponseClick();
    void CreatePODClick();
    void Button1Click();

    // The header edit of Button1Click on a given archive, without the file dialog.
    void EditArchiveHeaderOf(const QString &archive);
    // The response list editor with a given list loaded, as a desktop opens a list.
    void OpenResponseList(const QString &list);
    // An archive of any layout of the family in an archive window of its own (Ctrl+O, a drop,
    // the command line); a file that is none is refused with a message.
    void OpenArchive(const QString &archive);
    // Ctrl+O: asks for an archive and opens it.
    void OpenArchiveClick();

    // Shared by the two archive commands; keeps the last chosen file name.
    OpenFileDialog openDialog;
    // The working folder; empty until a command sets it.
    QString workDir;
    // The settings file: Morvane.ini beside the executable, or in the user's configuration
    // folder when the executable's folder cannot take it.
    QString settingsPath;

protected:
    // Archives dropped on the window open in archive windows.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Asks before a list the editor holds unsaved is lost.
    void closeEvent(QCloseEvent *event) override;
    // Shows the stored working folder.
    void showEvent(QShowEvent *event) override;

private:
    // Takes the stored working folder when the settings file exists; false when it does not.
    bool reloadWorkDir();
    // Says in the first information label what the last build did, elided to the label's width,
    // with the whole text as its tooltip.
    void showBuildOutcome(const QString &text);
    // Shows the working folder in the second information label, its full path as the tooltip;
    // the label's own caption while none is set.
    void showWorkDir();

    std::unique_ptr<Ui::TForm_main> ui;
    Tform_response *form_response = nullptr; // NOLINT(readability-identifier-naming)
    Tform_Dialog *form_Dialog = nullptr; // NOLINT(readability-identifier-naming)
    QString workDirCaption_;
};

} // namespace morvane
