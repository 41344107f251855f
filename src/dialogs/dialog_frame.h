#pragma once

#include <QColor>
#include <QDialog>

namespace dialogs {

// A fixed dialog with the system menu only, of the given client size.
inline void makeFixedDialog(QDialog& dialog, const QString& name, int width, int height) {
    dialog.setObjectName(name);
    dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog.setFixedSize(width, height);
}

// The light grey behind the dialogs' panels.
inline const QColor kPanelColour(0xD7, 0xD7, 0xD7);

// Fills `widget` with `colour`.
inline void fillBackground(QWidget& widget, const QColor& colour) {
    widget.setAutoFillBackground(true);
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
}

} // namespace dialogs
