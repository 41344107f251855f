#include "dbf_format.h"

#include "error.h"

#include <QDir>
#include <QtEndian>
#include <set>

namespace xbase {
namespace {

[[noreturn]] void damaged(const QString& path, const QString& what) {
    throw Error(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), what));
}

bool knownVersion(std::uint8_t v) {
    switch (v) {
    case 0x03: // dBASE III PLUS / IV without memo
    case 0x83: // with a dBASE III memo file
    case 0x8B: // with a dBASE IV memo file
    case 0x43: // dBASE IV SQL variants
    case 0x63:
        return true;
    default:
        return false;
    }
}

bool validType(char t) {
    switch (t) {
    case 'C':
    case 'N':
    case 'F':
    case 'D':
    case 'L':
    case 'M':
        return true;
    default:
        return false;
    }
}

bool validLength(FieldType type, int length, int decimals) {
    switch (type) {
    case FieldType::Character:
        return length >= 1 && length <= 254;
    case FieldType::Numeric:
    case FieldType::Float:
        return length >= 1 && length <= 20 && decimals >= 0 && decimals < length;
    case FieldType::Date:
        return length == 8;
    case FieldType::Logical:
        return length == 1;
    case FieldType::Memo:
        return length == 10;
    }
    return false;
}

QString typeName(FieldType t) {
    return QString(QChar::fromLatin1(static_cast<char>(t)));
}

} // namespace

FieldDef FieldDef::character(const QString& name, int length) {
    return FieldDef{name.toUpper(), FieldType::Character, length, 0, 0};
}

FieldDef FieldDef::numeric(const QString& name, int length, int decimals) {
    return FieldDef{name.toUpper(), FieldType::Numeric, length, decimals, 0};
}

FieldDef FieldDef::date(const QString& name) {
    return FieldDef{name.toUpper(), FieldType::Date, 8, 0, 0};
}

FieldDef FieldDef::logical(const QString& name) {
    return FieldDef{name.toUpper(), FieldType::Logical, 1, 0, 0};
}

std::uint32_t TableHeader::recordsInFile(std::int64_t fileSize, std::uint16_t headerLength,
                                         std::uint16_t recordLength) {
    if (recordLength == 0 || fileSize <= headerLength)
        return 0;
    const std::int64_t n = (fileSize - headerLength) / recordLength;
    return n > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<std::uint32_t>(n);
}

TableHeader parseHeader(const QByteArray& bytes, std::int64_t fileSize, const QString& path) {
    if (fileSize < kFileHeaderSize || bytes.size() < kFileHeaderSize)
        damaged(path, QStringLiteral("не является таблицей dBase: файл короче заголовка"));
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData());

    TableHeader h;
    h.version = b[0];
    if (!knownVersion(h.version))
        damaged(path, QStringLiteral("не является таблицей dBase III/IV (байт версии 0x%1)")
                          .arg(h.version, 2, 16, QLatin1Char('0')));
    if (b[15] == 0x01)
        damaged(path, QStringLiteral("таблица зашифрована, такие таблицы не поддерживаются"));
    h.lastUpdate = QDate(1900 + b[1], b[2], b[3]);
    h.headerRecordCount = qFromLittleEndian<quint32>(b + 4);
    h.headerLength = qFromLittleEndian<quint16>(b + 8);
    h.recordLength = qFromLittleEndian<quint16>(b + 10);
    h.productionIndex = b[28] != 0;
    h.languageDriver = b[29];

    if (h.headerLength < kFileHeaderSize + 1)
        damaged(path, QStringLiteral("неверная длина заголовка (%1 байт)").arg(h.headerLength));
    if (h.headerLength > fileSize)
        damaged(path, QStringLiteral("длина заголовка (%1 байт) больше размера файла (%2 байт)")
                          .arg(h.headerLength)
                          .arg(fileSize));
    if (h.recordLength < 2)
        damaged(path, QStringLiteral("неверная длина записи (%1 байт)").arg(h.recordLength));
    if (bytes.size() < h.headerLength)
        damaged(path, QStringLiteral("заголовок прочитан не полностью"));

    // Descriptors run until a 0x0D at a descriptor start; a header whose length
    // leaves no room for the terminator ends at its last whole descriptor, as
    // tolerant readers accept. The field lengths must then add up to the record
    // length, which catches a missing terminator followed by garbage.
    std::set<QString> names;
    int offset = 1;
    std::int64_t pos = kFileHeaderSize;
    for (; pos < h.headerLength; pos += kDescriptorSize) {
        if (b[pos] == kHeaderTerminator)
            break;
        if (pos + kDescriptorSize > h.headerLength)
            damaged(path, QStringLiteral("описание полей не завершено байтом 0x0D"));
        const auto* d = b + pos;
        QByteArray rawName(reinterpret_cast<const char*>(d), 11);
        const qsizetype nul = rawName.indexOf('\0');
        if (nul >= 0)
            rawName.truncate(nul);
        const QString name = QString::fromLatin1(rawName).trimmed().toUpper();
        const int index = static_cast<int>(h.fields.size()) + 1;
        if (name.isEmpty())
            damaged(path, QStringLiteral("поле %1 без имени: описание полей повреждено "
                                         "или не завершено байтом 0x0D")
                              .arg(index));
        const char t = static_cast<char>(d[11]);
        if (!validType(t))
            damaged(path, QStringLiteral("поле %1 имеет неизвестный тип '%2'")
                              .arg(name, QString::fromLatin1(QByteArray(1, t)).toHtmlEscaped()));
        FieldDef f{name, static_cast<FieldType>(t), d[16], d[17], offset};
        if (!validLength(f.type, f.length, f.decimals))
            damaged(path, QStringLiteral("поле %1 типа %2 имеет недопустимую длину %3.%4")
                              .arg(name, typeName(f.type))
                              .arg(f.length)
                              .arg(f.decimals));
        if (!names.insert(name).second)
            damaged(path, QStringLiteral("поле %1 описано дважды").arg(name));
        offset += f.length;
        h.fields.push_back(f);
    }
    if (h.fields.empty())
        damaged(path, QStringLiteral("в таблице нет ни одного поля"));
    if (offset != h.recordLength)
        damaged(path, QStringLiteral("длина записи в заголовке (%1 байт) не совпадает с "
                                     "суммой длин полей (%2 байт)")
                          .arg(h.recordLength)
                          .arg(offset));
    return h;
}

