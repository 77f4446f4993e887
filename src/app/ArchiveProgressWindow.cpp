#include "app/ArchiveProgressWindow.h"

#include "app/ArchiveJob.h"
#include "ui_ArchiveProgressWindow.h"

#include <QLocale>

namespace morvane {

ArchiveProgressWindow::ArchiveProgressWindow(QWidget *parent, ArchiveJob &job, const QString &title)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ArchiveProgressWindow>())
    , job_(job)
{
    ui->setupUi(this);
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    connect(ui->btnCancel, &QPushButton::clicked, this, &ArchiveProgressWindow::reject);
    connect(&timer_, &QTimer::timeout, this, &ArchiveProgressWindow::Refresh);
    timer_.start(kRefreshEveryMs);
    Refresh();
}

ArchiveProgressWindow::~ArchiveProgressWindow() = default;

void ArchiveProgressWindow::reject()
{
    job_.Cancel();
    ui->btnCancel->setEnabled(false);
    ui->lblPhase->setText(QStringLiteral("Cancelling..."));
}

void ArchiveProgressWindow::Refresh()
{
    const ArchiveJob::Progress now = job_.Now();
    const QLocale locale;
    if (ui->btnCancel->isEnabled()) {
        switch (now.phase) {
        case ArchiveJob::Phase::Opening:
            ui->lblPhase->setText(QStringLiteral("Reading the archive..."));
            break;
        case ArchiveJob::Phase::Checking:
            ui->lblPhase->setText(QStringLiteral("Checking the stored data..."));
            break;
        case ArchiveJob::Phase::Extracting:
            ui->lblPhase->setText(QStringLiteral("Extracting..."));
            break;
        }
    }
    ui->lblFiles->setText(now.phase == ArchiveJob::Phase::Extracting
                              ? QStringLiteral("%1 of %2 files")
                                    .arg(locale.toString(qulonglong(now.filesDone)),
                                         locale.toString(qulonglong(now.filesTotal)))
                              : QString());
    ui->lblBytes->setText(QStringLiteral("%1 of %2 bytes")
                              .arg(locale.toString(qulonglong(now.bytesDone)),
                                   locale.toString(qulonglong(now.bytesTotal))));
    const int permille = now.bytesTotal == 0 ? 0 : int(now.bytesDone * 1000 / now.bytesTotal);
    ui->progressBar->setValue(permille);
}

} // namespace morvane
