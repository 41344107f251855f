#include "test_support.h"
#include "xbase/error.h"
#include "xbase/mdx_file.h"
#include "xbase/table.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <functional>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

const QString kOgrn = QStringLiteral("1023301234567");
const QString kPodr3Key = QStringLiteral("Substr(OGRN,1,15)+Str(MPCOD,6,0)+Str(PRVS_ID,2,0)");

std::vector<FieldDef> podr3Fields() {
    return {FieldDef::character("OGRN", 15), FieldDef::character("CODE_MO", 6),
            FieldDef::numeric("MPCOD", 9), FieldDef::numeric("PRVS_ID", 4),
            FieldDef::character("NAME", 20)};
}

void appendRow(Table& t, const QString& ogrn, int mpcod, int prvs, const QString& name = {}) {
    t.append();
    t.setText(u"OGRN", ogrn);
    t.setInteger(u"MPCOD", mpcod);
    t.setInteger(u"PRVS_ID", prvs);
    t.setText(u"NAME", name);
    t.post();
}

// Walks the cursor from first() to eof and lists `field` of every record.
QStringList walk(Table& t, const char16_t* field) {
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.text(field);
    return out;
}

QStringList walkBack(Table& t, const char16_t* field) {
    QStringList out;
    for (t.last(); !t.bof(); t.prior())
        out << t.text(field);
    return out;
}

QString padRight(const QString& s, int n) {
    return s.leftJustified(n, QLatin1Char(' '));
}
QString padLeft(const QString& s, int n) {
    return s.rightJustified(n, QLatin1Char(' '));
}

class IndexTable : public ::testing::Test {
protected:
    void SetUp() override {
        t = createAndOpen(dir.path(), QStringLiteral("PODR3.DBF"), podr3Fields());
    }

    // PODR3 with its index file listed and tag selected, as the subdivision editor
    // sets it up.
    void indexPodr3() {
        t->createIndex(QStringLiteral("PODR3.MDX"), QStringLiteral("OGRN_MPCOD"), kPodr3Key);
        t->setIndexFiles({QStringLiteral("podr3.mdx")});
        t->setActiveTag(QStringLiteral("OGRN_MPCOD"));
    }

    TempDir dir;
    std::unique_ptr<Table> t;
};

TEST_F(IndexTable, RangeOfOneSubdivisionNeverTakesALongerCodeAndComesInCareTypeOrder) {
    const int rows[][2] = {{123, 11}, {12, 73}, {1, 11},  {12, 11}, {123, 12},
                           {12, 31},  {12, 5},  {124, 1}, {12, 11}, {1200, 11}};
    for (const auto& r : rows)
        appendRow(*t, kOgrn, r[0], r[1]);
    appendRow(*t, QStringLiteral("1111111111111"), 12, 40); // another organisation
    indexPodr3();
    EXPECT_EQ(t->tagNames(), QStringList{QStringLiteral("OGRN_MPCOD")});

    const QString low = padRight(kOgrn, 15) + padLeft(QStringLiteral("12"), 6);
    t->setRange(low, low + QChar(0xFF));
    const QStringList prvs = {"5", "11", "11", "31", "73"};
    EXPECT_EQ(walk(*t, u"MPCOD"), QStringList(5, QStringLiteral("12")));
    EXPECT_EQ(walk(*t, u"PRVS_ID"), prvs);
    QStringList back = prvs;
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(walkBack(*t, u"PRVS_ID"), back);
    EXPECT_EQ(t->visibleRecords().size(), 5u);

    // Appends inside and outside the range keep it right.
    appendRow(*t, kOgrn, 12, 1);
    appendRow(*t, kOgrn, 123, 1);
    EXPECT_EQ(walk(*t, u"PRVS_ID"), (QStringList{"1", "5", "11", "11", "31", "73"}));

    t->cancelRange();
    EXPECT_EQ(walk(*t, u"MPCOD").size(), 13);
}

TEST_F(IndexTable, MissingIndexFileMakesOpenFailAndLeavesTheTableClosed) {
    t->close();
    t->setIndexFiles({QStringLiteral("NOPE.MDX")});
    try {
        t->open();
        FAIL() << "opened";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("NOPE.MDX"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("не найден"))) << e.what();
    }
    EXPECT_FALSE(t->isOpen());
}

