#include "app/Morvane_main.h"

#include "app/ArchiveWindow.h"
#include "app/BuildProgressWindow.h"
#include "app/Morvane_dialog.h"
#include "app/SettingsLocation.h"
#include "archive/ArchiveCommands.h"
#include "archive/Verification.h"
#include "editor/Morvane_response.h"
#include "gui/BusyCursor.h"
#include "gui/FailureReport.h"
#include "gui/FileSystemNames.h"
#include "gui/ModalInteraction.h"
#include "gui/SelectFolder.h"
#include "platform/IniFile.h"
#include "text/PrintableText.h"

#include "ui_Morvane_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QShortcut>
#include <QShowEvent>

#include <algorithm>

namespace morvane {

namespace {

constexpr const char *kSettingsSection = "dir";
constexpr const char *kSettingsKey = "workdir";

const QString kBuildCancelled = QStringLiteral("Génération POD annulée.\r\nPOD buld cancel.");
const QString kBuildFailed = QStringLiteral("Erreur durant la génération du fichier POD");
const QString kNotPod3 = QStringLiteral("Ce n'est pas un fichier POD3.\r\nThis is not a POD3 file.");
const QString kResponseIsArchive
    = QStringLiteral("Génération POD annulée : le fichier réponse serait écrasé par l'archive.\r\n"
                     "POD build cancelled: the archive would overwrite the response file.");

// What a failed build left of the archive file, as a sentence below the warning's text; empty
// when the build never changed that file.
QString leftBehind(const std::exception &failure)
{
    QString sentence = PrintableText(DescribeFailedBuildLeftover(failure));
    if (sentence.isEmpty())
        return sentence;
    sentence[0] = sentence[0].toUpper();
    return QLatin1Char('\n') + sentence + QLatin1Char('.');
}

} // namespace

TForm_main::TForm_main(QWidget *parent)
    : QWidget(parent)
    , settingsPath(SettingsFilePath(QCoreApplication::applicationDirPath()))
    , ui(std::make_unique<Ui::TForm_main>())
{
    ui->setupUi(this);
    workDirCaption_ = ui->Label4->text();
    setWindowTitle(QStringLiteral("Morvane v" MORVANE_VERSION));
    // A title bar with the system menu and the close button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    for (QFrame *panel : {ui->Panel1, ui->Panel2}) {
        QPalette face = panel->palette();
        face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
        panel->setPalette(face);
        panel->setAutoFillBackground(true);
    }

    // Left-aligned labels grow to fit their text, should this font be wider than the one the
    // window was laid out for.
    for (QLabel *label : {ui->Label1, ui->Label2, ui->Label3})
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());

    BindCommand(ui->btnInit, &QPushButton::clicked, this, &TForm_main::btnInitClick);
    BindCommand(ui->CreateResponse, &ClickablePicture::clicked, this, &TForm_main::CreateResponseClick);
    BindCommand(ui->CreatePOD, &ClickablePicture::clicked, this, &TForm_main::CreatePODClick);
    BindCommand(ui->Button1, &QPushButton::clicked, this, &TForm_main::Button1Click);

    // Opening an archive needs no visible control: Ctrl+O and drops.
    auto *openArchive = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    BindCommand(openArchive, &QShortcut::activated, this, &TForm_main::OpenArchiveClick);
    setAcceptDrops(true);
}

TForm_main::~TForm_main() = default;

void TForm_main::Attach(Tform_response *responseEditor, Tform_Dialog *propertiesDialog)
{
    form_response = responseEditor;
    form_Dialog = propertiesDialog;
}

void TForm_main::btnInitClick()
{
    QString folder;
    // Cancelling leaves the text empty, which clears the stored working folder too.
    SelectFolder(QStringLiteral("Select a directory"), QString(), folder);
    CreateSettingsFolder(settingsPath);
    IniFile(ToFileSystemPath(settingsPath))
        .WriteString(kSettingsSection, kSettingsKey, ToFileSystemPath(folder));
    workDir = folder;
    showWorkDir();
}

