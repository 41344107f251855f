#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace ui {

// A read-only text box with one small button at its right end. A click on the
// button or a double click in the box asks for a new value (the owner opens a
// picker); the text itself cannot be typed.
class ButtonEdit : public QWidget {
    Q_OBJECT

public:
    explicit ButtonEdit(QWidget* parent = nullptr);

    QLineEdit& lineEdit() const { return *m_edit; }

signals:
    void buttonClicked();
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
    QToolButton* m_button;
};

} // namespace ui
