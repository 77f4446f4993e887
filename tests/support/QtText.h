#pragma once

#include <QDir>
#include <QString>

#include <string>

namespace morvane::test {

// A test's UTF-8 text or path as Qt holds it.
inline QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

// A path written with '/' as the program shows it: with the platform's separator.
inline QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A path as Qt holds it internally and in its dialogs: with '/' on every platform.
inline QString QtForm(const QString &path)
{
    return QDir::fromNativeSeparators(path);
}

} // namespace morvane::test
