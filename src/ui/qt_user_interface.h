#pragma once

#include "user_interface.h"

namespace ui {

// The seam over Qt's own dialogs and the application's override cursor.
class QtUserInterface : public UserInterface {
public:
    QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& fileName,
                         const QString& filter, const QString& defaultSuffix) override;
    int execDialog(QDialog& dialog) override;
    void beginBusy() override;
    void endBusy() override;
};

} // namespace ui
