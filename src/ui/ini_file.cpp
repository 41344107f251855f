#include "ini_file.h"

#include "xbase/error.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace ui {
namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool equalNames(QByteArrayView a, QByteArrayView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<QByteArray> sectionName(QByteArrayView line) {
    const QByteArray t = trimBlanks(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    return trimBlanks(QByteArrayView(t).sliced(1, (close < 0 ? t.size() : close) - 1));
}

// The key of a "key=value" line, or nothing for comments and other lines.
std::optional<QByteArray> keyName(QByteArrayView line) {
    const QByteArray t = trimBlanks(line);
    if (t.isEmpty() || t.startsWith(';'))
        return std::nullopt;
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return trimBlanks(line.first(eq));
}

} // namespace

QByteArray trimBlanks(QByteArrayView bytes) {
    qsizetype b = 0;
    qsizetype e = bytes.size();
    while (b < e && isBlank(bytes[b]))
        ++b;
    while (e > b && isBlank(bytes[e - 1]))
        --e;
    return bytes.sliced(b, e - b).toByteArray();
}

IniFile::IniFile(const QString& path) : m_path(path) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        m_bytes = file.readAll();
}

std::vector<IniFile::Line> IniFile::lines() const {
    std::vector<Line> out;
    qsizetype pos = 0;
    while (pos < m_bytes.size()) {
        qsizetype end = pos;
        while (end < m_bytes.size() && m_bytes[end] != '\n' && m_bytes[end] != '\r')
            ++end;
        qsizetype next = end;
        if (next < m_bytes.size() && m_bytes[next] == '\r')
            ++next;
        if (next < m_bytes.size() && m_bytes[next] == '\n')
            ++next;
        out.push_back({pos, end, next});
        pos = next;
    }
    return out;
}

IniFile::Found IniFile::find(const QByteArray& section, const QByteArray& key) const {
    Found found;
    bool inSection = false;
    const QByteArrayView all(m_bytes);
    for (const Line& line : lines()) {
        const QByteArrayView text = all.sliced(line.start, line.end - line.start);
        if (const auto name = sectionName(text)) {
            inSection = equalNames(*name, section);
            if (inSection)
                found.lastOfSection = line;
            continue;
        }
        if (!inSection)
            continue;
        if (!trimBlanks(text).isEmpty())
            found.lastOfSection = line;
        const auto k = keyName(text);
        if (k && !found.key && equalNames(*k, key))
            found.key = line;
    }
    return found;
}

std::optional<QByteArray> IniFile::value(const QByteArray& section, const QByteArray& key) const {
    const Found found = find(section, key);
    if (!found.key)
        return std::nullopt;
    const QByteArrayView line =
        QByteArrayView(m_bytes).sliced(found.key->start, found.key->end - found.key->start);
    QByteArray v = trimBlanks(line.sliced(line.indexOf('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

QByteArray IniFile::value(const QByteArray& section, const QByteArray& key,
                          const QByteArray& fallback) const {
    return value(section, key).value_or(fallback);
}

QByteArray IniFile::lineBreak() const {
    const qsizetype lf = m_bytes.indexOf('\n');
    if (lf >= 0 && (lf == 0 || m_bytes[lf - 1] != '\r'))
        return "\n";
    return "\r\n";
}

void IniFile::setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value) {
    const Found found = find(section, key);
    if (found.key) {
        const qsizetype eq = m_bytes.indexOf('=', found.key->start);
        m_bytes.replace(eq + 1, found.key->end - eq - 1, value);
        return;
    }
    const QByteArray br = lineBreak();
    const QByteArray entry = key + '=' + value + br;
    if (found.lastOfSection) {
        const Line& after = *found.lastOfSection;
        // The section's last line may be the file's last, without a terminator.
        if (after.end == after.next) {
            m_bytes.insert(after.end, br + entry.first(entry.size() - br.size()));
            return;
        }
        m_bytes.insert(after.next, entry);
        return;
    }
    if (!m_bytes.isEmpty() && !m_bytes.endsWith('\n') && !m_bytes.endsWith('\r'))
        m_bytes.append(br);
    m_bytes.append('[' + section + ']' + br + entry);
}

void IniFile::save() const {
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(m_bytes) != m_bytes.size() || !file.commit())
        throw xbase::Error(QStringLiteral("%1: не удалось записать файл настроек (%2)")
                               .arg(QDir::toNativeSeparators(m_path), file.errorString()));
}

} // namespace ui
