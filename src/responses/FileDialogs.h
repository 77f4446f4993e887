#pragma once

#include "responses/ModalInteraction.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace morvane {

// A file dialog object that keeps its settings and its last answer between uses.
// Filter is a list of description and pattern pairs separated by "|" ("Text|*.txt|All|*.*");
// DefaultExt is a pattern such as "*.txt" whose suffix completes a name typed without one.
class FileDialogBase
{
public:
    virtual ~FileDialogBase() = default;

    // Shows the dialog; false when the user cancels, leaving FileName and Files as they were.
    bool Execute(QWidget *parent = nullptr);

    QString Title;
    QString Filter;
    QString DefaultExt;
    QString InitialDir;
    // The first chosen file, and every chosen file in the order the dialog gives them.
    QString FileName;
    QStringList Files;

protected:
    virtual FileDialogRequest Request() const;
};

class OpenFileDialog : public FileDialogBase
{
public:
    bool AllowMultiSelect = false;
    bool FileMustExist = false;

protected:
    FileDialogRequest Request() const override;
};

class SaveFileDialog : public FileDialogBase
{
public:
    bool OverwritePrompt = true;

protected:
    FileDialogRequest Request() const override;
};

// "a|b|c|d" becomes "a (b);;c (d)"; a pattern list "*.a;*.b" becomes "*.a *.b".
QString QtFilter(const QString &pairs);
// "*.txt" becomes "txt"; a pattern with wildcards in its suffix, such as "*.*", gives none.
QString DefaultSuffix(const QString &defaultExt);

} // namespace morvane
