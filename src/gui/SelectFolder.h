#pragma once

#include <QString>

namespace morvane {

// Lets the user choose a folder in a modal folder dialog. Caption is the instruction shown above
// the folders. When Root names a folder the user can choose only inside it; otherwise the whole
// file system is offered. Directory is cleared at once unless it names an existing folder; on a
// true result it holds the chosen folder's full path, without a trailing separator except for a
// root folder such as "/". Returns false when the user cancels.
bool SelectFolder(const QString &caption, const QString &root, QString &directory);

// A chosen folder in the form SelectFolder returns it.
QString FolderResultPath(const QString &chosen);

} // namespace morvane
