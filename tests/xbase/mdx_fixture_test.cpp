// An index file laid out byte by byte from the format's facts, the way another
// dBASE-compatible program writes it, and damaged copies of it.
#include "test_support.h"
#include "xbase/error.h"
#include "xbase/table.h"

#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

// Sizes in bytes (an item: 4 + a 12-byte numeric key), and the pages where the
// fixture puts its blocks.
enum : int {
    kPage = 512,
    kBlock = 1024,
    kItem = 16,
    kTagHeaderPage = 4,
    kLeftLeafPage = 6,
    kRightLeafPage = 8,
    kRootPage = 10
};

// Little-endian integers of the layout's widths.
template <typename T> void put(QByteArray& b, int at, T v) {
    qToLittleEndian<T>(v, b.data() + at);
}
void put32(QByteArray& b, int at, quint32 v) {
    put<quint32>(b, at, v);
}
void put16(QByteArray& b, int at, quint16 v) {
    put<quint16>(b, at, v);
}

// A numeric key with the significant-digit count some writers use (1 -> 35 05 10).
QByteArray bcd(int digit) {
    QByteArray k(12, '\0');
    k[0] = 0x35;
    k[1] = 0x05;
    k[2] = static_cast<char>(digit << 4);
    return k;
}

void putItem(QByteArray& b, int block, int i, quint32 pointer, const QByteArray& key) {
    const int at = block * kPage + 8 + i * kItem;
    put32(b, at, pointer);
    b.replace(at + 4, key.size(), key);
}

// Table FIX: ID N(6), NAME C(8); records 1..5 hold ID 9, 1, 5, 3, 7. Index FIX.MDX:
// one tag "ID" on the numeric field, a root (page 10) over two leaves (pages 6
// and 8); the root's key 6 lies between the leaves, as a key that was deleted
// can leave it.
QByteArray fixtureMdx() {
    QByteArray b(12 * kPage, '\0');
    // File header.
    b[0] = 2;
    b[1] = 124;
    b[2] = 1;
    b[3] = 31;
    b.replace(4, 3, "FIX");
    put16(b, 20, 2);
    put16(b, 22, kBlock);
    b[25] = 0x30;
    b[26] = 0x20;
    put16(b, 28, 1);
    b[31] = 0x1B;
    put32(b, 32, 12);
    b[529] = 0x01;
    // Tag table entry 0.
    put32(b, 544, kTagHeaderPage);
    b.replace(548, 2, "ID");
    b[559] = 0x10;
    b[563] = 0x02;
    b[564] = 'N';
    // Tag header.
    const int h = kTagHeaderPage * kPage;
    put32(b, h, kRootPage);
    put32(b, h + 4, 8);
    b[h + 8] = 0x10;
    b[h + 9] = 'N';
    put16(b, h + 12, 12);
    put16(b, h + 14, (kBlock - 12) / kItem);
    put16(b, h + 18, kItem);
    b.replace(h + 24, 2, "ID");
    // Leaves: (key, record number).
    put32(b, kLeftLeafPage * kPage, 3);
    putItem(b, kLeftLeafPage, 0, 2, bcd(1));
    putItem(b, kLeftLeafPage, 1, 4, bcd(3));
    putItem(b, kLeftLeafPage, 2, 3, bcd(5));
    put32(b, kRightLeafPage * kPage, 2);
    putItem(b, kRightLeafPage, 0, 5, bcd(7));
    putItem(b, kRightLeafPage, 1, 1, bcd(9));
    // Root: child 0 = left leaf under key 6, right-most child = right leaf.
    put32(b, kRootPage * kPage, 1);
    putItem(b, kRootPage, 0, kLeftLeafPage, bcd(6));
    put32(b, kRootPage * kPage + 8 + kItem, kRightLeafPage);
    return b;
}

class Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = createAndOpen(dir.path(), QStringLiteral("FIX.DBF"),
                               {FieldDef::numeric("ID", 6), FieldDef::character("NAME", 8)});
        for (int id : {9, 1, 5, 3, 7}) {
            t->append();
            t->setInteger(u"ID", id);
            t->setText(u"NAME", QStringLiteral("n%1").arg(id));
            t->post();
        }
    }

    void openWith(const QByteArray& mdx) {
        writeFile(dir.file(QStringLiteral("FIX.MDX")), mdx);
        table.setDirectory(dir.path());
        table.setTableName(QStringLiteral("FIX.DBF"));
        table.setIndexFiles({QStringLiteral("FIX.MDX")});
        table.setActiveTag(QStringLiteral("ID"));
        table.open();
    }

    QStringList ids() {
        QStringList out;
        for (table.first(); !table.eof(); table.next())
            out << table.text(u"ID");
        return out;
    }

    TempDir dir;
    Table table;
};

