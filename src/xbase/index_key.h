#pragma once

#include <QByteArray>
#include <QDate>
#include <cstdint>

namespace xbase {

// The three key forms of a dBASE IV index tag.
enum class KeyType : char {
    Character = 'C', // the expression's bytes in the stored code page, blank-padded
    Numeric = 'N',   // 12-byte packed decimal (see below)
    Date = 'D',      // 8-byte little-endian double: the Julian day number
};

constexpr int kNumericKeyLength = 12;
constexpr int kDateKeyLength = 8;

// Numeric keys: byte 0 = 0x34 + k, byte 1 = sign bit 0x80 | digit count << 2 | 0x01,
// bytes 2..11 = up to 20 decimal digits, two per byte, high nibble first; the value
// is 0.d1d2... * 10^k. Zero is 34 01 00... . Throws Error for a number whose
// exponent does not fit the byte (far outside any field's range).
QByteArray encodeNumericKey(double value);
double decodeNumericKey(const char* key);
// Numeric order, by sign, exponent and digits; the digit count is ignored so keys
// written by other programs compare alike.
int compareNumericKeys(const char* a, const char* b);

// Date keys. A null date sorts after every real date.
QByteArray encodeDateKey(const QDate& date);
QDate decodeDateKey(const char* key);
int compareDateKeys(const char* a, const char* b);

// Compares two keys of one tag: character keys byte by byte as unsigned bytes over
// `length` bytes, the others by value. <0, 0 or >0.
int compareKeys(KeyType type, const char* a, const char* b, int length);

} // namespace xbase
