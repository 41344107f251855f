#include "field_codec.h"

#include "codepage.h"
#include "error.h"

#include <QDir>
#include <cmath>

namespace xbase {
namespace {

// Optional sign, digits, optional '.' and digits; leading blanks already gone.
bool isNumberText(QByteArrayView t) {
    qsizetype i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        ++i;
    bool digits = false;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
        ++i;
        digits = true;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') {
            ++i;
            digits = true;
        }
    }
    return digits && i == t.size();
}

QByteArrayView trimmed(QByteArrayView raw) {
    qsizetype b = 0;
    qsizetype e = raw.size();
    while (b < e && (raw[b] == ' ' || raw[b] == '\0'))
        ++b;
    while (e > b && (raw[e - 1] == ' ' || raw[e - 1] == '\0'))
        --e;
    return raw.sliced(b, e - b);
}

void put(QByteArray& record, const FieldDef& field, QByteArrayView bytes) {
    char* p = record.data() + field.offset;
    std::fill(p, p + field.length, ' ');
    std::copy(bytes.begin(), bytes.end(), p);
}

[[noreturn]] void doesNotFit(const FieldDef& field, const QString& value, const QString& table) {
    throw Error(QStringLiteral("%1: значение %2 не помещается в поле %3 (ширина %4)")
                    .arg(QDir::toNativeSeparators(table), value, field.name)
                    .arg(field.length));
}

void putNumberText(const FieldDef& field, QByteArray& record, const QByteArray& text,
                   const QString& table) {
    if (text.size() > field.length)
        doesNotFit(field, QString::fromLatin1(text), table);
    put(record, field, QByteArray(field.length - text.size(), ' ') + text);
}

} // namespace

QByteArrayView fieldBytes(const QByteArray& record, const FieldDef& field) {
    return QByteArrayView(record).sliced(field.offset, field.length);
}

std::optional<double> decodeNumber(QByteArrayView raw) {
    const QByteArrayView t = trimmed(raw);
    if (t.isEmpty() || !isNumberText(t))
        return std::nullopt;
    bool ok = false;
    const double v = QByteArray(t.data(), t.size()).toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QDate decodeDate(QByteArrayView raw) {
    if (raw.size() != 8)
        return {};
    int v[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    qsizetype pos = 0;
    for (int part = 0; part < 3; ++part) {
        for (int i = 0; i < widths[part]; ++i, ++pos) {
            const char c = raw[pos];
            if (c < '0' || c > '9')
                return {};
            v[part] = v[part] * 10 + (c - '0');
        }
    }
    return QDate(v[0], v[1], v[2]);
}

QString decodeText(const FieldDef& field, QByteArrayView raw, bool translate) {
    switch (field.type) {
    case FieldType::Character:
    case FieldType::Memo: {
        qsizetype e = raw.size();
        while (e > 0 && (raw[e - 1] == ' ' || raw[e - 1] == '\0'))
            --e;
        const QByteArrayView t = raw.first(e);
        return translate ? fromOem(t) : fromLatin1Bytes(t);
    }
    case FieldType::Numeric:
    case FieldType::Float: {
        const QByteArrayView t = trimmed(raw);
        return isNumberText(t) ? QString::fromLatin1(t) : QString();
    }
    case FieldType::Date: {
        const QDate d = decodeDate(raw);
        return d.isValid() ? d.toString(QStringLiteral("yyyyMMdd")) : QString();
    }
    case FieldType::Logical: {
        const char c = raw.isEmpty() ? ' ' : raw[0];
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
            return QStringLiteral("T");
        if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
            return QStringLiteral("F");
        return {};
    }
    }
    return {};
}

void encodeBlank(const FieldDef& field, QByteArray& record) {
    put(record, field, {});
}

void encodeText(const FieldDef& field, QByteArray& record, const QString& text, bool translate,
                const QString& table) {
    switch (field.type) {
    case FieldType::Character:
    case FieldType::Memo: {
        const QByteArray bytes = translate ? toOem(text) : toLatin1Bytes(text);
        put(record, field,
            QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), field.length)));
        return;
    }
    case FieldType::Numeric:
    case FieldType::Float: {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            encodeBlank(field, record);
            return;
        }
        const QByteArray latin = t.toLatin1();
        if (!isNumberText(latin))
            throw Error(QStringLiteral("%1: \"%2\" не является числом (поле %3)")
                            .arg(QDir::toNativeSeparators(table), text, field.name));
        encodeNumber(field, record, latin.toDouble(), table);
        return;
    }
    case FieldType::Date: {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            encodeBlank(field, record);
            return;
        }
        const QDate d = QDate::fromString(t, QStringLiteral("yyyyMMdd"));
        if (!d.isValid())
            throw Error(QStringLiteral("%1: \"%2\" не является датой ГГГГММДД (поле %3)")
                            .arg(QDir::toNativeSeparators(table), text, field.name));
        encodeDate(field, record, d, table);
        return;
    }
    case FieldType::Logical: {
        const QString t = text.trimmed().toUpper();
        if (t.isEmpty())
            put(record, field, " ");
        else if (t == QLatin1String("T") || t == QLatin1String("Y"))
            put(record, field, "T");
        else if (t == QLatin1String("F") || t == QLatin1String("N"))
            put(record, field, "F");
        else
            throw Error(QStringLiteral("%1: \"%2\" не является логическим значением (поле %3)")
                            .arg(QDir::toNativeSeparators(table), text, field.name));
        return;
    }
    }
}

void encodeInteger(const FieldDef& field, QByteArray& record, qint64 value, const QString& table) {
    if (!field.isNumeric())
        throw Error(QStringLiteral("%1: поле %2 не числовое")
                        .arg(QDir::toNativeSeparators(table), field.name));
    QByteArray text = QByteArray::number(value);
    if (field.decimals > 0)
        text += '.' + QByteArray(field.decimals, '0');
    putNumberText(field, record, text, table);
}

void encodeNumber(const FieldDef& field, QByteArray& record, double value, const QString& table) {
    if (!field.isNumeric())
        throw Error(QStringLiteral("%1: поле %2 не числовое")
                        .arg(QDir::toNativeSeparators(table), field.name));
    if (!std::isfinite(value))
        doesNotFit(field, QString::number(value), table);
    // Half away from zero, as dBASE rounds.
    const double scale = std::pow(10.0, field.decimals);
    const double rounded = std::round(value * scale) / scale;
    QByteArray text = QByteArray::number(rounded, 'f', field.decimals);
    if (text.startsWith("-") && rounded == 0.0)
        text.remove(0, 1);
    putNumberText(field, record, text, table);
}

void encodeDate(const FieldDef& field, QByteArray& record, const QDate& date,
                const QString& table) {
    if (field.type != FieldType::Date)
        throw Error(QStringLiteral("%1: поле %2 не является датой")
                        .arg(QDir::toNativeSeparators(table), field.name));
    if (!date.isValid()) {
        encodeBlank(field, record);
        return;
    }
    if (date.year() < 1 || date.year() > 9999)
        doesNotFit(field, date.toString(Qt::ISODate), table);
    put(record, field, date.toString(QStringLiteral("yyyyMMdd")).toLatin1());
}

} // namespace xbase
