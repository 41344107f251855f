#include "Naim_e.h"

#include "Spr.h"
#include "data/key_generator.h"
#include "dialog_frame.h"
#include "ui/error_guard.h"
#include "ui/field_link.h"
#include "ui/user_interface.h"
#include "xbase/table.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {
namespace {

constexpr int kWidth = 620;
constexpr int kHeight = 103;

bool isEditing(const xbase::Table& t) {
    return t.state() == xbase::Table::State::Edit || t.state() == xbase::Table::State::Insert;
}

} // namespace

TEditNaimDlg::TEditNaimDlg(xbase::Table& dataSrc, bool adding, QWidget* parent)
    : QDialog(parent), FAdding(adding), DataSrc(dataSrc) {
    makeFixedDialog(*this, QStringLiteral("EditNaimDlg"), kWidth, kHeight);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    fillBackground(*Shape1, kPanelColour);
    QPalette frame = Shape1->palette();
    frame.setColor(QPalette::WindowText, Qt::gray);
    Shape1->setPalette(frame);
    Shape1->setGeometry(6, 6, kWidth - 12, 52);

    Label1 = new QLabel(QStringLiteral("Наименование"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(14, 10, 200, 16);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    QFont bold = Edit1->font();
    bold.setBold(true);
    Edit1->setFont(bold);
    Edit1->setGeometry(14, 28, kWidth - 28, 22);

    auto button = [this](const char* name, const QString& text, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setFlat(true);
        b->setGeometry(x, kHeight - 36, 110, 28);
        return b;
    };
    OkBtn = button("OkBtn", QStringLiteral("Записать"), kWidth - 236);
    CancelBtn = button("CancelBtn", QStringLiteral("Отменить"), kWidth - 120);
    OkBtn->setDefault(true);
    connect(OkBtn, &QPushButton::clicked, this, ui::guarded([this](bool) { OKBtnClick(); }));
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    new ui::FieldLink(*Edit1, DataSrc, kNameField);
    Edit1->setFocus();
}

void TEditNaimDlg::OKBtnClick() {
    setResult(0);
    OkBtn->setFocus();
    if (Edit1->text().isEmpty()) {
        ui::userInterface().message(kEmptyNameText, kWarningCaption, QMessageBox::Critical);
        Edit1->setFocus();
        return;
    }
    if (FAdding || DataSrc.integer(kIdField) <= 0)
        DataSrc.setInteger(kIdField, data::NextKeyForTable(DataSrc));
    QString name = DataSrc.text(kNameField);
    name.replace(QLatin1Char('\''), QLatin1Char('"'));
    DataSrc.setText(kNameField, name);
    DataSrc.post();
    accept();
}

bool EditSprName(xbase::Table& list, xbase::Table&, bool adding, const QString& title) {
    try {
        if (adding)
            list.append();
        else
            list.edit();
    } catch (const std::exception&) {
        // A row that cannot be started is no news; one held by another user is.
        if (!adding)
            ui::userInterface().message(kRecordBusyText, kWarningCaption, QMessageBox::Critical);
        return false;
    }
    TEditNaimDlg editor(list, adding);
    editor.setWindowTitle(
        title + (adding ? QStringLiteral(" (добавление)") : QStringLiteral(" (редактирование)")));
    const bool stored = ui::userInterface().execDialog(editor) == QDialog::Accepted;
    if (isEditing(list))
        list.cancel();
    return stored;
}

} // namespace dialogs
