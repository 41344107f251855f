#include "index_key.h"

#include "error.h"

#include <QtEndian>
#include <charconv>
#include <cmath>
#include <cstring>

namespace xbase {
namespace {

constexpr int kDigitBytes = 10;
constexpr unsigned char kZeroExponent = 0x34;
// Digit count written for integral values (10) and for fractional ones (20), as
// dBASE-written files carry them; readers ignore it.
constexpr unsigned char kIntegralCount = 0x29;
constexpr unsigned char kFractionalCount = 0x51;
constexpr unsigned char kNegative = 0x80;
// Blank dates sort last.
constexpr double kBlankDate = 1.0e100;

bool digitsAreZero(const char* key) {
    for (int i = 2; i < 2 + kDigitBytes; ++i) {
        if (key[i] != 0)
            return false;
    }
    return true;
}

double readDouble(const char* key) {
    const quint64 bits = qFromLittleEndian<quint64>(key);
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

} // namespace

QByteArray encodeNumericKey(double value) {
    if (!std::isfinite(value))
        throw Error(QStringLiteral("Число %1 нельзя записать в числовой ключ индекса").arg(value));
    QByteArray key(kNumericKeyLength, '\0');
    if (value == 0.0) {
        key[0] = static_cast<char>(kZeroExponent);
        key[1] = 0x01;
        return key;
    }
    // Shortest round-trip digits: "d.ddde±x".
    char text[64];
    const auto res =
        std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific);
    const char* e = std::find(text, res.ptr, 'e');
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), res.ptr, exponent);
    const int k = exponent + 1;
    if (kZeroExponent + k < 0 || kZeroExponent + k > 0xFF)
        throw Error(QStringLiteral("Число %1 нельзя записать в числовой ключ индекса").arg(value));
    key[0] = static_cast<char>(kZeroExponent + k);
    const bool integral = std::trunc(value) == value;
    unsigned char b1 = integral ? kIntegralCount : kFractionalCount;
    if (value < 0)
        b1 |= kNegative;
    key[1] = static_cast<char>(b1);
    int nibble = 0;
    for (const char* p = text; p < e && nibble < 2 * kDigitBytes; ++p) {
        if (*p < '0' || *p > '9')
            continue;
        const int d = *p - '0';
        auto& byte = reinterpret_cast<unsigned char&>(key[2 + nibble / 2]);
        byte = static_cast<unsigned char>(byte | (nibble % 2 == 0 ? d << 4 : d));
        ++nibble;
    }
    return key;
}

double decodeNumericKey(const char* key) {
    if (digitsAreZero(key))
        return 0.0;
    double mantissa = 0;
    double scale = 0.1;
    for (int i = 0; i < kDigitBytes; ++i) {
        const auto b = static_cast<unsigned char>(key[2 + i]);
        mantissa += (b >> 4) * scale;
        scale /= 10;
        mantissa += (b & 0x0F) * scale;
        scale /= 10;
    }
    const int k = static_cast<unsigned char>(key[0]) - kZeroExponent;
    // Through text, so 0.42 * 10^2 comes out as exactly 42.
    const double v = QByteArray::number(mantissa * std::pow(10.0, k), 'g', 17).toDouble();
    return (static_cast<unsigned char>(key[1]) & kNegative) ? -v : v;
}

int compareNumericKeys(const char* a, const char* b) {
    const auto sign = [](const char* k) {
        if (digitsAreZero(k))
            return 0;
        return (static_cast<unsigned char>(k[1]) & kNegative) ? -1 : 1;
    };
    const int sa = sign(a);
    const int sb = sign(b);
    if (sa != sb)
        return sa < sb ? -1 : 1;
    if (sa == 0)
        return 0;
    int c = static_cast<unsigned char>(a[0]) - static_cast<unsigned char>(b[0]);
    if (c == 0)
        c = std::memcmp(a + 2, b + 2, kDigitBytes);
    c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return sa < 0 ? -c : c;
}

QByteArray encodeDateKey(const QDate& date) {
    const double v = date.isValid() ? static_cast<double>(date.toJulianDay()) : kBlankDate;
    quint64 bits = 0;
    std::memcpy(&bits, &v, sizeof v);
    QByteArray key(kDateKeyLength, '\0');
    qToLittleEndian<quint64>(bits, key.data());
    return key;
}

QDate decodeDateKey(const char* key) {
    const double v = readDouble(key);
    if (!(v >= 1.0 && v < 1.0e8))
        return {};
    return QDate::fromJulianDay(static_cast<qint64>(v));
}

int compareDateKeys(const char* a, const char* b) {
    const double x = readDouble(a);
    const double y = readDouble(b);
    return x < y ? -1 : (y < x ? 1 : 0);
}

int compareKeys(KeyType type, const char* a, const char* b, int length) {
    switch (type) {
    case KeyType::Numeric:
        return compareNumericKeys(a, b);
    case KeyType::Date:
        return compareDateKeys(a, b);
    case KeyType::Character:
        break;
    }
    const int c = std::memcmp(a, b, static_cast<std::size_t>(length));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace xbase
