#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace ui {

// A Windows INI file read and written byte for byte.
//
// Values are raw bytes: the file mixes code pages (a title in the OEM code page,
// paths in the system's), so decoding is the caller's business. Section and key
// names are matched without regard to ASCII case; the first of several equal keys
// counts. Saving changes only the lines of the keys set; comments, unknown keys,
// line endings and every other byte stay as they were.
class IniFile {
public:
    // A missing or unreadable file reads as empty.
    explicit IniFile(const QString& path);

    // The value with blanks around it removed and one pair of enclosing quotes
    // dropped, as the Windows INI reader gives it; nothing when the key is absent.
    std::optional<QByteArray> value(const QByteArray& section, const QByteArray& key) const;
    QByteArray value(const QByteArray& section, const QByteArray& key,
                     const QByteArray& fallback) const;

    // Replaces the value of an existing key in place, or adds the key at the end of
    // its section (the section at the end of the file when it is new).
    void setValue(const QByteArray& section, const QByteArray& key, const QByteArray& value);

    // Writes the file through a temporary one that replaces it, so an interrupted
    // save leaves the old file. Throws xbase::Error naming the file.
    void save() const;

    const QByteArray& bytes() const { return m_bytes; }

private:
    struct Line {
        qsizetype start; // first byte of the line
        qsizetype end;   // first byte of the line terminator
        qsizetype next;  // first byte of the next line
    };
    struct Found {
        std::optional<Line> key;
        std::optional<Line> lastOfSection; // where a new key of the section goes
    };

    std::vector<Line> lines() const;
    Found find(const QByteArray& section, const QByteArray& key) const;
    QByteArray lineBreak() const;

    QString m_path;
    QByteArray m_bytes;
};

// Removes blanks and control characters at both ends, as the INI reader and the
// configuration routines do.
QByteArray trimBlanks(QByteArrayView bytes);

} // namespace ui
