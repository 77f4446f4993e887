#include "app/ArchiveWindow.h"

#include "app/ArchiveEntryModel.h"
#include "app/ArchiveJob.h"
#include "app/ArchiveProgressWindow.h"
#include "app/ArchiveReportDialog.h"
#include "app/ExistingFileDialog.h"
#include "app/Morvane_dialog.h"
#include "archive/ArchiveCommands.h"
#include "archive/ArchiveLayouts.h"
#include "gui/BusyCursor.h"
#include "gui/FailureReport.h"
#include "gui/FileSystemNames.h"
#include "gui/ModalInteraction.h"
#include "platform/WholeFile.h"
#include "responses/ArchiveResponseList.h"
#include "text/Cp1252.h"
#include "text/PrintableText.h"

#include "ui_ArchiveWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QUrl>

namespace morvane {

namespace {

QString fromCp1252(const std::string &text)
{
    return QString::fromStdString(PrintableCp1252(text, TerminalEncoding::Utf8));
}

QString count(std::uint64_t value)
{
    return QLocale().toString(qulonglong(value));
}

QString entriesAndBytes(std::uint64_t entries, std::uint64_t bytes)
{
    return QStringLiteral("%1 %2, %3 bytes")
        .arg(count(entries), entries == 1 ? QStringLiteral("entry") : QStringLiteral("entries"), count(bytes));
}

QString lines(const std::vector<std::string> &messages)
{
    QStringList shown;
    for (const std::string &message : messages)
        shown << PrintableText(message);
    return shown.join(QLatin1Char('\n'));
}

// Whether the reader found no archive of the family at all, rather than a damaged one.
bool notAnArchive(const ArchiveReader &reader)
{
    const auto kind = reader.BlockingKind();
    return kind == ArchiveProblem::Kind::BadSignature || kind == ArchiveProblem::Kind::EmptyFile;
}

} // namespace

ArchiveWindow *ArchiveWindow::Open(const QString &path, Tform_Dialog *propertiesDialog, QWidget *parent)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString shown = PrintableText(ToFileSystemPath(QDir::toNativeSeparators(absolute)));
    std::unique_ptr<ArchiveReader> reader;
    try {
        const BusyCursor busy;
        reader = std::make_unique<ArchiveReader>(ToFileSystemPath(absolute));
    } catch (const std::exception &failure) {
        Interaction().ShowMessage(parent, MessageKind::Warning, kWarningTitle,
                                  shown + QStringLiteral("\n\nMorvane cannot open this file."),
                                  FailureReportText(FailureMessage(failure)));
        return nullptr;
    }
    if (notAnArchive(*reader)) {
        const std::vector<std::string> problems = reader->Problems();
        Interaction().ShowMessage(parent, MessageKind::Warning, kWarningTitle,
                                  shown + QStringLiteral("\n\nThis file is not an archive Morvane reads."),
                                  problems.empty() ? QString() : FailureReportText(PrintableText(problems.front())));
        return nullptr;
    }
    auto *window = new ArchiveWindow(std::move(reader), propertiesDialog);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

ArchiveWindow::ArchiveWindow(std::unique_ptr<ArchiveReader> reader, Tform_Dialog *propertiesDialog)
    : ui(std::make_unique<Ui::ArchiveWindow>())
    , reader_(std::move(reader))
    , propertiesDialog_(propertiesDialog)
{
    ui->setupUi(this);
    statusText_ = new QLabel(this);
    statusText_->setObjectName(QStringLiteral("lblStatus"));
    statusText_->setAccessibleName(QStringLiteral("Shown and selected entries"));
    ui->statusBar->addWidget(statusText_, 1);
    ui->menuBar->setAccessibleName(QStringLiteral("Menu"));

    filterTimer_.setSingleShot(true);
    filterTimer_.setInterval(kFilterDelayMs);
    connect(&filterTimer_, &QTimer::timeout, this, &ArchiveWindow::applyFilter);
    connect(ui->edFilter, &QLineEdit::textChanged, this, [this] { filterTimer_.start(); });
    // Enter in the filter applies it at once and goes to the entries.
    connect(ui->edFilter, &QLineEdit::returnPressed, this, [this] {
        applyFilter();
        ui->entriesView->setFocus();
    });

    BindCommand(ui->actionOpen, &QAction::triggered, this, &ArchiveWindow::OpenAnother);
    BindCommand(ui->actionExtractAll, &QAction::triggered, this, &ArchiveWindow::ExtractAll);
    BindCommand(ui->actionExtractSelected, &QAction::triggered, this, &ArchiveWindow::ExtractSelected);
    BindCommand(ui->actionVerify, &QAction::triggered, this, &ArchiveWindow::Verify);
    BindCommand(ui->actionProperties, &QAction::triggered, this, &ArchiveWindow::Properties);
    BindCommand(ui->actionSaveList, &QAction::triggered, this, &ArchiveWindow::SaveResponseList);
    BindCommand(ui->actionFlat, &QAction::triggered, this, &ArchiveWindow::ToggleFlat);
    BindCommand(ui->actionFind, &QAction::triggered, this, &ArchiveWindow::FocusFilter);
    connect(ui->actionClose, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionExpandAll, &QAction::triggered, ui->entriesView, &QTreeView::expandAll);
    connect(ui->actionCollapseAll, &QAction::triggered, ui->entriesView, &QTreeView::collapseAll);
    // Return on the list has no other use; Alt+Return is caught before the view sees it.
    ui->actionProperties->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});

    showArchive();
    ui->entriesView->setFocus();
}

