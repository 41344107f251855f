#pragma once

#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

namespace ui {

// Everything a user answers or sees outside the windows themselves goes through
// this seam: the program uses Qt's dialogs, tests script the answers and record
// what was shown.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A modal message box; returns the button the user pressed.
    virtual QMessageBox::StandardButton
    message(const QString& text, const QString& caption, QMessageBox::Icon icon,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;

    // The file name the user chose for saving, or an empty text when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                                 const QString& filter, const QString& defaultSuffix) = 0;

    // Runs a dialog modally; returns its result (QDialog::Accepted or Rejected).
    virtual int execDialog(QDialog& dialog) = 0;

    // The busy (hourglass) cursor; calls nest. Use BusyCursor rather than these.
    virtual void beginBusy() = 0;
    virtual void endBusy() = 0;
};

// The seam in use: Qt's dialogs unless a test installed its own.
UserInterface& userInterface();

// Installs `replacement` for the lifetime of this object (tests).
class ScopedUserInterface {
public:
    explicit ScopedUserInterface(UserInterface& replacement);
    ~ScopedUserInterface();
    ScopedUserInterface(const ScopedUserInterface&) = delete;
    ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;

private:
    UserInterface* m_previous;
};

// Shows the busy cursor from construction to destruction, also when the work in
// between throws.
class BusyCursor {
public:
    BusyCursor() { userInterface().beginBusy(); }
    ~BusyCursor() { userInterface().endBusy(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The application title: the caption of the general error box and of message
// boxes that have no caption of their own.
const QString& applicationTitle();
void setApplicationTitle(const QString& title);

} // namespace ui
