#include "gui/SelectFolder.h"

#include "gui/ModalInteraction.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace morvane {

bool SelectFolder(const QString &caption, const QString &root, QString &directory)
{
    if (!QFileInfo(directory).isDir())
        directory.clear();

    FolderDialogRequest request;
    request.caption = caption;
    const QFileInfo rootInfo(root);
    if (!root.isEmpty() && rootInfo.isDir())
        request.root = QDir::cleanPath(rootInfo.absoluteFilePath());
    request.startFolder = directory;

    const std::optional<QString> chosen = Interaction().ChooseFolder(QApplication::activeWindow(), request);
    if (!chosen)
        return false;
    directory = FolderResultPath(*chosen);
    return true;
}

QString FolderResultPath(const QString &chosen)
{
    if (chosen.isEmpty())
        return {};
    return QDir::toNativeSeparators(QDir::cleanPath(chosen));
}

} // namespace morvane
