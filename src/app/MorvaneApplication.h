#pragma once

#include <QApplication>

namespace morvane {

// The application object. A failure that escapes an event handler is shown in the failure
// report instead of ending the program: no exception crosses the event loop.
class MorvaneApplication : public QApplication
{
    Q_OBJECT

public:
    MorvaneApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace morvane