TEST_F(IndexTable, MissingIndexFileWhileOpenChangesNothing) {
    appendRow(*t, kOgrn, 2, 1);
    appendRow(*t, kOgrn, 1, 1);
    indexPodr3();
    EXPECT_THROW(t->setIndexFiles({QStringLiteral("PODR3.MDX"), QStringLiteral("NOPE.MDX")}),
                 Error);
    EXPECT_EQ(t->indexFiles(), QStringList{QStringLiteral("podr3.mdx")});
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"1", "2"}));
}

TEST_F(IndexTable, TagNameTakesEffectOnlyWhenItNamesATagOfAListedFile) {
    appendRow(*t, kOgrn, 2, 1);
    appendRow(*t, kOgrn, 1, 1);
    t->createIndex(QStringLiteral("PODR3.MDX"), QStringLiteral("OGRN_MPCOD"), kPodr3Key);
    // Not listed: file order, the range and the search do nothing.
    t->setActiveTag(QStringLiteral("ogrn_mpcod"));
    EXPECT_EQ(t->activeTag(), QStringLiteral("ogrn_mpcod"));
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"2", "1"}));
    t->setRange(QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"2", "1"}));
    EXPECT_FALSE(t->findKey(QStringLiteral("x")));

    t->setIndexFiles({QStringLiteral("PODR3.MDX")});
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"1", "2"}));
    t->setActiveTag(QStringLiteral("NO_SUCH"));
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"2", "1"}));

    // Given while closed, applied by open().
    t->close();
    t->setActiveTag(QStringLiteral("OGRN_MPCOD"));
    t->open();
    EXPECT_EQ(t->text(u"MPCOD"), QStringLiteral("1"));
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"1", "2"}));
}

TEST_F(IndexTable, FindKeyMatchesTheWholeKeyAndStaysPutWhenNothingMatches) {
    for (const char* name : {"Иванов", "Ив", "Петров", "Иванов"})
        appendRow(*t, kOgrn, 1, 1, QString::fromUtf8(name));
    t->createIndex(QStringLiteral("N.MDX"),
                   {{QStringLiteral("NAME"), QStringLiteral("Upper(NAME)")},
                    {QStringLiteral("MPCOD"), QStringLiteral("MPCOD")}});
    t->setIndexFiles({QStringLiteral("N.MDX")});
    t->setActiveTag(QStringLiteral("NAME"));

    ASSERT_TRUE(t->findKey(QStringLiteral("ИВАНОВ")));
    EXPECT_EQ(t->recNo(), 1u);
    ASSERT_TRUE(t->findKey(QStringLiteral("ИВ   ")));
    EXPECT_EQ(t->recNo(), 2u);
    t->next();
    EXPECT_EQ(t->recNo(), 1u);
    EXPECT_FALSE(t->findKey(QStringLiteral("ИВА")));
    EXPECT_FALSE(t->findKey(QStringLiteral("ПЕТРОВЫ")));
    EXPECT_EQ(t->recNo(), 1u);

    // A deleted record is not found; the next one with the key is.
    t->deleteRecord();
    ASSERT_TRUE(t->findKey(QStringLiteral("ИВАНОВ")));
    EXPECT_EQ(t->recNo(), 4u);

    t->setActiveTag(QStringLiteral("MPCOD"));
    EXPECT_TRUE(t->findKey(QStringLiteral(" 1 ")));
    EXPECT_FALSE(t->findKey(QStringLiteral("2")));
    EXPECT_THROW(t->findKey(QStringLiteral("один")), Error);
}

