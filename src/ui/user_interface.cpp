#include "user_interface.h"

#include "qt_user_interface.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>

namespace ui {
namespace {

UserInterface*& installed() {
    static UserInterface* current = nullptr;
    return current;
}

QString& title() {
    static QString value;
    return value;
}

} // namespace

UserInterface& userInterface() {
    static QtUserInterface qt;
    UserInterface* current = installed();
    return current ? *current : qt;
}

ScopedUserInterface::ScopedUserInterface(UserInterface& replacement) : m_previous(installed()) {
    installed() = &replacement;
}

ScopedUserInterface::~ScopedUserInterface() {
    installed() = m_previous;
}

const QString& applicationTitle() {
    return title();
}

void setApplicationTitle(const QString& value) {
    title() = value;
}

QMessageBox::StandardButton QtUserInterface::message(const QString& text, const QString& caption,
                                                     QMessageBox::Icon icon,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, caption.isEmpty() ? applicationTitle() : caption, text, buttons,
                    QApplication::activeWindow());
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    // A message box over the busy cursor must still show the arrow.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    if (busy)
        QApplication::restoreOverrideCursor();
    return pressed;
}

QString QtUserInterface::saveFileName(QWidget* parent, const QString& caption,
                                      const QString& fileName, const QString& filter,
                                      const QString& defaultSuffix) {
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

int QtUserInterface::execDialog(QDialog& dialog) {
    return dialog.exec();
}

void QtUserInterface::beginBusy() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUserInterface::endBusy() {
    QApplication::restoreOverrideCursor();
}

} // namespace ui
