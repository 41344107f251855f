#include "error_guard.h"

#include "user_interface.h"

#include <QMessageBox>

namespace ui {

void showError(const QString& text) {
    userInterface().message(text, applicationTitle(), QMessageBox::Critical, QMessageBox::Ok,
                            QMessageBox::Ok);
}

QString currentErrorText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Неизвестная ошибка");
    }
}

bool guard(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (...) {
        const QString text = currentErrorText();
        try {
            showError(text);
        } catch (...) {
            // Nothing is left to show the failure with; the window goes on.
        }
        return false;
    }
}

} // namespace ui
