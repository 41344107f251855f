#include "codepage.h"

#include <array>

namespace xbase {
namespace {

// Upper half of code page 866: bytes 0x80..0xFF.
constexpr std::array<char16_t, 128> kOemHigh = {
    // 0x80: А..П
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B,
    0x041C, 0x041D, 0x041E, 0x041F,
    // 0x90: Р..Я
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B,
    0x042C, 0x042D, 0x042E, 0x042F,
    // 0xA0: а..п
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F,
    // 0xB0: shades and box drawing
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510,
    // 0xC0
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566,
    0x2560, 0x2550, 0x256C, 0x2567,
    // 0xD0
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588,
    0x2584, 0x258C, 0x2590, 0x2580,
    // 0xE0: р..я
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B,
    0x044C, 0x044D, 0x044E, 0x044F,
    // 0xF0: Ё ё Є є Ї ї Ў ў ° ∙ · √ № ¤ ■ no-break space
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A,
    0x2116, 0x00A4, 0x25A0, 0x00A0};

struct ReverseTable {
    // Direct lookup for the Cyrillic block U+0400..U+045F, search for the rest.
    std::array<unsigned char, 0x60> cyrillic{};

    constexpr ReverseTable() {
        for (int i = 0; i < 128; ++i) {
            const char16_t u = kOemHigh[i];
            if (u >= 0x0400 && u < 0x0460)
                cyrillic[u - 0x0400] = static_cast<unsigned char>(0x80 + i);
        }
    }
};
constexpr ReverseTable kReverse;

// A near equivalent for characters the code page lacks, or 0.
char nearEquivalent(char32_t u) {
    switch (u) {
    case 0x00AB: // «
    case 0x00BB: // »
    case 0x201C: // “
    case 0x201D: // ”
    case 0x201E: // „
    case 0x201F:
        return '"';
    case 0x2018: // ‘
    case 0x2019: // ’
    case 0x201A: // ‚
    case 0x201B:
    case 0x00B4: // ´
        return '\'';
    case 0x2010: // hyphens and dashes
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212: // minus sign
        return '-';
    case 0x2026: // …
        return '.';
    case 0x2002: // spaces of other widths
    case 0x2003:
    case 0x2009:
    case 0x202F:
        return ' ';
    default:
        return 0;
    }
}

unsigned char oemByte(char32_t u) {
    if (u < 0x80)
        return static_cast<unsigned char>(u);
    if (u >= 0x0400 && u < 0x0460) {
        const unsigned char b = kReverse.cyrillic[u - 0x0400];
        if (b != 0)
            return b;
    }
    for (int i = 0; i < 128; ++i) {
        if (kOemHigh[i] == u)
            return static_cast<unsigned char>(0x80 + i);
    }
    if (const char c = nearEquivalent(u))
        return static_cast<unsigned char>(c);
    // A letter with a diacritic: keep the base letter when that is ASCII.
    if (u <= 0xFFFF) {
        const QString decomposed = QChar(static_cast<char16_t>(u)).decomposition();
        if (!decomposed.isEmpty() && decomposed.at(0).unicode() < 0x80)
            return static_cast<unsigned char>(decomposed.at(0).unicode());
    }
    return '?';
}

} // namespace

QByteArray toOem(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            u = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        out.append(static_cast<char>(oemByte(u)));
    }
    return out;
}

QString fromOem(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        d[i] = b < 0x80 ? QChar(b) : QChar(kOemHigh[b - 0x80]);
    }
    return out;
}

QByteArray toLatin1Bytes(QStringView text) {
    return text.toLatin1();
}

QString fromLatin1Bytes(QByteArrayView bytes) {
    return QString::fromLatin1(bytes);
}

} // namespace xbase