bool TForm_main::reloadWorkDir()
{
    const IniFile settings(ToFileSystemPath(settingsPath));
    if (!settings.Exists())
        return false;
    workDir
        = FromFileSystemPath(settings.ReadString(kSettingsSection, kSettingsKey, ToFileSystemPath(workDir)));
    showWorkDir();
    return true;
}

void TForm_main::showWorkDir()
{
    if (workDir.isEmpty()) {
        ui->Label4->setText(workDirCaption_);
        ui->Label4->setToolTip({});
        return;
    }
    // The folder's name comes from the settings file: shown printable, its middle elided so that
    // both the drive or root and the last folders stay in view.
    const QString folder = PrintableText(ToFileSystemPath(QDir::toNativeSeparators(workDir)));
    ui->Label4->setText(ui->Label4->fontMetrics().elidedText(folder, Qt::ElideMiddle, ui->Label4->width()));
    ui->Label4->setToolTip(folder);
}

void TForm_main::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    try {
        reloadWorkDir();
    } catch (const std::exception &) {
        // Shown only; the first command that needs the folder reads the file again and says why
        // it cannot.
    }
}

void TForm_main::CreateResponseClick()
{
    if (!reloadWorkDir())
        btnInitClick();
    if (form_response != nullptr)
        Interaction().ShowModal(*form_response);
}

void TForm_main::CreatePODClick()
{
    openDialog.filter = QStringLiteral("Fichiers textes|*.txt|Tous fichiers|*.*");
    openDialog.defaultExt = QStringLiteral("*.txt");
    if (!openDialog.Execute(this))
        return;
    const QString responseFile = openDialog.fileName;
    const std::string responsePath = ToFileSystemPath(responseFile);
    if (ResponseFileIsAnArchiveName(responsePath)) {
        Interaction().ShowMessage(this, MessageKind::Warning, kWarningTitle, kResponseIsArchive,
                                  FailureMessage(ResponseFileWouldBeOverwritten(responsePath)));
        return;
    }

    if (Interaction().ShowModal(*form_Dialog) != Tform_Dialog::kModalOk) {
        Interaction().ShowMessage(this, MessageKind::Warning, kWarningTitle, kBuildCancelled);
        return;
    }

    const BusyCursor busy;
    const std::string archivePath = ArchivePathFor(responsePath);
    try {
        BuildProgressWindow progress(this);
        const BuildSummary built = CreateArchive(responsePath, archivePath, form_Dialog->Texts(), &progress);
        const QLocale locale;
        QString text
            = QStringLiteral("%1 built: %2 entries, %3 bytes")
                  .arg(QFileInfo(FromFileSystemPath(archivePath)).fileName(),
                       locale.toString(qulonglong(built.entries)), locale.toString(qulonglong(built.size)));
        for (const std::string &warning : built.warnings)
            text += QStringLiteral("\nWarning: ") + PrintableText(warning);
        showBuildOutcome(text);
    } catch (const BuildError &failure) {
        // Stopped by the user: nothing failed, so no warning; the label says what became of it.
        if (!failure.Cancelled()) {
            Interaction().ShowMessage(this, MessageKind::Warning, kWarningTitle, kBuildFailed,
                                      FailureReportText(FailureMessage(failure)) + leftBehind(failure));
            return;
        }
        showBuildOutcome(failure.Leftover().empty()
                             ? QStringLiteral("Build cancelled; no archive was written.")
                             : QStringLiteral("Build cancelled; the previous archive was left unchanged."));
    } catch (const ResponseFileWouldBeOverwritten &refusal) {
        Interaction().ShowMessage(this, MessageKind::Warning, kWarningTitle, kResponseIsArchive,
                                  FailureMessage(refusal));
    } catch (...) {
        // The fixed warning names no cause; the cause and what is left on disk go below it.
        QString cause = QStringLiteral("Unexpected failure");
        try {
            throw;
        } catch (const std::exception &failure) {
            cause = FailureReportText(FailureMessage(failure)) + leftBehind(failure);
        } catch (...) {
        }
        Interaction().ShowMessage(this, MessageKind::Warning, kWarningTitle, kBuildFailed, cause);
    }
}

