#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ExistingFileDialog;
}

namespace morvane {

// Asks what to do with a file already at the name an entry is to be extracted at. Escape and
// the close button cancel the extraction.
class ExistingFileDialog : public QDialog
{
    Q_OBJECT

public:
    // The results it closes with; Cancel is QDialog's Rejected.
    enum Result { Cancel = 0, Overwrite = 10, Skip, OverwriteAll, SkipAll };

    ExistingFileDialog(QWidget *parent, const QString &shownPath);
    ~ExistingFileDialog() override;

private:
    std::unique_ptr<Ui::ExistingFileDialog> ui;
};

} // namespace morvane