ArchiveWindow::~ArchiveWindow()
{
    // The job's thread ends before the window it reports to goes.
    progress_.reset();
    job_.reset();
}

QTreeView &ArchiveWindow::View() const
{
    return *ui->entriesView;
}

QString &ArchiveWindow::LastExtractionFolder()
{
    static QString folder;
    return folder;
}

QString ArchiveWindow::archiveName() const
{
    return QFileInfo(FromFileSystemPath(reader_->Path())).fileName();
}

void ArchiveWindow::showArchive()
{
    opened_ = {reader_->Path(), EntriesFingerprint(*reader_)};
    setWindowTitle(archiveName() + QStringLiteral(" - Morvane"));
    auto model = std::make_unique<ArchiveEntryModel>(*reader_);
    model->SetFlat(ui->actionFlat->isChecked());
    model->SetFilter(ui->edFilter->text());
    model->SetDragFiles([this](const std::vector<std::uint32_t> &entries, const std::vector<std::string> &roots) {
        return DragFiles(entries, roots);
    });
    ui->entriesView->setModel(model.get());
    model_ = std::move(model);
    QHeaderView *header = ui->entriesView->header();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->resizeSection(ArchiveEntryModel::NameColumn, 320);
    header->resizeSection(ArchiveEntryModel::ModifiedColumn,
                          header->fontMetrics().horizontalAdvance(QStringLiteral("2010-03-15 08:30:00")) + 24);
    ui->entriesView->setColumnHidden(ArchiveEntryModel::StoredSizeColumn, !model_->HasCompressedEntries());
    // Directory order until the user picks a column.
    header->setSortIndicator(-1, Qt::AscendingOrder);
    connect(ui->entriesView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ArchiveWindow::updateStatus);
    connect(model_.get(), &QAbstractItemModel::modelReset, this, &ArchiveWindow::updateStatus);
    showHeader();
    showProblems();
    updateStatus();
    updateActions();
}

void ArchiveWindow::showHeader()
{
    const ArchiveHeader &header = reader_->Header();
    const auto row = [this](QLabel *label, QLabel *value, const std::optional<QString> &text) {
        label->setVisible(text.has_value());
        value->setVisible(text.has_value());
        value->setText(text.value_or(QString()));
    };
    const auto text = [](const std::string &stored) {
        return stored.empty() ? std::nullopt : std::optional(fromCp1252(stored));
    };
    const auto number = [](const std::optional<std::int32_t> &value) {
        return value ? std::optional(QString::number(*value)) : std::nullopt;
    };
    const std::string_view layout = LayoutName(header.layout);
    row(ui->lblLayout, ui->valLayout, QString::fromLatin1(layout.data(), qsizetype(layout.size())));
    row(ui->lblDescription, ui->valDescription, text(header.description));
    row(ui->lblVersion, ui->valVersion, number(header.version));
    row(ui->lblPriority, ui->valPriority, number(header.priority));
    row(ui->lblAuthor, ui->valAuthor, text(header.author));
    row(ui->lblCopyright, ui->valCopyright, text(header.copyright));
    row(ui->lblEntries, ui->valEntries,
        reader_->Readable() ? entriesAndBytes(header.entryCount, header.totalSize)
                            : QStringLiteral("%1 stated, none readable").arg(count(header.entryCount)));
}

