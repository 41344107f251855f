#include "data/table_files.h"
#include "xbase/table.h"
#include "xbase/test_support.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

// NAME C5, ID N3: header 97 bytes, records of 9 bytes.
constexpr int kHeader = 97;
constexpr int kRecord = 9;

QByteArray threeRecords() {
    QByteArray b = buildHeader({FieldDef::character("NAME", 5), FieldDef::numeric("ID", 3)}, 3,
                               QDate(2024, 1, 31));
    b[28] = 1;    // production index
    b[29] = 0x57; // another code page
    b += QByteArray(" alpha  1") + QByteArray(" beta   2") + QByteArray(" gamma  3");
    b += '\x1A';
    return b;
}

struct RepairCase {
    const char* name;
    std::function<void(QByteArray&)> damage;
    int records; // whole records expected afterwards
};

void PrintTo(const RepairCase& c, std::ostream* os) {
    *os << c.name;
}

class Repair : public ::testing::TestWithParam<RepairCase> {};

TEST_P(Repair, LeavesAConsistentHeaderAndNoIndexFiles) {
    TempDir dir;
    QByteArray bytes = threeRecords();
    GetParam().damage(bytes);
    const QString path = dir.file(QStringLiteral("PODR3.DBF"));
    writeFile(path, bytes);
    writeFile(dir.file(QStringLiteral("PODR3.MDX")), "index");
    writeFile(dir.file(QStringLiteral("podr3.cdx")), "index");
    writeFile(dir.file(QStringLiteral("PODR.MDX")), "other table's index");

    // The table's name spelt in another case, as the program sometimes does.
    EXPECT_TRUE(data::RepairTableHeader(dir.file(QStringLiteral("PODR3.dbf"))));

    const QByteArray after = readFile(path);
    const int n = GetParam().records;
    EXPECT_EQ(after.size(), kHeader + n * kRecord + 1);
    EXPECT_EQ(after.back(), '\x1A');
    EXPECT_EQ(static_cast<uchar>(after[4]), n);
    EXPECT_EQ(after[28], 0);
    EXPECT_EQ(after[29], 0x26);
    EXPECT_EQ(after.mid(kHeader, n * kRecord), threeRecords().mid(kHeader, n * kRecord));
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("PODR3.MDX"))));
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("podr3.cdx"))));
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("PODR.MDX"))));

    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("PODR3.DBF"));
    EXPECT_NO_THROW(t.open());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Repair,
    ::testing::Values(RepairCase{"Consistent", [](QByteArray&) {}, 3},
                      RepairCase{"PartialRecord",
                                 [](QByteArray& b) {
                                     b.chop(1);
                                     b += " delt";
                                 },
                                 3},
                      RepairCase{"BytesAfterEndMark", [](QByteArray& b) { b += "garbage"; }, 3},
                      RepairCase{"MissingEndMark", [](QByteArray& b) { b.chop(1); }, 3},
                      RepairCase{"CountTooHigh", [](QByteArray& b) { b[4] = 90; }, 3},
                      RepairCase{"CountTooLow", [](QByteArray& b) { b[4] = 0; }, 3},
                      RepairCase{"LastRecordCut", [](QByteArray& b) { b.chop(4); }, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Repair, MissingTableIsFalseAndKeepsTheIndexFiles) {
    TempDir dir;
    writeFile(dir.file(QStringLiteral("PODR3.MDX")), "index");
    EXPECT_FALSE(data::RepairTableHeader(dir.file(QStringLiteral("PODR3.DBF"))));
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("PODR3.MDX"))));
}

TEST(Repair, TableInUseIsFalseAndUntouched) {
    TempDir dir;
    writeFile(dir.file(QStringLiteral("PODR3.DBF")), threeRecords() + "junk");
    writeFile(dir.file(QStringLiteral("PODR3.MDX")), "index");
    Table holder;
    holder.setDirectory(dir.path());
    holder.setTableName(QStringLiteral("PODR3.DBF"));
    holder.open();
    EXPECT_FALSE(data::RepairTableHeader(dir.file(QStringLiteral("PODR3.DBF"))));
    EXPECT_EQ(readFile(dir.file(QStringLiteral("PODR3.DBF"))), threeRecords() + "junk");
    EXPECT_TRUE(QFile::exists(dir.file(QStringLiteral("PODR3.MDX"))));
}

TEST(Repair, HeaderWithImpossibleLengthsIsNotRewritten) {
    TempDir dir;
    QByteArray bytes = threeRecords();
    bytes[10] = 0; // record length 0
    writeFile(dir.file(QStringLiteral("X.DBF")), bytes);
    writeFile(dir.file(QStringLiteral("X.MDX")), "index");
    EXPECT_TRUE(data::RepairTableHeader(dir.file(QStringLiteral("X.DBF"))));
    EXPECT_EQ(readFile(dir.file(QStringLiteral("X.DBF"))), bytes);
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("X.MDX"))));
}

TEST(Padding, PadsToTheWidthAndLeavesLongerTextAlone) {
    EXPECT_EQ(data::PadLeft(QStringLiteral("12"), 6), QStringLiteral("    12"));
    EXPECT_EQ(data::PadRight(QStringLiteral("1023"), 6), QStringLiteral("1023  "));
    EXPECT_EQ(data::PadLeft(QStringLiteral("1234567"), 6), QStringLiteral("1234567"));
    EXPECT_EQ(data::PadRight(QStringLiteral("Ёлкино"), 3), QStringLiteral("Ёлкино"));
    EXPECT_EQ(data::PadRight(QString(), 2), QStringLiteral("  "));
}

TEST(TableFilePath, AddsOneSeparator) {
#ifdef _WIN32
    EXPECT_EQ(data::TableFilePath(QStringLiteral("C:\\BASE"), QStringLiteral("PODR3.DBF")),
              QStringLiteral("C:\\BASE\\PODR3.DBF"));
    EXPECT_EQ(data::TableFilePath(QStringLiteral("C:\\BASE\\"), QStringLiteral("PODR3.DBF")),
              QStringLiteral("C:\\BASE\\PODR3.DBF"));
    EXPECT_EQ(data::TableFilePath(QStringLiteral("C:"), QStringLiteral("PODR3.DBF")),
              QStringLiteral("C:PODR3.DBF"));
    EXPECT_EQ(data::TableFilePath(QStringLiteral("D"), QStringLiteral("PODR3.DBF")),
              QStringLiteral("D:\\PODR3.DBF"));
#else
    EXPECT_EQ(data::TableFilePath(QStringLiteral("/base"), QStringLiteral("PODR3.DBF")),
              QStringLiteral("/base/PODR3.DBF"));
    EXPECT_EQ(data::TableFilePath(QStringLiteral("/base/"), QStringLiteral("PODR3.DBF")),
              QStringLiteral("/base/PODR3.DBF"));
#endif
    EXPECT_EQ(data::TableFilePath(QString(), QStringLiteral("PODR3.DBF")),
              QStringLiteral("PODR3.DBF"));
}

} // namespace
