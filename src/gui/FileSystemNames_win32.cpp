#include "gui/FileSystemNames.h"

#include <QDir>

namespace morvane {

std::string ToFileSystemPath(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdString();
}

QString FromFileSystemPath(const std::string &path)
{
    return QString::fromStdString(path);
}

QString ShownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace morvane