void TForm_main::showBuildOutcome(const QString &text)
{
    QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    if (text.contains(QLatin1Char('\n')))
        firstLine += QStringLiteral(" (warnings)");
    ui->Label3->setText(ui->Label3->fontMetrics().elidedText(firstLine, Qt::ElideRight, ui->Label3->width()));
    ui->Label3->setToolTip(text);
}

void TForm_main::Button1Click()
{
    openDialog.filter = QStringLiteral("POD Files|*.POD");
    if (!openDialog.Execute(this))
        return;
    EditArchiveHeaderOf(openDialog.fileName);
}

void TForm_main::EditArchiveHeaderOf(const QString &archive)
{
    // The next archive dialog opens where this archive lies.
    openDialog.fileName = archive;
    try {
        const std::string damage = DamageSummary(ToFileSystemPath(archive));
        EditArchiveHeader(ToFileSystemPath(archive), [this, &damage](HeaderTexts &texts) {
            form_Dialog->SetTexts(texts);
            // The edit goes ahead on a damaged archive, whose header is sound, but says so; the
            // dialog serves the build next, with its own title.
            form_Dialog->ShowDamage(PrintableText(damage));
            const int answer = Interaction().ShowModal(*form_Dialog);
            form_Dialog->ShowDamage({});
            if (answer != Tform_Dialog::kModalOk)
                return false;
            texts = form_Dialog->Texts();
            return true;
        });
    } catch (const NotPod3Error &) {
        Interaction().ShowMessage(this, MessageKind::Error, kErrorTitle, kNotPod3);
    }
}

void TForm_main::OpenArchive(const QString &archive)
{
    ArchiveWindow::Open(archive, form_Dialog, this);
}

void TForm_main::OpenArchiveClick()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Open an archive");
    request.directory = QFileInfo(openDialog.fileName).absolutePath();
    request.filter = QStringLiteral("Archives (*.pod *.POD *.epd *.EPD);;Tous fichiers (*)");
    request.fileMustExist = true;
    const QStringList chosen = Interaction().ChooseFiles(this, request);
    if (!chosen.isEmpty())
        OpenArchive(chosen.front());
}

void TForm_main::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm_main::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    // Each file opens once the drop is over, so that the dragging program is not kept waiting.
    for (const QUrl &url : urls) {
        const QString file = url.isLocalFile() ? url.toLocalFile() : url.toString();
        QMetaObject::invokeMethod(
            this, [this, file] { RunCommand(this, [this, &file] { OpenArchive(file); }); }, Qt::QueuedConnection);
    }
}

void TForm_main::OpenResponseList(const QString &list)
{
    // The editor's commands need the working folder, but a list opened this way does not ask
    // for one: Create File and Create Dir say so when none is stored.
    reloadWorkDir();
    if (form_response == nullptr)
        return;
    form_response->LoadResponseFile(list);
    Interaction().ShowModal(*form_response);
}

void TForm_main::closeEvent(QCloseEvent *event)
{
    // The editor keeps its list between uses; quitting would lose what was never saved.
    if (form_response == nullptr || !form_response->HoldsUnsavedList()) {
        event->accept();
        return;
    }
    bool quit = false;
    switch (Interaction().AskToSave(
        this, QString::fromUtf8(kApplicationTitle),
        QStringLiteral("La liste de fichiers n'est pas enregistrée. L'enregistrer avant de quitter ?\n"
                       "The list of files has not been saved. Save it before quitting?"))) {
    case SaveChoice::Save:
        RunCommand(this, [this, &quit] { quit = form_response->SaveList(); });
        break;
    case SaveChoice::Discard:
        quit = true;
        break;
    case SaveChoice::Cancel:
        break;
    }
    if (quit)
        event->accept();
    else
        event->ignore();
}

} // namespace morvane
