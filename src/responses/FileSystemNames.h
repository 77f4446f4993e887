#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

namespace morvane {

// Paths cross between Qt and the core library as the file system's own bytes.
inline std::string ToFileSystemPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

inline QString FromFileSystemPath(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace morvane