void ArchiveWindow::showProblems()
{
    const bool any = reader_->ProblemCount() != 0;
    ui->edProblems->setVisible(any);
    if (!any) {
        ui->edProblems->clear();
        return;
    }
    QString text;
    if (reader_->DamageCount() != 0) {
        text = QStringLiteral("Damage (nothing is extracted from this archive):\n") + lines(reader_->Damage())
               + QLatin1Char('\n') + PrintableText(reader_->DamageTotal());
    }
    if (reader_->DifferenceCount() != 0) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += QStringLiteral("Differences from Morvane's own layout (not damage):\n")
                + lines(reader_->Notes());
    }
    ui->edProblems->setPlainText(text);
}

void ArchiveWindow::updateStatus()
{
    const ArchiveEntryModel::Totals shown = model_->Shown();
    QString text = QStringLiteral("Shown: ") + entriesAndBytes(shown.count, shown.bytes);
    const QModelIndexList rows = ui->entriesView->selectionModel()->selectedRows();
    if (!rows.isEmpty()) {
        const ArchiveEntryModel::Totals selected = model_->TotalsOf(model_->EntriesOf(rows));
        text += QStringLiteral("   Selected: ") + entriesAndBytes(selected.count, selected.bytes);
    }
    statusText_->setText(text);
}

void ArchiveWindow::updateActions()
{
    const bool working = Working();
    ui->actionExtractAll->setEnabled(!working);
    ui->actionExtractSelected->setEnabled(!working);
    ui->actionVerify->setEnabled(!working);
    ui->actionProperties->setEnabled(!working);
}

bool ArchiveWindow::Working() const
{
    return job_ != nullptr;
}

void ArchiveWindow::applyFilter()
{
    filterTimer_.stop();
    model_->SetFilter(ui->edFilter->text());
    // Few matches in several folders are easier to see opened.
    if (!model_->Flat() && !model_->Filter().isEmpty() && model_->Shown().count <= 2000)
        ui->entriesView->expandAll();
}

void ArchiveWindow::FocusFilter()
{
    ui->edFilter->setFocus(Qt::ShortcutFocusReason);
    ui->edFilter->selectAll();
}

void ArchiveWindow::ToggleFlat()
{
    model_->SetFlat(!model_->Flat());
    ui->actionFlat->setChecked(model_->Flat());
}

void ArchiveWindow::OpenAnother()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Open an archive");
    request.directory = QFileInfo(FromFileSystemPath(reader_->Path())).absolutePath();
    request.filter = QStringLiteral("Archives (*.pod *.POD *.epd *.EPD);;Tous fichiers (*)");
    request.fileMustExist = true;
    const QStringList chosen = Interaction().ChooseFiles(this, request);
    if (!chosen.isEmpty())
        Open(chosen.front(), propertiesDialog_, this);
}

bool ArchiveWindow::refuseDamaged(const QString &title)
{
    if (reader_->Readable() && reader_->DamageCount() == 0)
        return false;
    const std::vector<std::string> damage = reader_->Damage();
    ArchiveReportDialog report(this, title,
                               archiveName() + QStringLiteral(" is damaged; nothing is extracted from it."),
                               lines(damage) + QLatin1Char('\n') + PrintableText(reader_->DamageTotal()));
    Interaction().ShowModal(report);
    return true;
}

void ArchiveWindow::ExtractAll()
{
    if (refuseDamaged(QStringLiteral("Extract All")))
        return;
    std::vector<std::uint32_t> all(reader_->Entries().size());
    for (std::uint32_t i = 0; i < all.size(); ++i)
        all[i] = i;
    extract(std::move(all));
}

void ArchiveWindow::ExtractSelected()
{
    if (refuseDamaged(QStringLiteral("Extract Selected")))
        return;
    std::vector<std::uint32_t> chosen = model_->EntriesOf(ui->entriesView->selectionModel()->selectedRows());
    if (chosen.empty()) {
        Interaction().ShowMessage(this, MessageKind::Information, QStringLiteral("Extract Selected"),
                                  QStringLiteral("No entry is selected."));
        return;
    }
    extract(std::move(chosen));
}

void ArchiveWindow::extract(std::vector<std::uint32_t> entries)
{
    if (Working())
        return;
    FolderDialogRequest request;
    request.caption = QStringLiteral("Extract to this folder");
    request.startFolder = LastExtractionFolder().isEmpty()
                              ? QFileInfo(FromFileSystemPath(reader_->Path())).absolutePath()
                              : LastExtractionFolder();
    const std::optional<QString> folder = Interaction().ChooseFolder(this, request);
    if (!folder)
        return;
    LastExtractionFolder() = *folder;
    auto result = std::make_shared<ExtractionResult>();
    const std::string target = ToFileSystemPath(*folder);
    const OpenedArchive opened = opened_;
    runJob(
        QStringLiteral("Extracting %1").arg(archiveName()),
        [result, opened, entries = std::move(entries), target](ArchiveJob &job) {
            *result = RunExtraction(opened, entries, target, &job);
        },
        [this, result, folder = *folder] { reportExtraction(*result, folder); });
}

