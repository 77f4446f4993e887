#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class Tform_response;
}

namespace morvane {

// The response-list editor window. It reads the main window's working folder through workDir
// each time it needs it.
class Tform_response : public QDialog
{
    Q_OBJECT

public:
    Tform_response(QWidget *parent, std::function<QString()> workDir);
    ~Tform_response() override;

private:
    std::unique_ptr<Ui::Tform_response> ui;
    std::function<QString()> workDir_;
};

} // namespace morvane