QByteArray headerDateAndCount(const QDate& date, std::uint32_t recordCount) {
    QByteArray out(7, '\0');
    auto* b = reinterpret_cast<uchar*>(out.data());
    if (date.isValid()) {
        b[0] = static_cast<uchar>(std::clamp(date.year() - 1900, 0, 255));
        b[1] = static_cast<uchar>(date.month());
        b[2] = static_cast<uchar>(date.day());
    }
    qToLittleEndian<quint32>(recordCount, b + 3);
    return out;
}

QByteArray buildHeader(const std::vector<FieldDef>& fields, std::uint32_t recordCount,
                       const QDate& date) {
    if (fields.empty())
        throw Error(QStringLiteral("в таблице должно быть хотя бы одно поле"));
    const std::int64_t headerLength =
        kFileHeaderSize + kDescriptorSize * static_cast<std::int64_t>(fields.size()) + 1;
    std::int64_t recordLength = 1;
    for (const FieldDef& f : fields) {
        const QByteArray name = f.name.toUpper().toLatin1();
        if (name.isEmpty() || name.size() > 10)
            throw Error(QStringLiteral("недопустимое имя поля \"%1\"").arg(f.name));
        if (!validLength(f.type, f.length, f.decimals))
            throw Error(QStringLiteral("поле %1 типа %2 не может иметь длину %3.%4")
                            .arg(f.name, typeName(f.type))
                            .arg(f.length)
                            .arg(f.decimals));
        recordLength += f.length;
    }
    if (headerLength > 0xFFFF || recordLength > 0xFFFF)
        throw Error(QStringLiteral("слишком много полей для таблицы dBase"));

    QByteArray h(static_cast<qsizetype>(headerLength), '\0');
    auto* b = reinterpret_cast<uchar*>(h.data());
    b[0] = 0x03;
    const QByteArray dc = headerDateAndCount(date, recordCount);
    std::copy(dc.begin(), dc.end(), h.begin() + 1);
    qToLittleEndian<quint16>(static_cast<quint16>(headerLength), b + 8);
    qToLittleEndian<quint16>(static_cast<quint16>(recordLength), b + 10);
    b[29] = kLanguageDriverCp866;
    std::int64_t pos = kFileHeaderSize;
    for (const FieldDef& f : fields) {
        const QByteArray name = f.name.toUpper().toLatin1();
        std::copy(name.begin(), name.end(), h.begin() + pos);
        b[pos + 11] = static_cast<uchar>(f.type);
        b[pos + 16] = static_cast<uchar>(f.length);
        b[pos + 17] = static_cast<uchar>(f.decimals);
        pos += kDescriptorSize;
    }
    b[pos] = kHeaderTerminator;
    return h;
}

} // namespace xbase