void ArchiveWindow::Verify()
{
    if (Working())
        return;
    auto result = std::make_shared<VerificationResult>();
    const OpenedArchive opened = opened_;
    runJob(
        QStringLiteral("Verifying %1").arg(archiveName()),
        [result, opened](ArchiveJob &job) { *result = RunVerification(opened, &job); },
        [this, result] { reportVerification(*result); });
}

void ArchiveWindow::runJob(const QString &title, std::function<void(ArchiveJob &)> work, std::function<void()> done)
{
    job_ = std::make_unique<ArchiveJob>();
    connect(job_.get(), &ArchiveJob::existingFileQuestion, this, &ArchiveWindow::askAboutExistingFile);
    connect(job_.get(), &ArchiveJob::finished, this, [this, done = std::move(done)] {
        // A window closed meanwhile has already ended the job.
        if (!job_)
            return;
        const std::function<void()> report = done;
        job_->Wait();
        progress_.reset();
        job_.reset();
        updateActions();
        RunCommand(this, report);
        Q_EMIT workFinished();
    });
    progress_ = std::make_unique<ArchiveProgressWindow>(this, *job_, title);
    updateActions();
    job_->Start(std::move(work));
    progress_->show();
}

void ArchiveWindow::askAboutExistingFile(const QString &shownPath)
{
    if (!job_)
        return;
    ExistingFileDialog question(this, PrintableText(shownPath.toStdString()));
    const int answer = Interaction().ShowModal(question);
    if (!job_)
        return;
    switch (answer) {
    case ExistingFileDialog::Overwrite:
        job_->Answer(ExistingFileAnswer::Overwrite);
        break;
    case ExistingFileDialog::OverwriteAll:
        job_->Answer(ExistingFileAnswer::Overwrite, true);
        break;
    case ExistingFileDialog::Skip:
        job_->Answer(ExistingFileAnswer::Skip);
        break;
    case ExistingFileDialog::SkipAll:
        job_->Answer(ExistingFileAnswer::Skip, true);
        break;
    default:
        job_->Cancel();
        break;
    }
}

void ArchiveWindow::reportExtraction(const ExtractionResult &result, const QString &folder)
{
    const QString title = QStringLiteral("Extraction");
    if (!result.checks.empty())
        model_->SetChecksumStates(result.checks);
    if (result.failure) {
        Interaction().ShowMessage(this, MessageKind::Warning, title, QStringLiteral("Nothing was extracted."),
                                  FailureReportText(PrintableText(*result.failure)));
        return;
    }
    if (!result.damage.empty()) {
        ArchiveReportDialog report(this, title,
                                   archiveName() + QStringLiteral(" is damaged; nothing was extracted."),
                                   lines(result.damage));
        Interaction().ShowModal(report);
        return;
    }
    const ExtractionSummary &summary = result.summary;
    QString text = QStringLiteral("%1 of %2 files extracted to %3: %4 written, %5 kept, %6 refused, %7 failed.")
                       .arg(count(summary.written), count(result.selected), ShownPath(folder), count(summary.written),
                            count(summary.kept), count(summary.refused), count(summary.failed));
    if (summary.cancelled)
        text += QStringLiteral("\nCancelled: every file written is complete; the others were not written.");
    ArchiveReportDialog report(this, title, text, lines(result.notWritten));
    Interaction().ShowModal(report);
}

void ArchiveWindow::reportVerification(const VerificationResult &result)
{
    const QString title = QStringLiteral("Verify");
    if (result.failure) {
        Interaction().ShowMessage(this, MessageKind::Warning, title, QStringLiteral("The check could not be made."),
                                  FailureReportText(PrintableText(*result.failure)));
        return;
    }
    const Verification &verification = result.verification;
    if (verification.cancelled) {
        statusBar()->showMessage(QStringLiteral("Verification cancelled."), 5000);
        return;
    }
    model_->SetChecksumStates(result.checks);
    QString details;
    if (!verification.problems.empty())
        details = QStringLiteral("Damage:\n") + lines(verification.problems);
    if (!verification.notes.empty()) {
        if (!details.isEmpty())
            details += QStringLiteral("\n\n");
        details += QStringLiteral("Differences (not damage):\n") + lines(verification.notes);
    }
    ArchiveReportDialog report(this, title, archiveName() + QStringLiteral(": ") + PrintableText(verification.summary),
                               details);
    Interaction().ShowModal(report);
}