TEST_F(IndexTable, PostsKeepEveryTagOfEveryFileAndDeletionOnlyHides) {
    for (int i = 1; i <= 5; ++i)
        appendRow(*t, kOgrn, 10 * i, 6 - i, QStringLiteral("n%1").arg(i));
    t->createIndex(QStringLiteral("A.MDX"), {{QStringLiteral("MPCOD"), QStringLiteral("MPCOD")},
                                             {QStringLiteral("PRVS"), QStringLiteral("PRVS_ID")}});
    t->createIndex(QStringLiteral("B.MDX"), QStringLiteral("NAME"), QStringLiteral("NAME"));
    t->setIndexFiles({QStringLiteral("A.MDX"), QStringLiteral("B.MDX")});
    t->setActiveTag(QStringLiteral("MPCOD"));

    // Change a key through the cursor; the order follows at once.
    ASSERT_TRUE(t->findKey(QStringLiteral("20")));
    t->edit();
    t->setInteger(u"MPCOD", 60);
    t->post();
    EXPECT_EQ(t->text(u"MPCOD"), QStringLiteral("60"));
    t->next();
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"10", "30", "40", "50", "60"}));

    appendRow(*t, kOgrn, 35, 0, QStringLiteral("a"));
    t->setActiveTag(QStringLiteral("PRVS"));
    EXPECT_EQ(walk(*t, u"PRVS_ID"), (QStringList{"0", "1", "2", "3", "4", "5"}));
    t->setActiveTag(QStringLiteral("NAME"));
    EXPECT_EQ(walk(*t, u"NAME"), (QStringList{"a", "n1", "n2", "n3", "n4", "n5"}));

    // Deleted: hidden from the cursor, still in the tag.
    ASSERT_TRUE(t->findKey(QStringLiteral("n3")));
    t->deleteRecord();
    EXPECT_EQ(t->text(u"NAME"), QStringLiteral("n4"));
    EXPECT_EQ(walk(*t, u"NAME"), (QStringList{"a", "n1", "n2", "n4", "n5"}));
    const std::vector<FieldDef> fields = t->fields();
    t->close();
    MdxFile b = MdxFile::open(dir.file(QStringLiteral("B.MDX")), fields, FileAccess::ReadOnly,
                              Sharing::Shared);
    int entries = 0;
    b.forEachEntry(0, [&](const char*, std::uint32_t) { ++entries; });
    EXPECT_EQ(entries, 6);
}

TEST_F(IndexTable, PackRebuildsTheOpenIndexFiles) {
    for (int i = 1; i <= 6; ++i)
        appendRow(*t, kOgrn, 7 - i, 1);
    indexPodr3();
    t->close();
    t->setExclusive(true);
    t->open();
    for (int mpcod : {6, 3, 1}) {
        ASSERT_TRUE(t->findKey(padRight(kOgrn, 15) + padLeft(QString::number(mpcod), 6) + " 1"));
        t->deleteRecord();
    }
    t->pack();
    EXPECT_EQ(t->physicalRecordCount(), 3u);
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"2", "4", "5"}));
    t->close();
    t->setExclusive(false);
    t->open();
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"2", "4", "5"}));
    // Record numbers in the rebuilt tag are the new ones.
    t->first();
    EXPECT_EQ(t->recNo(), 3u);
}

TEST_F(IndexTable, AnotherCursorSeesAppendsAndKeyChangesBetweenItsSteps) {
    for (int i = 1; i <= 3; ++i)
        appendRow(*t, kOgrn, i * 10, 1);
    indexPodr3();
    Table other;
    other.setDirectory(dir.path());
    other.setTableName(QStringLiteral("podr3.dbf"));
    other.setIndexFiles({QStringLiteral("PODR3.MDX")});
    other.setActiveTag(QStringLiteral("OGRN_MPCOD"));
    other.open();
    EXPECT_EQ(other.text(u"MPCOD"), QStringLiteral("10"));

    // Enough appends by the first cursor to split the root.
    for (int i = 0; i < 200; ++i)
        appendRow(*t, kOgrn, 15, i % 100);
    ASSERT_TRUE(t->findKey(padRight(kOgrn, 15) + padLeft(QStringLiteral("30"), 6) + " 1"));
    t->edit();
    t->setInteger(u"MPCOD", 5);
    t->post();

    other.next();
    EXPECT_EQ(other.text(u"MPCOD"), QStringLiteral("15"));
    const QStringList all = walk(other, u"MPCOD");
    EXPECT_EQ(all.size(), 203);
    EXPECT_EQ(all.front(), QStringLiteral("5"));
    EXPECT_EQ(all.back(), QStringLiteral("20"));
}

