#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ArchiveReportDialog;
}

namespace morvane {

// What an extraction or a verification found: a summary line and the details, as text the user
// can select and copy whole (Copy puts summary and details on the clipboard).
class ArchiveReportDialog : public QDialog
{
    Q_OBJECT

public:
    ArchiveReportDialog(QWidget *parent, const QString &title, const QString &summary, const QString &details);
    ~ArchiveReportDialog() override;

    // Summary and details as Copy puts them on the clipboard.
    QString Text() const;

private:
    std::unique_ptr<Ui::ArchiveReportDialog> ui;
};

} // namespace morvane
