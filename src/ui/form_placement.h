#pragma once

#include <QString>
#include <map>
#include <optional>

class QWidget;

namespace ui {

// A window's placement in the configuration file: position and size of its normal
// state, its state (normal, maximised, minimised) when wanted, and a few named
// numbers of its own (a grid's height), in one section named after the window class.
class FormPlacement {
public:
    enum class KeepState { No, Yes };

    FormPlacement(const QString& iniPath, const QString& section, KeepState keepState);

    // Applies the saved placement to a window before it is shown; a window
    // without a saved placement keeps its own.
    void restore(QWidget& window) const;
    // A saved number of the window's own.
    std::optional<int> number(const QString& key) const;

    // Writes the placement of `window` and `numbers` into the file. Throws
    // xbase::Error when the file cannot be written.
    void save(const QWidget& window, const std::map<QString, int>& numbers) const;

private:
    QString m_iniPath;
    QByteArray m_section;
    KeepState m_keepState;
};

} // namespace ui