TEST_F(IndexTable, CreatingTheListedFileAgainReplacesIt) {
    appendRow(*t, kOgrn, 2, 1, QStringLiteral("b"));
    appendRow(*t, kOgrn, 1, 1, QStringLiteral("a"));
    indexPodr3();
    t->createIndex(QStringLiteral("PODR3.MDX"), QStringLiteral("NAME"), QStringLiteral("NAME"));
    EXPECT_EQ(t->tagNames(), QStringList{QStringLiteral("NAME")});
    t->setActiveTag(QStringLiteral("NAME"));
    EXPECT_EQ(walk(*t, u"NAME"), (QStringList{"a", "b"}));
}

TEST_F(IndexTable, BadTagDefinitionsAreRefusedWithoutTouchingTheCursor) {
    appendRow(*t, kOgrn, 1, 1);
    EXPECT_THROW(t->createIndex(QStringLiteral("X.MDX"), QStringLiteral("TOO_LONG_NAME"),
                                QStringLiteral("NAME")),
                 Error);
    EXPECT_THROW(t->createIndex(QStringLiteral("X.MDX"), QStringLiteral("T"),
                                QStringLiteral("Substr(NAME,")),
                 Error);
    EXPECT_THROW(
        t->createIndex(QStringLiteral("X.MDX"), {{QStringLiteral("T"), QStringLiteral("NAME")},
                                                 {QStringLiteral("t"), QStringLiteral("OGRN")}}),
        Error);
    EXPECT_EQ(t->text(u"MPCOD"), QStringLiteral("1"));
}

// Tags another program may write: descending and unique ones.
TEST_F(IndexTable, DescendingAndUniqueTagsAreReadAndKept) {
    for (int v : {3, 1, 3, 2})
        appendRow(*t, kOgrn, v, v);
    const std::vector<FieldDef> fields = t->fields();
    t->close();
    MdxFile::create(dir.file(QStringLiteral("DU.MDX")), QStringLiteral("PODR3"), fields,
                    {{QStringLiteral("DOWN"), QStringLiteral("MPCOD"), true, false},
                     {QStringLiteral("ONCE"), QStringLiteral("Str(PRVS_ID,2)"), false, true}},
                    [&](const auto& visit) {
                        Table src;
                        src.setDirectory(dir.path());
                        src.setTableName(QStringLiteral("PODR3.DBF"));
                        src.open();
                        for (src.first(); !src.eof(); src.next())
                            visit(src.recNo(), src.recordBuffer().constData());
                    });
    t->setIndexFiles({QStringLiteral("DU.MDX")});
    t->setActiveTag(QStringLiteral("DOWN"));
    t->open();
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"3", "3", "2", "1"}));
    t->setRange(QStringLiteral("2"), QStringLiteral("3"));
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"3", "3", "2"}));
    EXPECT_EQ(walkBack(*t, u"MPCOD"), (QStringList{"2", "3", "3"}));
    appendRow(*t, kOgrn, 4, 2);
    appendRow(*t, kOgrn, 0, 5);
    t->cancelRange();
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"4", "3", "3", "2", "1", "0"}));

    // Only the first record of each key; a second "2" was not added.
    t->setActiveTag(QStringLiteral("ONCE"));
    EXPECT_EQ(walk(*t, u"PRVS_ID"), (QStringList{"1", "2", "3", "5"}));
    ASSERT_TRUE(t->findKey(QStringLiteral(" 3")));
    EXPECT_EQ(t->recNo(), 1u);
}

