#pragma once

#include "archive/BuildObserver.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class BuildProgressWindow;
}

namespace morvane {

// Shows how a long archive build advances: files and bytes, the bar moving with the bytes so
// that one large file moves it too, and the name being copied. The build runs inside the click
// that started it; this window appears only once the build has run for a while, blocks the other
// windows like any modal window, and refreshes itself a few times a second at most. Its Cancel
// button, Escape and the close button ask the build to stop between two chunks.
class BuildProgressWindow : public QDialog, public BuildObserver
{
    Q_OBJECT

public:
    static constexpr std::int64_t kShowAfterMs = 500;
    static constexpr std::int64_t kRefreshEveryMs = 200;
    // How long the first showing waits at most for the window system to map the window.
    static constexpr std::int64_t kMapWaitMs = 250;

    // elapsedMs tells how long the build has run; by default the time since construction.
    explicit BuildProgressWindow(QWidget *parent, std::function<std::int64_t()> elapsedMs = {});
    ~BuildProgressWindow() override;

    bool WantsTotal() const override { return true; }
    void Planned(std::size_t count, std::uint64_t totalBytes) override;
    void SourceStarted(std::size_t index, std::size_t count, const std::string &sourcePath,
                       std::uint64_t size) override;
    void Progress(std::size_t sourcesDone, std::size_t count, std::int64_t archiveBytes) override;
    bool CancelRequested() override { return cancelRequested_; }

    // Cancel, Escape and closing the window ask the build to stop; the window stays until it has.
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void advance();
    // Shows the window and paints its first frame at once.
    void showPainted();
    void refresh();

    std::unique_ptr<Ui::BuildProgressWindow> ui;
    std::function<std::int64_t()> elapsedMs_;
    std::int64_t lastRefresh_ = 0;
    std::size_t sourcesDone_ = 0;
    std::size_t count_ = 0;
    std::int64_t archiveBytes_ = 0;
    std::uint64_t totalBytes_ = 0;
    bool cancelRequested_ = false;
    QString currentSource_;
};

} // namespace morvane
