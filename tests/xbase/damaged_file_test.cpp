#include "test_support.h"
#include "xbase/error.h"
#include "xbase/table.h"

#include <functional>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

// Two fields (NAME C5, ID N3): header 32 + 2*32 + 1 = 97 bytes, records of 9 bytes.
constexpr int kHeader = 97;
constexpr int kRecord = 9;

QByteArray validTable() {
    QByteArray h = buildHeader({FieldDef::character("NAME", 5), FieldDef::numeric("ID", 3)}, 3,
                               QDate(2024, 1, 31));
    h += QByteArray(" alpha  1") + QByteArray("*beta   2") + QByteArray(" gamma  3");
    h += '\x1A';
    return h;
}

QStringList readNames(Table& t) {
    QStringList names;
    for (t.first(); !t.eof(); t.next())
        names << t.text(u"NAME");
    return names;
}

struct Damage {
    const char* name;
    std::function<void(QByteArray&)> apply;
    const char* messagePart; // expected in the error; nullptr: opens

    friend void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }
};

class DamagedFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFile, GivesAClearErrorOrReadsWhatIsThere) {
    TempDir dir;
    QByteArray bytes = validTable();
    GetParam().apply(bytes);
    const QString path = dir.file(QStringLiteral("BAD.DBF"));
    writeFile(path, bytes);

    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("BAD.DBF"));
    if (GetParam().messagePart) {
        try {
            t.open();
            FAIL() << "opened a damaged file";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("BAD.DBF"))) << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(GetParam().messagePart)))
                << e.what();
        }
        EXPECT_FALSE(t.isOpen());
    } else {
        t.open();
        EXPECT_EQ(readNames(t), QStringList({"alpha", "gamma"}));
    }
    EXPECT_EQ(readFile(path), bytes) << "opening must not write";
}

const Damage kDamages[] = {
    {"NotADbf",
     [](QByteArray& b) {
         b = "name;id\r\nalpha;1\r\nbeta;2\r\n"
             "gamma;3 and some more text to pass 32 bytes";
     },
     "не является таблицей dBase III/IV"},
    {"ShorterThanHeader", [](QByteArray& b) { b.truncate(20); }, "короче заголовка"},
    {"EmptyFile", [](QByteArray& b) { b.clear(); }, "короче заголовка"},
    {"HeaderLengthBeyondFile",
     [](QByteArray& b) {
         b[8] = '\xFF';
         b[9] = '\x7F';
     },
     "больше размера файла"},
    {"HeaderLengthTooSmall",
     [](QByteArray& b) {
         b[8] = 10;
         b[9] = 0;
     },
     "неверная длина заголовка"},
    {"RecordLengthDisagrees", [](QByteArray& b) { b[10] = 12; }, "не совпадает с суммой"},
    {"RecordLengthZero", [](QByteArray& b) { b[10] = 0; }, "неверная длина записи"},
    {"NoTerminator", [](QByteArray& b) { b[kHeader - 1] = 'X'; }, "не завершено байтом 0x0D"},
    {"UnknownFieldType", [](QByteArray& b) { b[32 + 32 + 11] = 'Q'; }, "неизвестный тип"},
    {"ImpossibleDateWidth", [](QByteArray& b) { b[32 + 32 + 11] = 'D'; }, "недопустимую длину"},
    {"Encrypted", [](QByteArray& b) { b[15] = 1; }, "зашифрована"},
    {"Dbase7", [](QByteArray& b) { b[0] = 4; }, "байт версии 0x04"},
    // Tolerated as other readers do: the file's size says how many whole records
    // there are; a partial record, a missing end mark or stray bytes are ignored.
    {"CountTooHigh", [](QByteArray& b) { b[4] = 100; }, nullptr},
    {"CountTooLow", [](QByteArray& b) { b[4] = 1; }, nullptr},
    {"TruncatedLastRecord",
     [](QByteArray& b) {
         b.append(" delt");
         b.remove(kHeader + 3 * kRecord, 1);
     },
     nullptr},
    {"NoEndMark", [](QByteArray& b) { b.chop(1); }, nullptr},
    {"BytesAfterEndMark", [](QByteArray& b) { b.append("garbage"); }, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedFile, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedFile, AppendAfterAPartialRecordReplacesIt) {
    TempDir dir;
    QByteArray bytes = validTable();
    bytes.chop(1);
    bytes.append(" part"); // half a record, no end mark
    writeFile(dir.file(QStringLiteral("T.DBF")), bytes);
    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("T.DBF"));
    t.open();
    t.append();
    t.setText(u"NAME", QStringLiteral("delta"));
    t.post();
    EXPECT_EQ(readNames(t), QStringList({"alpha", "gamma", "delta"}));
    const QByteArray after = readFile(t.filePath());
    EXPECT_EQ(after.size(), kHeader + 4 * kRecord + 1);
    EXPECT_EQ(static_cast<uchar>(after[4]), 4);
}

} // namespace
