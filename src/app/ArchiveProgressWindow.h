#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>

namespace Ui {
class ArchiveProgressWindow;
}

namespace morvane {

class ArchiveJob;

// Follows work on an archive that runs on its own thread: what is being done, files and bytes,
// a bar by bytes, and Cancel (or Escape, or closing it) to stop the work; Enter does not, so that
// a key pressed once too often in the dialog before it stops nothing. It blocks only the archive
// window it belongs to, and looks at the job a few times a second.
class ArchiveProgressWindow : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRefreshEveryMs = 100;

    ArchiveProgressWindow(QWidget *parent, ArchiveJob &job, const QString &title);
    ~ArchiveProgressWindow() override;

    void reject() override;
    // Reads the job's progress into the labels and the bar.
    void Refresh();

private:
    std::unique_ptr<Ui::ArchiveProgressWindow> ui;
    ArchiveJob &job_;
    QTimer timer_;
};

} // namespace morvane
