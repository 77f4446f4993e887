#include "editor/Morvane_response.h"

#include "editor/ResponseListText.h"
#include "gui/BusyCursor.h"
#include "gui/FailureReport.h"
#include "gui/FileSystemNames.h"
#include "gui/ModalInteraction.h"
#include "gui/SelectFolder.h"
#include "platform/Errors.h"
#include "platform/FileStream.h"
#include "platform/WholeFile.h"
#include "responses/ResponseLinePath.h"
#include "text/PathRules.h"
#include "text/PrintableText.h"
#include "ui_Morvane_response.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QFileInfo>

namespace morvane {

namespace {

// The local files and folders a drop carries, in the order given; empty when it carries anything
// else (text, remote URLs), which is then refused whole.
QStringList droppedPaths(const QMimeData &data)
{
    QStringList paths;
    if (!data.hasUrls())
        return paths;
    for (const QUrl &url : data.urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}

// The window's place on the screen as its form gives it; uic keeps only a window's size, and Qt
// would centre the dialog over the main window.
constexpr QPoint kFormPosition {461, 181};

// Hides a widget for as long as the object lives.
class HiddenWhile
{
public:
    explicit HiddenWhile(QWidget &widget)
        : widget_(widget)
    {
        widget_.hide();
    }
    ~HiddenWhile() { widget_.show(); }
    HiddenWhile(const HiddenWhile &) = delete;
    HiddenWhile &operator=(const HiddenWhile &) = delete;

private:
    QWidget &widget_;
};

// Replaces the file only once the whole text is written, so a failed save keeps the old file.
void writeResponseFile(const QString &path, const std::string &bytes)
{
    const std::string target = ToFileSystemPath(path);
    WholeFileOptions options;
    options.keepPermissions = true;
    options.durable = true;
    try {
        WriteWholeFile(target, bytes, options);
    } catch (const WholeFileError &) {
        throw Error(CannotCreateFileMessage(target));
    }
}

} // namespace

Tform_response::Tform_response(QWidget *parent, std::function<QString()> workDir)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Tform_response>())
    , workDir_(std::move(workDir))
{
    ui->setupUi(this);
    move(kFormPosition);
    // Create Dir hides the text area while it works; the tool bar and status bar stay where they are.
    QSizePolicy listPolicy = ui->Response->sizePolicy();
    listPolicy.setRetainSizeWhenHidden(true);
    ui->Response->setSizePolicy(listPolicy);
    // Files and folders dropped from a file manager are added as the buttons add them, never as
    // the text of their URLs.
    ui->Response->viewport()->installEventFilter(this);
    // Typing goes into the list as soon as the window shows, not to the first button.
    ui->Response->setFocus();

    OpenDialog.filter = QStringLiteral("Fichier texte|*.txt|Tous fichiers|*.*");
    OpenDialog.defaultExt = QStringLiteral("*.txt");
    OpenDialog.allowMultiSelect = true;
    SaveDialog.filter = QStringLiteral("Fichiers textes|*.txt|Tous fichiers|*.*");
    SaveDialog.defaultExt = QStringLiteral("*.txt");
    SaveDialog.overwritePrompt = true;
    FindFile.SetFileAttr({ffaDirectory, ffaAnyFile});
    FindFile.SetInSubFolders(true);
    FindFile.SetFileMask("*.*");

    for (const auto &[button, handler] : {std::pair {ui->tbEffacer, &Tform_response::tbEffacerClick},
                                          std::pair {ui->tbCreer, &Tform_response::tbCreerClick},
                                          std::pair {ui->tbCreerDir, &Tform_response::tbCreerDirClick},
                                          std::pair {ui->tbCharger, &Tform_response::tbChargerClick},
                                          std::pair {ui->tbEnregistrer, &Tform_response::tbEnregistrerClick}})
        BindCommand(button, &QAbstractButton::clicked, this, handler);
    connect(ui->btnFermer, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
}

Tform_response::~Tform_response() = default;

void Tform_response::tbEffacerClick()
{
    ClearResponseList(*ui->Response);
}

void Tform_response::tbCreerClick()
{
    const QString workDir = workDir_();
    if (!requireWorkDir(workDir))
        return;
    OpenDialog.filter = QStringLiteral("Tous fichiers|*.*");
    OpenDialog.defaultExt = QStringLiteral("*.*");
    OpenDialog.initialDir = workDir;
    if (!OpenDialog.Execute(this))
        return;
    std::vector<std::string> paths;
    for (const QString &file : OpenDialog.files)
        paths.push_back(ToFileSystemPath(file));
    QStringList leftOut;
    std::vector<std::string> lines = linesFor(paths, nullptr, workDir, leftOut);
    for (std::string &line : lines)
        line = AsciiUpper(line);
    AppendResponseLines(*ui->Response, lines);
    showLineCount();
    warnLeftOut(leftOut);
}

void Tform_response::tbCreerDirClick()
{
    const QString workDir = workDir_();
    if (!requireWorkDir(workDir))
        return;
    QString folder;
    bool inside = false;
    QStringList leftOut;
    {
        // The list is hidden while the folder is chosen and searched, and back before any warning.
        const HiddenWhile hidden(*ui->Response);
        if (!SelectFolder(QStringLiteral("Select a directory"), workDir, folder) || folder.isEmpty())
            return;
        inside = FolderIsWithin(ToFileSystemPath(folder), ToFileSystemPath(workDir));
        if (inside)
            leftOut = listFolder(ToFileSystemPath(folder), workDir);
    }
    if (!inside) {
        Interaction().ShowMessage(
            this, MessageKind::Warning, kWarningTitle,
            QStringLiteral("Ce dossier n'est pas dans le dossier de travail ; la liste est inchangée.\n"
                           "The folder %1 lies outside the working folder %2; the list is unchanged.")
                .arg(PrintableText(ToFileSystemPath(folder)), PrintableText(ToFileSystemPath(workDir))));
        return;
    }
    warnLeftOut(leftOut);
}

QStringList Tform_response::listFolder(const std::string &folder, const QString &workDir)
{
    const BusyCursor busy;
    QStringList leftOut;
    SetResponseLines(*ui->Response, folderLines(folder, workDir, leftOut), true);
    return leftOut;
}

std::vector<std::string> Tform_response::folderLines(const std::string &folder, const QString &workDir,
                                                     QStringList &leftOut)
{
    FindFile.SetPath(folder);
    const bool endsWithSeparator
        = !folder.empty() && folder.back() != ':' && IsPathDelimiter(folder.back(), kNativePathStyle);
    const std::string expected = endsWithSeparator ? folder : folder + PathSeparator(kNativePathStyle);
    // A folder the finder refuses would leave it searching the previous one.
    if (FindFile.Path() != expected)
        throw Error("Cannot open folder " + folder);
    const std::vector<std::string> &found = FindFile.Execute();
    std::vector<std::string> lines = linesFor(found, &FindFile.Attributes(), workDir, leftOut);
    for (const auto &unread : FindFile.UnreadFolders())
        leftOut << QStringLiteral("%1: the folder could not be read (%2)")
                       .arg(PrintableText(unread.path), QString::fromStdString(unread.error.message()));
    return lines;
}

bool Tform_response::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->Response->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        // Text moved inside the list is an ordinary edit; from elsewhere only files are taken.
        if (drag->source() == ui->Response || drag->source() == ui->Response->viewport())
            return false;
        if (droppedPaths(*drag->mimeData()).isEmpty())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->source() == ui->Response || drop->source() == ui->Response->viewport())
            return false;
        const QStringList paths = droppedPaths(*drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        RunCommand(this, [this, &paths] { addDropped(paths); });
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void Tform_response::addDropped(const QStringList &paths)
{
    const QString workDir = workDir_();
    if (!requireWorkDir(workDir))
        return;
    QStringList leftOut;
    std::vector<std::string> lines;
    {
        const BusyCursor busy;
        for (const QString &dropped : paths) {
            const std::string path = ToFileSystemPath(dropped);
            std::vector<std::string> more;
            if (QFileInfo(dropped).isDir()) {
                // As Create Dir lists a folder, but added to the list.
                if (FolderIsWithin(path, ToFileSystemPath(workDir)))
                    more = folderLines(path, workDir, leftOut);
                else
                    leftOut << PrintableText(path) + QStringLiteral(": ")
                            + QString::fromUtf8(DescribeRefusal(LineRefusal::OutsideWorkDir));
            } else {
                // As Create File adds a file.
                more = linesFor({path}, nullptr, workDir, leftOut);
                for (std::string &line : more)
                    line = AsciiUpper(line);
            }
            lines.insert(lines.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
        }
        AppendResponseLines(*ui->Response, lines);
    }
    showLineCount();
    warnLeftOut(leftOut);
}

void Tform_response::tbChargerClick()
{
    OpenDialog.filter = QStringLiteral("Fichier texte|*.txt|Tous fichiers|*.*");
    OpenDialog.defaultExt = QStringLiteral("*.txt");
    // The dialog opens in the folder of the last file chosen, with none of them selected: Enter
    // must not load a file picked for another purpose (a sound chosen by Create File).
    if (!OpenDialog.fileName.isEmpty()) {
        if (OpenDialog.initialDir.isEmpty())
            OpenDialog.initialDir = QDir::toNativeSeparators(QFileInfo(OpenDialog.fileName).absolutePath());
        OpenDialog.fileName.clear();
        OpenDialog.files.clear();
    }
    if (!OpenDialog.Execute(this))
        return;
    LoadResponseFile(OpenDialog.fileName);
}

void Tform_response::LoadResponseFile(const QString &path)
{
    ShowResponseText(*ui->Response, ReadWholeFile(ToFileSystemPath(path), OpenMode::ReadShared));
    // The list is now what the file holds; Ctrl+Z still brings back what was there before.
    ui->Response->document()->setModified(false);
    ui->StatusBar->showMessage(QStringLiteral("%1 - %2 lignes/lines")
                                   .arg(PrintableText(ToFileSystemPath(path)))
                                   .arg(ResponseLineCount(*ui->Response)));
}

void Tform_response::tbEnregistrerClick()
{
    SaveList();
}

bool Tform_response::SaveList()
{
    SaveDialog.initialDir = workDir_();
    if (!SaveDialog.Execute(this))
        return false;
    writeResponseFile(SaveDialog.fileName, ResponseListBytes(*ui->Response));
    ui->Response->document()->setModified(false);
    return true;
}

bool Tform_response::HoldsUnsavedList() const
{
    return ui->Response->document()->isModified() && ResponseLineCount(*ui->Response) > 0;
}

bool Tform_response::requireWorkDir(const QString &workDir)
{
    if (!workDir.isEmpty())
        return true;
    Interaction().ShowMessage(
        this, MessageKind::Warning, kWarningTitle,
        QStringLiteral("Aucun dossier de travail n'est choisi : utilisez « Initialisation ».\n"
                       "No working folder is set: choose one with \"Initialisation\"."));
    return false;
}

std::vector<std::string> Tform_response::linesFor(const std::vector<std::string> &paths,
                                                  const std::vector<std::uint32_t> *attributes,
                                                  const QString &workDir, QStringList &leftOut)
{
    const ResponseLineMaker maker(ToFileSystemPath(workDir));
    std::vector<std::string> lines;
    lines.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (attributes != nullptr && IsWriteLeftover(paths[i]))
            continue;
        ResponseLine line
            = attributes != nullptr ? maker.ForFound(paths[i], (*attributes)[i]) : maker.ForPath(paths[i]);
        if (line.refusal == LineRefusal::None)
            lines.push_back(std::move(line.text));
        else
            leftOut << PrintableText(paths[i]) + QStringLiteral(": ")
                    + QString::fromUtf8(DescribeRefusal(line.refusal));
    }
    return lines;
}

void Tform_response::warnLeftOut(const QStringList &leftOut)
{
    if (!leftOut.isEmpty())
        Interaction().ShowMessage(this, MessageKind::Warning, kWarningTitle,
                                  QStringLiteral("Ces fichiers n'ont pas été ajoutés à la liste.\n"
                                                 "These files were not added to the list."),
                                  leftOut.join(QLatin1Char('\n')));
}

void Tform_response::showLineCount()
{
    ui->StatusBar->showMessage(QStringLiteral("%1 lignes/lines").arg(ResponseLineCount(*ui->Response)));
}

} // namespace morvane
