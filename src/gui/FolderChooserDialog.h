#pragma once

#include "gui/ModalInteraction.h"

#include <QFileDialog>

namespace morvane {

// Qt's folder dialog with an instruction text above it, optionally held inside a root folder:
// the user can neither browse above the root nor confirm a folder outside it.
class FolderChooserDialog : public QFileDialog
{
    Q_OBJECT

public:
    FolderChooserDialog(QWidget *parent, const FolderDialogRequest &request);

    // The confirmed folder as an absolute path.
    QString ChosenFolder() const;

    void accept() override;

private:
    void addInstruction(const QString &text);
    bool isInsideRoot(const QString &path) const;
    void keepInsideRoot(const QString &folder);

    QString root_;
};

} // namespace morvane
