#include "gui/FailureReport.h"

#include "gui/FileSystemNames.h"
#include "gui/ModalInteraction.h"

namespace morvane {

QString FailureReportText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString FailureMessage(const std::exception &failure)
{
    return PrintableText(failure.what());
}

void ShowFailureReport(QWidget *parent, const QString &message)
{
    Interaction().ShowMessage(parent, MessageKind::Error, QString::fromLatin1(kApplicationTitle),
                              FailureReportText(message));
}

void ReportCurrentFailure(QWidget *parent) noexcept
{
    try {
        try {
            throw;
        } catch (const std::exception &failure) {
            ShowFailureReport(parent, FailureMessage(failure));
        } catch (...) {
            ShowFailureReport(parent, QStringLiteral("Unexpected failure"));
        }
    } catch (...) {
        // The report itself failed (out of memory): the program carries on without it.
    }
}

void RunCommand(QWidget *parent, const std::function<void()> &command) noexcept
{
    try {
        command();
    } catch (...) {
        ReportCurrentFailure(parent);
    }
}

} // namespace morvane
