#include "Bef_del.h"

#include "dialog_frame.h"
#include "ui/user_interface.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

namespace dialogs {
namespace {

const QString kCaption = QStringLiteral("Внимание !");
constexpr int kWidth = 375;
constexpr int kHeight = 122;
constexpr int kCaptionHeight = 22;

} // namespace

GradientCaption::GradientCaption(const QString& text, QWidget* parent)
    : QWidget(parent), m_text(text) {}

void GradientCaption::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QLinearGradient gradient(rect().topLeft(), rect().topRight());
    gradient.setColorAt(0, QColor(0x00, 0x00, 0x80));
    gradient.setColorAt(1, QColor(0x10, 0x84, 0xD0));
    painter.fillRect(rect(), gradient);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}

TBeforeDelDlg::TBeforeDelDlg(QWidget* parent) : QDialog(parent) {
    makeFixedDialog(*this, QStringLiteral("BeforeDelDlg"), kWidth, kHeight);
    setWindowTitle(kCaption);

    GC = new GradientCaption(kCaption, this);
    GC->setObjectName(QStringLiteral("GC"));
    GC->setGeometry(0, 0, kWidth, kCaptionHeight);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, kCaptionHeight + 6, kWidth - 16, 50);

    auto centredLabel = [this](const char* name, const QString& text, int y) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(12, y, kWidth - 24, 20);
        return label;
    };
    Label1 = centredLabel("Label1", QStringLiteral("Вы точно хотите удалить"), kCaptionHeight + 9);
    LabelName = centredLabel("LabelName", QString(), kCaptionHeight + 31);
    QFont bold = LabelName->font();
    bold.setBold(true);
    LabelName->setFont(bold);

    auto button = [this](const char* name, const QString& text, QStyle::StandardPixmap picture,
                         int x, int result) {
        auto* b = new QPushButton(style()->standardIcon(picture), text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(x, kHeight - 36, 90, 28);
        connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
        return b;
    };
    OKBtn = button("OKBtn", QStringLiteral("&Да"), QStyle::SP_DialogYesButton, 90, kYes);
    NoBtn = button("NoBtn", QStringLiteral("&Нет"), QStyle::SP_DialogNoButton, 195, kNo);
    OKBtn->setDefault(true);
    NoBtn->setFocus();
}

void TBeforeDelDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    NoBtn->setFocus();
}

void TBeforeDelDlg::closeEvent(QCloseEvent* event) {
    done(kClosed);
    event->accept();
}

void TBeforeDelDlg::reject() {
    done(kNo);
}

int AskBeforeDel(const QString& text) {
    TBeforeDelDlg dialog;
    dialog.LabelName->setText(text + QStringLiteral(" ?"));
    return ui::userInterface().execDialog(dialog);
}

} // namespace dialogs
