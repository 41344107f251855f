#pragma once

#include "dbf_format.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <optional>

namespace xbase {

// Field bytes <-> values, on a record image (byte 0 = deletion flag).

QByteArrayView fieldBytes(const QByteArray& record, const FieldDef& field);

// Text as the table layer gives it: a character field without trailing blanks, a
// number as its stored digits (blank or junk: empty), a date as YYYYMMDD (blank or
// impossible: empty), a logical as "T" or "F" (undefined: empty).
QString decodeText(const FieldDef& field, QByteArrayView raw, bool translate);
// The number stored in a numeric field; nothing for a blank or invalid field.
std::optional<double> decodeNumber(QByteArrayView raw);
// The date stored in a date field; a null date for a blank or impossible one.
QDate decodeDate(QByteArrayView raw);

// Writers. Each throws Error naming `table` and the field when the value cannot
// be stored; a text longer than a character field is cut to its width.
void encodeText(const FieldDef& field, QByteArray& record, const QString& text, bool translate,
                const QString& table);
void encodeInteger(const FieldDef& field, QByteArray& record, qint64 value, const QString& table);
void encodeNumber(const FieldDef& field, QByteArray& record, double value, const QString& table);
void encodeDate(const FieldDef& field, QByteArray& record, const QDate& date, const QString& table);
void encodeBlank(const FieldDef& field, QByteArray& record);

} // namespace xbase
