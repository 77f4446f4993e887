#include "app/BuildProgressWindow.h"

#include "archive/PodRecords.h"
#include "gui/FileSystemNames.h"
#include "ui_BuildProgressWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QLocale>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <climits>

namespace morvane {

BuildProgressWindow::BuildProgressWindow(QWidget *parent, std::function<std::int64_t()> elapsedMs)
    : QDialog(parent)
    , ui(std::make_unique<Ui::BuildProgressWindow>())
    , elapsedMs_(std::move(elapsedMs))
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    connect(ui->btnCancel, &QPushButton::clicked, this, &BuildProgressWindow::reject);
    if (!elapsedMs_) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        elapsedMs_ = [timer] { return timer->elapsed(); };
    }
}

BuildProgressWindow::~BuildProgressWindow() = default;

void BuildProgressWindow::Planned(std::size_t count, std::uint64_t totalBytes)
{
    count_ = count;
    totalBytes_ = totalBytes;
}

void BuildProgressWindow::SourceStarted(std::size_t index, std::size_t count, const std::string &sourcePath,
                                        std::uint64_t)
{
    sourcesDone_ = index;
    count_ = count;
    currentSource_ = ShownPath(FromFileSystemPath(sourcePath));
    advance();
}

void BuildProgressWindow::Progress(std::size_t sourcesDone, std::size_t count, std::int64_t archiveBytes)
{
    sourcesDone_ = sourcesDone;
    count_ = count;
    archiveBytes_ = archiveBytes;
    advance();
}

void BuildProgressWindow::reject()
{
    cancelRequested_ = true;
    ui->btnCancel->setEnabled(false);
}

void BuildProgressWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    reject();
}

void BuildProgressWindow::advance()
{
    const std::int64_t now = elapsedMs_();
    if (now < kShowAfterMs)
        return;
    if (isVisible() && now - lastRefresh_ < kRefreshEveryMs)
        return;
    lastRefresh_ = now;
    refresh();
    if (!isVisible())
        showPainted();
    // Paint the window and take the Cancel button's clicks; the other windows are blocked.
    QCoreApplication::processEvents();
}

void BuildProgressWindow::showPainted()
{
    ensurePolished();
    if (layout() != nullptr)
        layout()->activate();
    show();
    // The build holds this thread until the next refresh: the window is painted as soon as the
    // window system has mapped it, not at the next refresh, so that it never stays empty (black).
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() != nullptr && !windowHandle()->isExposed() && waited.elapsed() < kMapWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(1);
    }
    repaint();
}

void BuildProgressWindow::refresh()
{
    const QLocale locale;
    ui->lblFiles->setText(
        QStringLiteral("Fichiers / Files : %1 / %2")
            .arg(locale.toString(qulonglong(sourcesDone_)), locale.toString(qulonglong(count_))));
    ui->lblBytes->setText(
        QStringLiteral("Octets écrits / Bytes written : %1").arg(locale.toString(qlonglong(archiveBytes_))));
    ui->lblSource->setText(QFileInfo(currentSource_).fileName());
    if (totalBytes_ > 0) {
        // By the bytes copied, which follow the header, in thousandths.
        const auto copied = static_cast<std::uint64_t>(
            std::max<std::int64_t>(archiveBytes_ - static_cast<std::int64_t>(TPODHeader::kSize), 0));
        ui->progressBar->setMaximum(1000);
        ui->progressBar->setValue(int(std::min<std::uint64_t>(copied, totalBytes_) * 1000 / totalBytes_));
    } else {
        ui->progressBar->setMaximum(count_ > 0 ? int(std::min<std::size_t>(count_, INT_MAX)) : 1);
        ui->progressBar->setValue(int(std::min<std::size_t>(sourcesDone_, INT_MAX)));
    }
}

} // namespace morvane
