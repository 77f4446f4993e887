#include "gui/FailureReport.h"

#include "gui/ModalInteraction.h"
#include "text/PrintableText.h"
#include "text/Utf8.h"

#include <string_view>

namespace morvane {

namespace {

bool IsUtf8(std::string_view bytes)
{
    char32_t code = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = DecodeUtf8(bytes.substr(at), code);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

} // namespace

QString FailureReportText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString FailureMessage(const std::exception &failure)
{
    // Messages quote file names and texts read from files: their control characters show as '?'.
    const std::string_view bytes(failure.what());
    return QString::fromStdString(IsUtf8(bytes) ? PrintableFileName(bytes, TerminalEncoding::Utf8)
                                                : PrintableCp1252(bytes, TerminalEncoding::Utf8));
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
