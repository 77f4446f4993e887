#pragma once

#include "responses/FileDialogs.h"
#include "responses/TFind.h"

#include <QDialog>
#include <QString>
#include <QStringList>

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
class Tform_response : public QDialog
{
    Q_OBJECT

public:
    Tform_response(QWidget *parent, std::function<QString()> workDir);
    ~Tform_response() override;

    void tbEffacerClick();
    void tbCreerClick();
    void tbCreerDirClick();
    void tbChargerClick();
    void tbEnregistrerClick();

    // Shows a response file as Charger/Load does, without the file dialog.
    void LoadResponseFile(const QString &path);

private:
    // False, after telling the user, when no working folder is set.
    bool requireWorkDir(const QString &workDir);
    // The response lines of the paths inside the working folder; the others go to outside.
    std::vector<std::string> linesInside(const std::vector<std::string> &paths, const QString &workDir,
                                         QStringList &outside);
    // Tells the user which files were left out of the list.
    void warnOutside(const QStringList &outside, const QString &workDir);
    void showLineCount();

    std::unique_ptr<Ui::Tform_response> ui;
    std::function<QString()> workDir_;
    OpenFileDialog OpenDialog;
    SaveFileDialog SaveDialog;
    TFindFile FindFile;
};

} // namespace morvane
