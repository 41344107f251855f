#pragma once

#include "user_interface.h"

#include <deque>
#include <functional>
#include <vector>

namespace ui {

// The seam for tests: answers come from queues filled in advance, and everything
// shown is recorded.
//
// An unscripted message box is answered with its default button (OK when it has
// none), an unscripted save dialog is cancelled, an unscripted modal dialog is
// rejected.
class ScriptedUserInterface : public UserInterface {
public:
    struct Message {
        QString text;
        QString caption;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
    };
    struct SaveRequest {
        QString caption;
        QString fileName;
        QString filter;
    };
    using DialogScript = std::function<int(QDialog&)>;

    void answer(QMessageBox::StandardButton button) { m_answers.push_back(button); }
    void answerSave(const QString& path) { m_saveAnswers.push_back(path); }
    void answerDialog(DialogScript script) { m_dialogScripts.push_back(std::move(script)); }

    const std::vector<Message>& messages() const { return m_messages; }
    const std::vector<SaveRequest>& saveRequests() const { return m_saveRequests; }
    int dialogsShown() const { return m_dialogsShown; }
    // How deep the busy cursor is nested now, and how often it was shown.
    int busyDepth() const { return m_busyDepth; }
    int busyCount() const { return m_busyCount; }

    QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                         const QString& filter, const QString& defaultSuffix) override;
    int execDialog(QDialog& dialog) override;
    void beginBusy() override;
    void endBusy() override;

private:
    std::deque<QMessageBox::StandardButton> m_answers;
    std::deque<QString> m_saveAnswers;
    std::deque<DialogScript> m_dialogScripts;
    std::vector<Message> m_messages;
    std::vector<SaveRequest> m_saveRequests;
    int m_dialogsShown = 0;
    int m_busyDepth = 0;
    int m_busyCount = 0;
};

} // namespace ui
