#include "responses/FailureReport.h"

#include "platform/Cp1252.h"
#include "responses/ModalInteraction.h"

#include <QStringDecoder>

namespace morvane {

QString FailureReportText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString FailureMessage(const std::exception &failure)
{
    const QByteArray bytes(failure.what());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    if (!utf8.hasError())
        return decoded;
    return QString::fromStdString(Cp1252ToUtf8(bytes.toStdString()));
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
