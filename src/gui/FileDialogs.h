#pragma once

#include "gui/ModalInteraction.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace morvane {

// A file dialog object that keeps its settings and its last answer between uses.
// Filter is a list of description and pattern pairs separated by "|" ("Text|*.txt|All|*.*");
// DefaultExt is a pattern such as "*.txt" whose suffix completes a typed name that has none and
// names no existing file.
class FileDialogBase
{
public:
    virtual ~FileDialogBase() = default;

    // Shows the dialog; false when the user cancels, leaving FileName and Files as they were.
    bool Execute(QWidget *parent = nullptr);

    QString title;
    QString filter;
    QString defaultExt;
    QString initialDir;
    // The first chosen file, and every chosen file in the order the dialog gives them.
    QString fileName;
    QStringList files;

protected:
    virtual FileDialogRequest Request() const;
};

class OpenFileDialog : public FileDialogBase
{
public:
    bool allowMultiSelect = false;
    bool fileMustExist = false;

protected:
    FileDialogRequest Request() const override;
};

class SaveFileDialog : public FileDialogBase
{
public:
    bool overwritePrompt = true;

protected:
    FileDialogRequest Request() const override;
};

// "a|b|c|d" becomes "a (b);;c (d)"; a pattern list "*.a;*.b" becomes "*.a *.b". The pattern "*.*"
// means every file, which Qt writes "*" (Qt's "*.*" asks for a dot in the name).
QString QtFilter(const QString &pairs);
// "*.txt" becomes "txt"; a pattern with wildcards in its suffix, such as "*.*", gives none.
QString DefaultSuffix(const QString &defaultExt);
// The path with "." and the suffix added when the suffix is not empty, nothing exists at the path
// as typed, and the file name holds no dot.
QString WithDefaultSuffix(const QString &path, const QString &suffix);

} // namespace morvane
