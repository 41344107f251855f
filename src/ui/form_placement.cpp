#include "form_placement.h"

#include "ini_file.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace ui {
namespace {

enum SavedState { Normal = 0, Minimized = 1, Maximized = 2 };

std::optional<int> readNumber(const IniFile& ini, const QByteArray& section, const QString& key) {
    const auto raw = ini.value(section, key.toLatin1());
    if (!raw)
        return std::nullopt;
    bool ok = false;
    const int v = raw->toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

// A placement saved on a screen that is gone would put the window out of reach.
bool onSomeScreen(const QRect& r) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(r))
            return true;
    }
    return false;
}

} // namespace

FormPlacement::FormPlacement(const QString& iniPath, const QString& section, KeepState keepState)
    : m_iniPath(iniPath), m_section(section.toLatin1()), m_keepState(keepState) {}

std::optional<int> FormPlacement::number(const QString& key) const {
    return readNumber(IniFile(m_iniPath), m_section, key);
}

void FormPlacement::restore(QWidget& window) const {
    const IniFile ini(m_iniPath);
    const auto left = readNumber(ini, m_section, QStringLiteral("Left"));
    const auto top = readNumber(ini, m_section, QStringLiteral("Top"));
    const auto width = readNumber(ini, m_section, QStringLiteral("Width"));
    const auto height = readNumber(ini, m_section, QStringLiteral("Height"));
    if (left && top && width && height && *width > 0 && *height > 0) {
        const QRect r(*left, *top, *width, *height);
        if (onSomeScreen(r))
            window.setGeometry(r);
        else
            window.resize(r.size());
    }
    if (m_keepState == KeepState::No)
        return;
    const auto state = readNumber(ini, m_section, QStringLiteral("State"));
    if (state == Maximized)
        window.setWindowState(Qt::WindowMaximized);
    else if (state == Minimized)
        window.setWindowState(Qt::WindowMinimized);
}

void FormPlacement::save(const QWidget& window, const std::map<QString, int>& numbers) const {
    IniFile ini(m_iniPath);
    const QRect r = window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    auto put = [&](const char* key, int v) { ini.setValue(m_section, key, QByteArray::number(v)); };
    put("Left", r.x());
    put("Top", r.y());
    put("Width", r.width());
    put("Height", r.height());
    if (m_keepState == KeepState::Yes) {
        const Qt::WindowStates s = window.windowState();
        put("State", s & Qt::WindowMinimized   ? Minimized
                     : s & Qt::WindowMaximized ? Maximized
                                               : Normal);
    }
    for (const auto& [key, value] : numbers)
        ini.setValue(m_section, key.toLatin1(), QByteArray::number(value));
    ini.save();
}

} // namespace ui
