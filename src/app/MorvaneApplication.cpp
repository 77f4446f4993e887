#include "app/MorvaneApplication.h"

#include "app/FailureReport.h"

#include <QFont>

namespace morvane {

MorvaneApplication::MorvaneApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kApplicationTitle));
    setApplicationVersion(QStringLiteral("1.3"));
    // The windows are laid out for the 8-point Windows font; these have close widths.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
}

bool MorvaneApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    RunCommand(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace morvane
