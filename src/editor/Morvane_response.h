#pragma once

#include "gui/FileDialogs.h"
#include "responses/TFind.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class Tform_response;
}

namespace morvane {

// The response-list editor window. The list is the text of the text area, one file a line; it is
// filled from chosen files, from a folder tree, from a response file or by typing, and saved as a
// response file. It reads the main window's working folder through workDir each time it needs it.
class Tform_response /* NOLINT(readability-identifier-naming) */ : public QDialog
{
    Q_OBJECT

public:
    Tform_response(QWidget *parent, std::function<QString()> workDir);
    ~Tform_response() override;

    void tbEffacerClick(); // NOLINT(readability-identifier-naming)
    void tbCreerClick(); // NOLINT(readability-identifier-naming)
    void tbCreerDirClick(); // NOLINT(readability-identifier-naming)
    void tbChargerClick(); // NOLINT(readability-identifier-naming)
    void tbEnregistrerClick(); // NOLINT(readability-identifier-naming)

    // Shows a response file as Charger/Load does, without the file dialog.
    void LoadResponseFile(const QString &path);

    // Whether the list holds lines that were changed since it was last loaded or saved.
    bool HoldsUnsavedList() const;
    // Saves the list as Enregistrer/Save does; false when the user cancelled the file dialog.
    bool SaveList();

protected:
    // Takes drops on the list: files as Create File adds them, folders as Create Dir lists them.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Appends the lines of dropped files and folders and names what was left out.
    void addDropped(const QStringList &paths);
    // The lines of a folder tree as Create Dir makes them; what was left out goes to leftOut.
    std::vector<std::string> folderLines(const std::string &folder, const QString &workDir, QStringList &leftOut);
    // False, after telling the user, when no working folder is set.
    bool requireWorkDir(const QString &workDir);
    // The response lines of the files; each file that gets none goes to leftOut with the reason.
    // attributes, when given, are the finder's words for the paths, at the same index.
    std::vector<std::string> linesFor(const std::vector<std::string> &paths,
                                      const std::vector<std::uint32_t> *attributes, const QString &workDir,
                                      QStringList &leftOut);
    // Replaces the list with the files of the folder tree and returns what was left out, and why.
    QStringList listFolder(const std::string &folder, const QString &workDir);
    // Tells the user, in one box, which files were left out of the list and why.
    void warnLeftOut(const QStringList &leftOut);
    void showLineCount();

    std::unique_ptr<Ui::Tform_response> ui;
    std::function<QString()> workDir_;
    // NOLINTBEGIN(readability-identifier-naming): the form's components
    OpenFileDialog OpenDialog;
    SaveFileDialog SaveDialog;
    TFindFile FindFile;
    // NOLINTEND(readability-identifier-naming)
};

} // namespace morvane
