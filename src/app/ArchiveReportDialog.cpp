#include "app/ArchiveReportDialog.h"

#include "ui_ArchiveReportDialog.h"

#include <QClipboard>
#include <QGuiApplication>

namespace morvane {

ArchiveReportDialog::ArchiveReportDialog(QWidget *parent, const QString &title, const QString &summary,
                                         const QString &details)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ArchiveReportDialog>())
{
    ui->setupUi(this);
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    ui->lblSummary->setText(summary);
    ui->edReport->setPlainText(details);
    ui->edReport->setVisible(!details.isEmpty());
    if (details.isEmpty())
        resize(width(), minimumSizeHint().height());
    // Enter closes the report whatever has the focus; Copy takes a click or Alt+C.
    ui->btnCopy->setAutoDefault(false);
    ui->btnOk->setFocus();
    connect(ui->btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCopy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(Text()); });
}

ArchiveReportDialog::~ArchiveReportDialog() = default;

QString ArchiveReportDialog::Text() const
{
    const QString details = ui->edReport->toPlainText();
    return details.isEmpty() ? ui->lblSummary->text() : ui->lblSummary->text() + QLatin1Char('\n') + details;
}

} // namespace morvane
