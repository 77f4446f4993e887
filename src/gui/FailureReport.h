#pragma once

#include <QObject>
#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace morvane {

// The application title, shown on the task bar and as the title of the failure report.
inline constexpr const char *kApplicationTitle = "Morvane";

// The message with a full stop added when its last character sorts after ".".
QString FailureReportText(const QString &message);

// A failure's message as the user reads it. Messages are UTF-8 (texts from archives and response
// files are decoded where the message is made); control characters show as '?'.
QString FailureMessage(const std::exception &failure);

// The box every failure that a command does not handle itself ends in: titled with the
// application title, with the stop icon and one OK button.
void ShowFailureReport(QWidget *parent, const QString &message);

// Shows the failure being handled in the failure report. Call it only inside a catch block.
void ReportCurrentFailure(QWidget *parent) noexcept;

// Runs a command so that no failure leaves it: whatever it throws ends in the failure report.
void RunCommand(QWidget *parent, const std::function<void()> &command) noexcept;

// Connects a control's signal to one of receiver's handlers, run as RunCommand runs a command.
template <typename Control, typename Signal, typename Receiver>
void BindCommand(Control *control, Signal signal, Receiver *receiver, void (Receiver::*handler)())
{
    QObject::connect(control, signal, receiver, [receiver, handler] {
        RunCommand(receiver, [receiver, handler] { (receiver->*handler)(); });
    });
}

} // namespace morvane
