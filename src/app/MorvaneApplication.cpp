#include "app/MorvaneApplication.h"

#include "gui/FailureReport.h"

#include <QFont>
#include <QIcon>

namespace morvane {

MorvaneApplication::MorvaneApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(kApplicationTitle));
    setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/Morvane.png")));
    // The windows are laid out in pixels for the 8-point Windows font; at 8 points DejaVu Sans
    // Condensed has nearly its widths and the same 13-pixel line.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans Condensed"),
                                QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"),
                                QStringLiteral("DejaVu Sans")});
}

bool MorvaneApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentFailure(activeWindow());
    }
    return false;
}

} // namespace morvane