void ArchiveWindow::Properties()
{
    if (Working())
        return;
    const ArchiveHeader &header = reader_->Header();
    if (header.layout == ArchiveLayout::POD3 && propertiesDialog_ != nullptr) {
        const std::string path = reader_->Path();
        bool edited = false;
        EditArchiveHeader(path, [this, &edited](HeaderTexts &texts) {
            propertiesDialog_->SetTexts(texts);
            if (Interaction().ShowModal(*propertiesDialog_) != Tform_Dialog::kModalOk)
                return false;
            texts = propertiesDialog_->Texts();
            edited = true;
            return true;
        });
        // The archive is read again, so that the window shows the header as it now stands.
        if (edited) {
            ui->entriesView->setModel(nullptr);
            model_.reset();
            reader_.reset();
            reopen(path);
        }
        return;
    }
    // Other layouts show their values in a dialog of their own, read-only, so that the shared
    // dialog keeps the texts the next build starts from.
    Tform_Dialog shown(this);
    HeaderTexts texts;
    texts.description = header.description;
    texts.version = header.version ? std::to_string(*header.version) : std::string();
    texts.priority = header.priority ? std::to_string(*header.priority) : std::string();
    texts.author = header.author;
    texts.copyright = header.copyright;
    shown.SetTexts(texts);
    shown.ShowReadOnly(archiveName() + QStringLiteral(" (read-only)"));
    Interaction().ShowModal(shown);
}

void ArchiveWindow::reopen(const std::string &path)
{
    try {
        const BusyCursor busy;
        reader_ = std::make_unique<ArchiveReader>(path);
    } catch (...) {
        // Nothing left to show: the window goes, and the failure is reported.
        deleteLater();
        hide();
        throw;
    }
    showArchive();
}

void ArchiveWindow::SaveResponseList()
{
    const std::string list = ResponseListOf(*reader_);
    const QFileInfo archive(FromFileSystemPath(reader_->Path()));
    FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Save the response list");
    request.directory = archive.absolutePath();
    request.selectedFile = archive.absolutePath() + QLatin1Char('/') + archive.completeBaseName() + QStringLiteral(".txt");
    request.filter = QStringLiteral("Fichiers textes (*.txt);;Tous fichiers (*)");
    request.defaultSuffix = QStringLiteral("txt");
    request.overwritePrompt = true;
    const QStringList chosen = Interaction().ChooseFiles(this, request);
    if (chosen.isEmpty())
        return;
    WriteWholeFile(ToFileSystemPath(chosen.front()), list);
    statusBar()->showMessage(QStringLiteral("%1 saved: %2 lines")
                                 .arg(ShownPath(chosen.front()), count(reader_->Entries().size())),
                             10000);
}

QList<QUrl> ArchiveWindow::DragFiles(const std::vector<std::uint32_t> &entries, const std::vector<std::string> &roots)
{
    if (entries.empty() || Working() || refuseDamaged(QStringLiteral("Drag")))
        return {};
    if (!dragFolder_) {
        // A folder of the user's own, readable by nobody else, removed with the window.
        dragFolder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/morvane-drag-XXXXXX"));
        if (!dragFolder_->isValid()) {
            const QString cause = dragFolder_->errorString();
            dragFolder_.reset();
            Interaction().ShowMessage(this, MessageKind::Warning, QStringLiteral("Drag"),
                                      QStringLiteral("No temporary folder could be made for the drag."), cause);
            return {};
        }
    }
    // Each drag has a folder of its own, so that one drag's files never meet another's.
    const QString folder = dragFolder_->path() + QStringLiteral("/%1").arg(++drags_);
    ExtractionResult result;
    {
        const BusyCursor busy;
        result = RunExtraction(opened_, entries, ToFileSystemPath(folder), nullptr);
    }
    if (result.failure || !result.damage.empty()) {
        reportExtraction(result, folder);
        return {};
    }
    QList<QUrl> urls;
    for (const std::string &root : roots) {
        QString path = QString::fromStdString(Cp1252ToUtf8(root));
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString file = folder + QLatin1Char('/') + path;
        if (QFileInfo::exists(file))
            urls << QUrl::fromLocalFile(file);
    }
    return urls;
}

void ArchiveWindow::closeEvent(QCloseEvent *event)
{
    // A running job stops between two chunks; the files it has written stay, each one whole.
    if (job_) {
        job_->Cancel();
        job_->Wait();
        progress_.reset();
        job_.reset();
    }
    QMainWindow::closeEvent(event);
}

} // namespace morvane
