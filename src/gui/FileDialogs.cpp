#include "gui/FileDialogs.h"

#include <QFileInfo>

namespace morvane {

bool FileDialogBase::Execute(QWidget *parent)
{
    const QStringList chosen = Interaction().ChooseFiles(parent, Request());
    if (chosen.isEmpty())
        return false;
    files = chosen;
    fileName = chosen.first();
    return true;
}

FileDialogRequest FileDialogBase::Request() const
{
    FileDialogRequest request;
    request.title = title;
    request.directory = initialDir;
    request.selectedFile = fileName;
    request.filter = QtFilter(filter);
    request.defaultSuffix = DefaultSuffix(defaultExt);
    return request;
}

FileDialogRequest OpenFileDialog::Request() const
{
    FileDialogRequest request = FileDialogBase::Request();
    request.multiSelect = allowMultiSelect;
    request.fileMustExist = fileMustExist;
    return request;
}

FileDialogRequest SaveFileDialog::Request() const
{
    FileDialogRequest request = FileDialogBase::Request();
    request.save = true;
    request.overwritePrompt = overwritePrompt;
    return request;
}

QString QtFilter(const QString &pairs)
{
    if (pairs.isEmpty())
        return {};
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QStringList patterns
            = (i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*")).split(QLatin1Char(';'));
        for (QString &pattern : patterns)
            if (pattern.trimmed() == QStringLiteral("*.*"))
                pattern = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString DefaultSuffix(const QString &defaultExt)
{
    QString suffix = defaultExt;
    if (suffix.startsWith(QLatin1Char('*')))
        suffix.remove(0, 1);
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    if (suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return {};
    return suffix;
}

QString WithDefaultSuffix(const QString &path, const QString &suffix)
{
    const QFileInfo file(path);
    if (suffix.isEmpty() || file.exists() || file.isSymLink() || file.fileName().contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + suffix;
}

} // namespace morvane
