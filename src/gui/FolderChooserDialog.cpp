#include "gui/FolderChooserDialog.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QUrl>

#include <tuple>
#include <vector>

namespace morvane {

FolderChooserDialog::FolderChooserDialog(QWidget *parent, const FolderDialogRequest &request)
    : QFileDialog(parent, QStringLiteral("Rechercher un dossier / Browse for folder"))
    , root_(request.root.isEmpty() ? QString() : QDir::cleanPath(request.root))
{
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
    addInstruction(request.caption);

    QString start = root_.isEmpty() ? QDir::homePath() : root_;
    if (!request.startFolder.isEmpty() && isInsideRoot(request.startFolder))
        start = request.startFolder;
    if (!root_.isEmpty()) {
        setSidebarUrls({QUrl::fromLocalFile(root_)});
        setHistory({});
        connect(this, &QFileDialog::directoryEntered, this, &FolderChooserDialog::keepInsideRoot);
    }
    setDirectory(start);
}

QString FolderChooserDialog::ChosenFolder() const
{
    const QStringList files = selectedFiles();
    return files.isEmpty() ? directory().absolutePath() : files.first();
}

void FolderChooserDialog::accept()
{
    if (!isInsideRoot(ChosenFolder())) {
        setDirectory(root_);
        return;
    }
    QFileDialog::accept();
}

void FolderChooserDialog::addInstruction(const QString &text)
{
    auto *grid = qobject_cast<QGridLayout *>(layout());
    if (grid == nullptr) {
        setWindowTitle(text);
        return;
    }
    // The dialog's own grid gets one more row on top for the instruction.
    std::vector<std::tuple<QLayoutItem *, int, int, int, int>> items;
    for (int i = grid->count() - 1; i >= 0; --i) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        items.emplace_back(grid->takeAt(i), row, column, rowSpan, columnSpan);
    }
    for (const auto &[item, row, column, rowSpan, columnSpan] : items)
        grid->addItem(item, row + 1, column, rowSpan, columnSpan);
    auto *instruction = new QLabel(text, this);
    instruction->setObjectName(QStringLiteral("instruction"));
    grid->addWidget(instruction, 0, 0, 1, grid->columnCount());
}

bool FolderChooserDialog::isInsideRoot(const QString &path) const
{
    if (root_.isEmpty())
        return true;
    const QString folder = QDir::cleanPath(QDir(path).absolutePath());
    const QString prefix = root_.endsWith(QLatin1Char('/')) ? root_ : root_ + QLatin1Char('/');
    return folder == root_ || folder.startsWith(prefix);
}

void FolderChooserDialog::keepInsideRoot(const QString &folder)
{
    if (!isInsideRoot(folder))
        setDirectory(root_);
}

} // namespace morvane
