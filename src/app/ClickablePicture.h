#pragma once

#include <QLabel>

namespace morvane {

// A picture that starts a command when clicked with the left mouse button.
class ClickablePicture : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace morvane
