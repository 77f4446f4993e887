#include "responses/ModalInteraction.h"

#include "responses/FolderChooserDialog.h"

#include <QFileDialog>
#include <QMessageBox>

namespace morvane {

namespace {

QtInteraction qtInteraction;
ModalInteraction *current = &qtInteraction;

QFileDialog::FileMode FileModeFor(const FileDialogRequest &request)
{
    if (request.save)
        return QFileDialog::AnyFile;
    if (request.multiSelect)
        return QFileDialog::ExistingFiles;
    return request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile;
}

QMessageBox::Icon IconFor(MessageKind kind)
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

} // namespace

QStringList QtInteraction::ChooseFiles(QWidget *parent, const FileDialogRequest &request)
{
    QFileDialog dialog(parent, request.title, request.directory, request.filter);
    // The widget-based dialog behaves alike everywhere and can be driven by tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(FileModeFor(request));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.selectedFile.isEmpty())
        dialog.selectFile(request.selectedFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

std::optional<QString> QtInteraction::ChooseFolder(QWidget *parent, const FolderDialogRequest &request)
{
    FolderChooserDialog dialog(parent, request);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.ChosenFolder();
}

void QtInteraction::ShowMessage(QWidget *, MessageKind kind, const QString &title,
                                const QString &text, const QString &details)
{
    // No parent: the box is centred on the screen and blocks every window of the program.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(IconFor(kind), title, shown, QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

int QtInteraction::ShowModal(QDialog &dialog)
{
    return dialog.exec();
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
