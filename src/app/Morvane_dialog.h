#pragma once

#include "archive/ArchiveCommands.h"

#include <QDialog>

#include <memory>

namespace Ui {
class Tform_Dialog;
}

namespace morvane {

// The archive properties dialog: the five header values of an archive. One instance serves
// both archive commands and keeps its texts from one use to the next.
class Tform_Dialog /* NOLINT(readability-identifier-naming) */ : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kModalOk = 1;
    static constexpr int kModalCancel = 2;

    explicit Tform_Dialog(QWidget *parent = nullptr);
    ~Tform_Dialog() override;

    // The texts of the five boxes as header texts (Windows-1252), and back.
    HeaderTexts Texts() const;
    void SetTexts(const HeaderTexts &texts);
    // Says in the title that the archive being edited is damaged (what verify found); the form's
    // own title when damage is empty.
    void ShowDamage(const QString &damage);

    // Shows the values without letting them be edited, for an archive this program does not
    // write, under the given title. Escape then closes the dialog, as it closes any view.
    void ShowReadOnly(const QString &title);

    // Closing from the title bar counts as Cancel.
    void reject() override;

protected:
    // Escape closes nothing (except a read-only view), and Enter presses only a focused button:
    // neither button is the default or the cancel button.
    void keyPressEvent(QKeyEvent *event) override;

private:
    std::unique_ptr<Ui::Tform_Dialog> ui;
    QString formTitle_;
    bool readOnly_ = false;
};

} // namespace morvane