TEST_F(IndexTable, CursorSignalsAndFlagsInTagOrder) {
    for (int v : {3, 1, 2})
        appendRow(*t, kOgrn, v, 1);
    indexPodr3();
    QSignalSpy layout(t.get(), &Table::layoutReset);
    t->setRange(padRight(kOgrn, 15) + padLeft(QStringLiteral("2"), 6),
                padRight(kOgrn, 15) + padLeft(QStringLiteral("3"), 6));
    EXPECT_EQ(layout.count(), 1);
    EXPECT_TRUE(t->bof());
    EXPECT_EQ(t->text(u"MPCOD"), QStringLiteral("2"));
    t->prior();
    EXPECT_TRUE(t->bof());
    EXPECT_EQ(t->text(u"MPCOD"), QStringLiteral("2"));
    t->next();
    EXPECT_FALSE(t->bof());
    EXPECT_EQ(t->text(u"MPCOD"), QStringLiteral("3"));
    t->next();
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(t->text(u"MPCOD"), QStringLiteral("3"));
    // A range with nothing in it.
    t->setRange(QStringLiteral("9"), QStringLiteral("9"));
    EXPECT_TRUE(t->isEmpty());
    EXPECT_TRUE(t->bof() && t->eof());
}

// Changed by a program that does not keep the index: the tree's keys no longer
// match the records. Every walk still ends, visiting each entry once.
TEST_F(IndexTable, IndexOutOfStepWithItsTableStillEndsEveryWalk) {
    for (int v : {5, 4, 3, 2, 1})
        appendRow(*t, kOgrn, v, 1);
    t->createIndex(QStringLiteral("M.MDX"), QStringLiteral("MPCOD"), QStringLiteral("MPCOD"));
    for (t->first(); !t->eof(); t->next()) {
        t->edit();
        t->setInteger(u"MPCOD", 10 - t->integer(u"MPCOD") * 2);
        t->post();
    }
    t->setIndexFiles({QStringLiteral("M.MDX")});
    t->setActiveTag(QStringLiteral("MPCOD"));
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"8", "6", "4", "2", "0"}));
    EXPECT_EQ(walkBack(*t, u"MPCOD"), (QStringList{"0", "2", "4", "6", "8"}));
    EXPECT_EQ(t->visibleRecords().size(), 5u);
}

// Keys moved away one by one empty whole leaves, at either end of the tree.
TEST_F(IndexTable, KeysMovedAwayEmptyWholeBlocks) {
    t->close();
    t->setExclusive(true);
    t->open();
    for (int i = 1; i <= 1000; ++i)
        appendRow(*t, kOgrn, i, 1);
    t->createIndex(QStringLiteral("M.MDX"), QStringLiteral("MPCOD"), QStringLiteral("MPCOD"));
    t->setIndexFiles({QStringLiteral("M.MDX")});
    t->setActiveTag(QStringLiteral("MPCOD"));
    const auto moveKeys = [&](int from, int to, int step, const std::function<int(int)>& key) {
        for (int i = from; i != to + step; i += step) {
            ASSERT_TRUE(t->findKey(QString::number(i))) << i;
            t->edit();
            t->setInteger(u"MPCOD", key(i));
            t->post();
        }
    };
    const auto expectKeys = [&](const std::function<int(int)>& keyOfRecord) {
        std::vector<int> expected;
        for (int r = 1; r <= 1000; ++r)
            expected.push_back(keyOfRecord(r));
        std::sort(expected.begin(), expected.end());
        std::vector<int> got;
        for (t->first(); !t->eof(); t->next())
            got.push_back(t->integer(u"MPCOD"));
        EXPECT_EQ(got, expected);
    };
    moveKeys(1000, 501, -1, [](int i) { return -i; });
    expectKeys([](int r) { return r > 500 ? -r : r; });
    moveKeys(1, 500, 1, [](int i) { return 5000 + i; });
    expectKeys([](int r) { return r > 500 ? -r : 5000 + r; });
    for (int r = 1; r <= 1000; ++r) {
        t->go(static_cast<std::uint32_t>(r));
        t->edit();
        t->setInteger(u"MPCOD", 7);
        t->post();
    }
    expectKeys([](int) { return 7; });
}

// A pack that dies after the table is rewritten but before its index file is:
// the next open finishes the pack and rebuilds the index file.
class PackCrashWithIndex : public IndexTable, public ::testing::WithParamInterface<const char*> {};

