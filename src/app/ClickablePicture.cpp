#include "app/ClickablePicture.h"

#include <QMouseEvent>

namespace morvane {

void ClickablePicture::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}

} // namespace morvane
