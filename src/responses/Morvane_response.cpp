#include "responses/Morvane_response.h"

#include "ui_Morvane_response.h"

namespace morvane {

Tform_response::Tform_response(QWidget *parent, std::function<QString()> workDir)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Tform_response>())
    , workDir_(std::move(workDir))
{
    ui->setupUi(this);
}

Tform_response::~Tform_response() = default;

} // namespace morvane