TEST_P(PackCrashWithIndex, NextOpenRebuildsTheIndexFile) {
    for (int mpcod : {5, 1, 4, 2, 6, 3})
        appendRow(*t, kOgrn, mpcod, 1);
    indexPodr3();
    for (std::uint32_t r : {2u, 4u}) {
        t->go(r);
        t->deleteRecord();
    }
    t->close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XBASE_FAULT_POINT"), QString::fromLatin1(GetParam()));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(XBASE_HELPER_PATH),
            {QStringLiteral("pack"), dir.path(), QStringLiteral("PODR3.DBF"),
             QStringLiteral("PODR3.MDX")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 86);

    t->open();
    EXPECT_EQ(t->physicalRecordCount(), 4u);
    EXPECT_EQ(walk(*t, u"MPCOD"), (QStringList{"3", "4", "5", "6"}));
    EXPECT_EQ(t->visibleRecords(), (std::vector<std::uint32_t>{4, 2, 1, 3}));
    EXPECT_FALSE(QFile::exists(t->filePath() + QStringLiteral(".pack")));
}

INSTANTIATE_TEST_SUITE_P(Points, PackCrashWithIndex,
                         ::testing::Values("pack.table-written", "pack.indexes-rebuilt"));

// Another process appends through the same index file while this cursor walks it.
TEST(IndexProcesses, AppendsOfAnotherProcessAreSeenInTagOrder) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    t->append();
    t->setText(u"NAME", QStringLiteral("zz"));
    t->post();
    t->createIndex(QStringLiteral("T.MDX"),
                   {{QStringLiteral("NAME"), QStringLiteral("Upper(NAME)")},
                    {QStringLiteral("ID"), QStringLiteral("ID")}});
    t->setIndexFiles({QStringLiteral("T.MDX")});
    t->setActiveTag(QStringLiteral("ID"));
    QProcess p;
    p.start(QStringLiteral(XBASE_HELPER_PATH),
            {QStringLiteral("append"), dir.path(), QStringLiteral("T.DBF"), QStringLiteral("300"),
             QStringLiteral("T.MDX")});
    // Our own appends meanwhile, under the same index lock.
    for (int i = 1000; i < 1400; ++i) {
        t->append();
        t->setText(u"NAME", QStringLiteral("a%1").arg(i));
        t->setInteger(u"ID", i);
        t->post();
    }
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();

    QStringList ids;
    for (t->first(); !t->eof(); t->next())
        ids << t->text(u"ID");
    ASSERT_EQ(ids.size(), 701);
    EXPECT_EQ(ids.front(), QString()); // the blank ID of "zz" sorts as 0
    for (int i = 1; i < ids.size(); ++i)
        EXPECT_LE(ids[i - 1].toInt(), ids[i].toInt()) << i;
    t->setActiveTag(QStringLiteral("NAME"));
    ASSERT_TRUE(t->findKey(QStringLiteral("P300")));
    EXPECT_EQ(t->integer(u"ID"), 300);
    t->last();
    EXPECT_EQ(t->text(u"NAME"), QStringLiteral("zz"));
}

// A process that dies in the middle of a block split leaves a tree that a walk
// reports as damaged (never one that silently misses keys); creating the index
// again repairs it.
TEST(IndexProcesses, DeathInASplitLeavesDetectableDamage) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    t->createIndex(QStringLiteral("T.MDX"), QStringLiteral("ID"), QStringLiteral("ID"));
    t->close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XBASE_FAULT_POINT"), QStringLiteral("mdx.split-before-left"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(XBASE_HELPER_PATH),
            {QStringLiteral("append"), dir.path(), QStringLiteral("T.DBF"), QStringLiteral("100"),
             QStringLiteral("T.MDX")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 86);

    t->open();
    EXPECT_EQ(t->physicalRecordCount(), 64u); // 63 keys fill the first leaf
    t->setIndexFiles({QStringLiteral("T.MDX")});
    t->setActiveTag(QStringLiteral("ID"));
    try {
        for (t->first(); !t->eof(); t->next()) {
        }
        FAIL() << "the walk went through";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("не по порядку"))) << e.what();
    }
    t->setIndexFiles({});
    t->createIndex(QStringLiteral("T.MDX"), QStringLiteral("ID"), QStringLiteral("ID"));
    t->setIndexFiles({QStringLiteral("T.MDX")});
    EXPECT_EQ(t->visibleRecords().size(), 64u);
}

} // namespace
