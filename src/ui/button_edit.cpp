#include "button_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace ui {
namespace {

constexpr int kButtonWidth = 19;

} // namespace

ButtonEdit::ButtonEdit(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    m_edit->setReadOnly(true);
    m_button->setText(QStringLiteral("…"));
    m_button->setFixedWidth(kButtonWidth);
    m_button->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_edit);
    connect(m_button, &QToolButton::clicked, this, &ButtonEdit::buttonClicked);
    m_edit->installEventFilter(this);
}

bool ButtonEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::MouseButtonDblClick)
        emit doubleClicked();
    return QWidget::eventFilter(watched, event);
}

} // namespace ui
