#include "scripted_user_interface.h"

#include <QDialog>

namespace ui {

QMessageBox::StandardButton
ScriptedUserInterface::message(const QString& text, const QString& caption, QMessageBox::Icon icon,
                               QMessageBox::StandardButtons buttons,
                               QMessageBox::StandardButton defaultButton) {
    m_messages.push_back(
        {text, caption.isEmpty() ? applicationTitle() : caption, icon, buttons, defaultButton});
    if (!m_answers.empty()) {
        const QMessageBox::StandardButton pressed = m_answers.front();
        m_answers.pop_front();
        return pressed;
    }
    return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
}

QString ScriptedUserInterface::saveFileName(QWidget*, const QString& caption,
                                            const QString& fileName, const QString& filter,
                                            const QString&) {
    m_saveRequests.push_back({caption, fileName, filter});
    if (m_saveAnswers.empty())
        return {};
    QString path = m_saveAnswers.front();
    m_saveAnswers.pop_front();
    return path;
}

int ScriptedUserInterface::execDialog(QDialog& dialog) {
    ++m_dialogsShown;
    if (m_dialogScripts.empty())
        return QDialog::Rejected;
    const DialogScript script = std::move(m_dialogScripts.front());
    m_dialogScripts.pop_front();
    return script(dialog);
}

void ScriptedUserInterface::beginBusy() {
    ++m_busyDepth;
    ++m_busyCount;
}

void ScriptedUserInterface::endBusy() {
    --m_busyDepth;
}

} // namespace ui
