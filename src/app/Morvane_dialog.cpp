#include "app/Morvane_dialog.h"

#include "text/Cp1252.h"

#include "ui_Morvane_dialog.h"

#include <QKeyEvent>

#include <algorithm>

namespace morvane {

namespace {

std::string toHeaderText(const QLineEdit *box)
{
    return Utf8ToCp1252(box->text().toStdString());
}

QString fromHeaderText(const std::string &text)
{
    return QString::fromStdString(Cp1252ToUtf8(text));
}

} // namespace

Tform_Dialog::Tform_Dialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::Tform_Dialog>())
{
    ui->setupUi(this);
    formTitle_ = windowTitle();
    // A fixed place on the screen, not centred over the main window.
    move(415, 154);
    // Labels grow to fit their text, should this font be wider than the one the dialog was laid
    // out for.
    for (QLabel *label : {ui->lblDescription, ui->Label2, ui->Label3, ui->Label4, ui->Label5})
        label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    // Neither button is the default one: Enter presses a button only while it has the focus.
    for (QPushButton *button : {ui->Button1, ui->Button2})
        button->setAutoDefault(false);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { done(kModalOk); });
    connect(ui->Button2, &QPushButton::clicked, this, [this] { done(kModalCancel); });
}

Tform_Dialog::~Tform_Dialog() = default;

HeaderTexts Tform_Dialog::Texts() const
{
    return {toHeaderText(ui->edDescription), toHeaderText(ui->edVersion), toHeaderText(ui->edPriorite),
            toHeaderText(ui->edAuthor), toHeaderText(ui->edCopyright)};
}

void Tform_Dialog::SetTexts(const HeaderTexts &texts)
{
    ui->edDescription->setText(fromHeaderText(texts.description));
    ui->edVersion->setText(fromHeaderText(texts.version));
    ui->edPriorite->setText(fromHeaderText(texts.priority));
    ui->edAuthor->setText(fromHeaderText(texts.author));
    ui->edCopyright->setText(fromHeaderText(texts.copyright));
}

void Tform_Dialog::ShowDamage(const QString &damage)
{
    setWindowTitle(damage.isEmpty() ? formTitle_
                                    : formTitle_ + QStringLiteral(" \u2014 archive damaged: ") + damage);
}

void Tform_Dialog::ShowReadOnly(const QString &title)
{
    for (QLineEdit *box : {ui->edDescription, ui->edVersion, ui->edPriorite, ui->edAuthor, ui->edCopyright})
        box->setReadOnly(true);
    setWindowTitle(title);
    readOnly_ = true;
}

void Tform_Dialog::reject()
{
    done(kModalCancel);
}

void Tform_Dialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        if (readOnly_)
            reject();
        else
            event->ignore();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        else
            event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace morvane
