#include "gui/FileSystemNames.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace morvane {

std::string ToFileSystemPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

QString FromFileSystemPath(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString ShownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace morvane
