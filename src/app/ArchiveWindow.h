#pragma once

#include "app/ArchiveTasks.h"

#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QTemporaryDir;
class QTreeView;

namespace Ui {
class ArchiveWindow;
}

namespace morvane {

class ArchiveEntryModel;
class ArchiveJob;
class ArchiveProgressWindow;
class Tform_Dialog;

// One archive of the family, open for browsing: its header above, its problems when it has
// any, the entries as a tree of folders or one flat list, sorted by any column and filtered by
// name, with what is shown and selected counted in the status line. Its commands extract, verify
// and edit or show the header; long work runs on a thread of its own while the window stays
// responsive. Each window is independent: several may be open, each closes by itself.
class ArchiveWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The filter follows the typing once it has paused this long.
    static constexpr int kFilterDelayMs = 120;

    // Opens the archive in a new window and shows it; propertiesDialog is the dialog the header
    // edit shares with the main window. A file that is no archive of the family, or cannot be
    // opened, is refused with a message naming it and why (parent is that message's parent), and
    // nullptr returned. The window deletes itself when closed.
    static ArchiveWindow *Open(const QString &path, Tform_Dialog *propertiesDialog, QWidget *parent);

    ArchiveWindow(std::unique_ptr<ArchiveReader> reader, Tform_Dialog *propertiesDialog);
    ~ArchiveWindow() override;

    // The commands of the menus. Each may throw; the menus report every failure.
    void OpenAnother();
    void ExtractAll();
    void ExtractSelected();
    void Verify();
    void Properties();
    void SaveResponseList();
    void ToggleFlat();
    void FocusFilter();

    // What the window shows, for its tests.
    ArchiveEntryModel &Model() const { return *model_; }
    QTreeView &View() const;
    const ArchiveReader &Reader() const { return *reader_; }
    // Whether an extraction or a verification is running.
    bool Working() const;
    // The folder extractions start from, shared by every archive window of the program.
    static QString &LastExtractionFolder();

    // The files a drag of these entries hands out, extracted into this window's own temporary
    // folder (removed when the window closes); empty when refused, with a message.
    QList<QUrl> DragFiles(const std::vector<std::uint32_t> &entries, const std::vector<std::string> &roots);

Q_SIGNALS:
    // An extraction or verification has ended and its report been shown.
    void workFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showArchive();
    // Reads the archive again and shows it; when it cannot be read, the window closes.
    void reopen(const std::string &path);
    void showHeader();
    void showProblems();
    void updateStatus();
    void updateActions();
    void applyFilter();
    void extract(std::vector<std::uint32_t> entries);
    void askAboutExistingFile(const QString &shownPath);
    void reportExtraction(const ExtractionResult &result, const QString &folder);
    void reportVerification(const VerificationResult &result);
    // Runs work on the job's thread with the progress window up; then calls done.
    void runJob(const QString &title, std::function<void(ArchiveJob &)> work, std::function<void()> done);
    // Refuses work on an archive whose damage is known; true when it did.
    bool refuseDamaged(const QString &title);
    QString archiveName() const;

    std::unique_ptr<Ui::ArchiveWindow> ui;
    std::unique_ptr<ArchiveReader> reader_;
    std::unique_ptr<ArchiveEntryModel> model_;
    OpenedArchive opened_;
    Tform_Dialog *propertiesDialog_ = nullptr;
    QLabel *statusText_ = nullptr;
    QTimer filterTimer_;
    std::unique_ptr<ArchiveJob> job_;
    std::unique_ptr<ArchiveProgressWindow> progress_;
    std::unique_ptr<QTemporaryDir> dragFolder_;
    int drags_ = 0;
};

} // namespace morvane
