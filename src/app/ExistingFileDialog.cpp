#include "app/ExistingFileDialog.h"

#include "ui_ExistingFileDialog.h"

namespace morvane {

ExistingFileDialog::ExistingFileDialog(QWidget *parent, const QString &shownPath)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ExistingFileDialog>())
{
    ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    ui->lblQuestion->setText(QStringLiteral("%1 already exists.\nReplace it with the file from the archive?")
                                 .arg(shownPath));
    const auto closeWith = [this](QPushButton *button, int result) {
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    };
    closeWith(ui->btnOverwrite, Overwrite);
    closeWith(ui->btnSkip, Skip);
    closeWith(ui->btnOverwriteAll, OverwriteAll);
    closeWith(ui->btnSkipAll, SkipAll);
    closeWith(ui->btnCancel, Cancel);
}

ExistingFileDialog::~ExistingFileDialog() = default;

} // namespace morvane