TEST_F(Fixture, AnIndexFileLaidOutByTheFormatIsReadAndKept) {
    openWith(fixtureMdx());
    EXPECT_EQ(table.tagNames(), QStringList{QStringLiteral("ID")});
    EXPECT_EQ(ids(), (QStringList{"1", "3", "5", "7", "9"}));
    ASSERT_TRUE(table.findKey(QStringLiteral("7")));
    EXPECT_EQ(table.recNo(), 5u);
    EXPECT_FALSE(table.findKey(QStringLiteral("6")));
    table.setRange(QStringLiteral("3"), QStringLiteral("7"));
    EXPECT_EQ(ids(), (QStringList{"3", "5", "7"}));
    table.cancelRange();

    // Keys added into both leaves, one of them through the right-most child.
    for (int id : {4, 10, 6}) {
        table.append();
        table.setInteger(u"ID", id);
        table.post();
    }
    EXPECT_EQ(ids(), (QStringList{"1", "3", "4", "5", "6", "7", "9", "10"}));
    table.close();
    table.open();
    EXPECT_EQ(ids(), (QStringList{"1", "3", "4", "5", "6", "7", "9", "10"}));
    // The untouched parts of the file are as they were.
    const QByteArray after = readFile(dir.file(QStringLiteral("FIX.MDX")));
    const QByteArray before = fixtureMdx();
    EXPECT_EQ(after.mid(0, 32), before.mid(0, 32));
    EXPECT_EQ(after.mid(544, 32), before.mid(544, 32));
    EXPECT_EQ(after.mid(kTagHeaderPage * kPage + 8, 12),
              before.mid(kTagHeaderPage * kPage + 8, 12));
    EXPECT_EQ(after[kTagHeaderPage * kPage + 20], 3); // one change per key added
}

struct Damage {
    const char* name;
    std::function<void(QByteArray&)> apply;
    const char* fault;
};

class DamagedFixture : public Fixture, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedFixture, GivesAClearErrorAndNeverHangs) {
    QByteArray mdx = fixtureMdx();
    GetParam().apply(mdx);
    try {
        openWith(mdx);
        ids();
        table.findKey(QStringLiteral("5"));
        table.append();
        table.setInteger(u"ID", 8);
        table.post();
        ids();
        FAIL() << "no error";
    } catch (const Error& e) {
        const QString m = e.message();
        EXPECT_TRUE(m.contains(QStringLiteral("FIX.MDX"))) << e.what();
        EXPECT_TRUE(m.contains(QString::fromUtf8(GetParam().fault))) << e.what();
    }
}

const int kHeader = kTagHeaderPage * kPage;

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFixture,
    ::testing::Values(
        Damage{"RootOutsideTheFile", [](QByteArray& b) { put32(b, kHeader, 500); },
               "за пределами файла"},
        Damage{"ChildInTheHeaderPages", [](QByteArray& b) { putItem(b, kRootPage, 0, 2, bcd(6)); },
               "за пределами файла"},
        Damage{"Cycle", [](QByteArray& b) { put32(b, kRootPage * kPage + 8 + kItem, kRootPage); },
               "цикл"},
        Damage{"SharedLeaf",
               [](QByteArray& b) { put32(b, kRootPage * kPage + 8 + kItem, kLeftLeafPage); },
               "не по порядку"},
        Damage{"KeysOutOfOrder", [](QByteArray& b) { putItem(b, kRightLeafPage, 0, 5, bcd(2)); },
               "не по порядку"},
        Damage{"KeyCountBeyondTheBlock",
               [](QByteArray& b) { put32(b, kLeftLeafPage * kPage, 100); }, "помещается не больше"},
        Damage{"KeyLengthBeyondTheBlock", [](QByteArray& b) { put16(b, kHeader + 12, 2000); },
               "неверные длины"},
        Damage{"ItemShorterThanTheKey", [](QByteArray& b) { put16(b, kHeader + 18, 8); },
               "неверные длины"},
        Damage{"MoreKeysPerBlockThanFit", [](QByteArray& b) { put16(b, kHeader + 14, 200); },
               "неверные длины"},
        Damage{"TagCountBeyondTheTable", [](QByteArray& b) { put16(b, 28, 60); }, "тегов"},
        Damage{"BlockSizeContradictsPages", [](QByteArray& b) { put16(b, 22, 2048); },
               "размер блока"},
        Damage{"TagHeaderOutsideTheFile", [](QByteArray& b) { put32(b, 544, 400); },
               "за пределы файла"},
        Damage{"UnknownKeyType", [](QByteArray& b) { b[kHeader + 9] = 'X'; }, "тип ключа"},
        Damage{"KeyTypeDisagrees", [](QByteArray& b) { b[564] = 'C'; }, "тип ключа"},
        Damage{"ExpressionNamesNoField",
               [](QByteArray& b) { b.replace(kHeader + 24, 3, "XX\0", 3); }, "нет поля XX"},
        Damage{"ExpressionOfAnotherType",
               [](QByteArray& b) { b.replace(kHeader + 24, 5, "NAME\0", 5); }, "не совпадают"},
        Damage{"ForCondition",
               [](QByteArray& b) {
                   b[kHeader + 245] = 1;
                   b.replace(kHeader + 762, 6, "ID > 3");
               },
               "FOR ID > 3"},
        Damage{"CutShort", [](QByteArray& b) { b.truncate(1000); }, "короче заголовка"},
        Damage{"LeafCutOff", [](QByteArray& b) { b.truncate(kRightLeafPage * kPage + 100); },
               "за пределами файла"}),
    [](const ::testing::TestParamInfo<Damage>& i) { return std::string(i.param.name); });

} // namespace
