#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <cstdint>
#include <vector>

namespace xbase {

enum class FieldType : char {
    Character = 'C',
    Numeric = 'N',
    Float = 'F',
    Date = 'D',
    Logical = 'L',
    Memo = 'M',
};

struct FieldDef {
    QString name; // upper case, at most 10 characters
    FieldType type = FieldType::Character;
    int length = 1;
    int decimals = 0;
    int offset = 0; // within the record; byte 0 is the deletion flag

    static FieldDef character(const QString& name, int length);
    static FieldDef numeric(const QString& name, int length, int decimals = 0);
    static FieldDef date(const QString& name);
    static FieldDef logical(const QString& name);

    bool isNumeric() const { return type == FieldType::Numeric || type == FieldType::Float; }
};

// The facts of a table file's header, checked against the file's size.
struct TableHeader {
    std::uint8_t version = 0x03;
    std::uint32_t headerRecordCount = 0; // as stored; advisory
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
    std::uint8_t languageDriver = 0x26;
    bool productionIndex = false;
    QDate lastUpdate;
    std::vector<FieldDef> fields;

    // Records that the file really holds: whole records after the header.
    static std::uint32_t recordsInFile(std::int64_t fileSize, std::uint16_t headerLength,
                                       std::uint16_t recordLength);
};

constexpr std::int64_t kFileHeaderSize = 32;
constexpr std::int64_t kDescriptorSize = 32;
constexpr char kHeaderTerminator = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr char kLiveFlag = ' ';
constexpr char kDeletedFlag = '*';
constexpr std::uint8_t kLanguageDriverCp866 = 0x26;

// Parses the header bytes (at least headerLength of them, or the whole file when
// shorter). Throws Error naming `path` and the fault.
TableHeader parseHeader(const QByteArray& bytes, std::int64_t fileSize, const QString& path);

// The header of a new table: version 0x03, cp866, no production index.
// Throws Error for field lists a dBASE table cannot hold.
QByteArray buildHeader(const std::vector<FieldDef>& fields, std::uint32_t recordCount,
                       const QDate& date);

// Bytes 1..3 (date) and 4..7 (count) of the file header.
QByteArray headerDateAndCount(const QDate& date, std::uint32_t recordCount);

} // namespace xbase
