#include "test_support.h"
#include "xbase/error.h"
#include "xbase/table.h"

#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

void appendRow(Table& t, const QString& name, qint64 id) {
    t.append();
    t.setText(u"NAME", name);
    t.setInteger(u"ID", id);
    t.post();
}

// A table with the given names, ID = position (1-based).
std::unique_ptr<Table> tableWith(const TempDir& dir, const QStringList& names) {
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    for (int i = 0; i < names.size(); ++i)
        appendRow(*t, names[i], i + 1);
    return t;
}

TEST(Table, EveryFieldTypeRoundTripsThroughTheFile) {
    TempDir dir;
    {
        auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
        t->append();
        t->setText(u"name", QStringLiteral("Ёлкино, «ООО» №5"));
        t->setInteger(u"Id", 123456789);
        t->setInteger(u"SMALL", -999);
        t->setDate(u"BORN", QDate(2016, 9, 27));
        t->setText(u"PRICE", QStringLiteral("3.456"));
        t->setText(u"OK", QStringLiteral("y"));
        t->post();
        t->append();
        t->post(); // every field blank
    }
    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("t.dbf"));
    t.open();
    EXPECT_EQ(t.text(u"NAME"), QStringLiteral("Ёлкино, \"ООО\" №5"));
    EXPECT_EQ(t.integer(u"ID"), 123456789);
    EXPECT_EQ(t.text(u"ID"), QStringLiteral("123456789"));
    EXPECT_EQ(t.integer(u"SMALL"), -999);
    EXPECT_EQ(t.date(u"BORN"), QDate(2016, 9, 27));
    EXPECT_EQ(t.text(u"BORN"), QStringLiteral("20160927"));
    EXPECT_EQ(t.text(u"PRICE"), QStringLiteral("3.46"));
    EXPECT_EQ(t.text(u"OK"), QStringLiteral("T"));

    t.next();
    for (const char16_t* f : {u"NAME", u"ID", u"SMALL", u"BORN", u"PRICE", u"OK"})
        EXPECT_EQ(t.text(f), QString()) << QString::fromUtf16(f).toStdString();
    EXPECT_EQ(t.integer(u"ID"), 0);
    EXPECT_FALSE(t.date(u"BORN").isValid());
    EXPECT_TRUE(t.isBlank(u"PRICE"));

    // The stored bytes: blank-padded text in cp866, right-aligned numbers.
    const QByteArray file = readFile(t.filePath());
    const QByteArray rec1 = file.mid(32 + 6 * 32 + 1, t.recordBuffer().size());
    EXPECT_EQ(rec1.mid(21, 9), QByteArray("123456789"));
    EXPECT_EQ(rec1.mid(30, 4), QByteArray("-999"));
    EXPECT_EQ(rec1.mid(42, 8), QByteArray("    3.46"));
}

TEST(Table, TextIsCutToTheFieldWidthInCharacters) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    t->append();
    t->setText(u"NAME", QStringLiteral("Спас-Ладомир и ещё много слов"));
    EXPECT_EQ(t->text(u"NAME"), QStringLiteral("Спас-Ладомир и ещё м"));
}

struct BadValue {
    const char16_t* field;
    const char* text;

    friend void PrintTo(const BadValue& v, std::ostream* os) {
        *os << QString::fromUtf16(v.field).toStdString() << "=" << v.text;
    }
};

class RejectedValue : public ::testing::TestWithParam<BadValue> {};

TEST_P(RejectedValue, IsAnErrorAndLeavesTheFieldAlone) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    t->append();
    t->setText(GetParam().field, QString());
    const QByteArray before = t->recordBuffer();
    EXPECT_THROW(t->setText(GetParam().field, QString::fromUtf8(GetParam().text)), Error);
    EXPECT_EQ(t->recordBuffer(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, RejectedValue,
                         ::testing::Values(BadValue{u"SMALL", "12345"}, BadValue{u"SMALL", "-1000"},
                                           BadValue{u"ID", "1234567890"},
                                           BadValue{u"PRICE", "123456.7"}, BadValue{u"ID", "12a"},
                                           BadValue{u"BORN", "20230231"},
                                           BadValue{u"BORN", "27.09.2016"},
                                           BadValue{u"OK", "maybe"}));

TEST(Table, IntegerOutOfWidthIsAnError) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    t->append();
    EXPECT_THROW(t->setInteger(u"SMALL", 10000), Error);
    EXPECT_NO_THROW(t->setInteger(u"SMALL", 9999));
    EXPECT_THROW(t->setText(u"NOPE", QStringLiteral("x")), Error);
}

struct Step {
    const char* op;
    std::uint32_t recNo;
    bool bof;
    bool eof;
};

// Golden navigation: records 1..5 with 2 and 5 deleted.
TEST(Table, NavigationSkipsDeletedRecords) {
    TempDir dir;
    auto t = tableWith(dir, {"a", "b", "c", "d", "e"});
    t->go(2);
    t->deleteRecord();
    EXPECT_EQ(t->recNo(), 3u);
    t->go(5);
    t->deleteRecord();
    EXPECT_EQ(t->recNo(), 4u); // nothing after: the prior record

    const Step steps[] = {
        {"first", 1, true, false}, {"next", 3, false, false},  {"next", 4, false, false},
        {"next", 4, false, true},  {"prior", 3, false, false}, {"prior", 1, false, false},
        {"prior", 1, true, false}, {"last", 4, false, true},   {"first", 1, true, false},
    };
    for (const Step& s : steps) {
        const std::string op = s.op;
        if (op == "first")
            t->first();
        else if (op == "next")
            t->next();
        else if (op == "prior")
            t->prior();
        else
            t->last();
        EXPECT_EQ(t->recNo(), s.recNo) << op;
        EXPECT_EQ(t->bof(), s.bof) << op;
        EXPECT_EQ(t->eof(), s.eof) << op;
    }
    EXPECT_EQ(t->visibleRecords(), (std::vector<std::uint32_t>{1, 3, 4}));
    EXPECT_THROW(t->go(2), Error);
    EXPECT_THROW(t->go(6), Error);
    EXPECT_EQ(t->recNo(), 1u);
}

TEST(Table, EmptyTableHasNoCurrentRecord) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    EXPECT_TRUE(t->bof());
    EXPECT_TRUE(t->eof());
    EXPECT_TRUE(t->isEmpty());
    EXPECT_EQ(t->recNo(), 0u);
    t->next();
    t->last();
    EXPECT_TRUE(t->eof());
    EXPECT_EQ(t->text(u"NAME"), QString());
    EXPECT_THROW(t->edit(), Error);
    EXPECT_THROW(t->deleteRecord(), Error);
}

TEST(Table, AppendIsPendingUntilPostAndCancelDiscardsIt) {
    TempDir dir;
    auto t = tableWith(dir, {"a", "b"});
    t->go(2);
    t->append();
    t->setText(u"NAME", QStringLiteral("new"));
    EXPECT_EQ(t->state(), Table::State::Insert);
    EXPECT_EQ(t->physicalRecordCount(), 2u);
    t->cancel();
    EXPECT_EQ(t->state(), Table::State::Browse);
    EXPECT_EQ(t->recNo(), 2u);
    EXPECT_EQ(t->text(u"NAME"), QStringLiteral("b"));
    EXPECT_EQ(t->physicalRecordCount(), 2u);

    appendRow(*t, QStringLiteral("c"), 3);
    EXPECT_EQ(t->recNo(), 3u);
    EXPECT_EQ(t->physicalRecordCount(), 3u);
}

TEST(Table, PostWritesRecordThenCountDateAndEndMark) {
    TempDir dir;
    auto t = tableWith(dir, {"a", "b", "c"});
    const QByteArray file = readFile(t->filePath());
    const int headerLength = 32 + 6 * 32 + 1;
    const int recordLength = t->recordBuffer().size();
    EXPECT_EQ(file.size(), headerLength + 3 * recordLength + 1);
    EXPECT_EQ(file.back(), '\x1A');
    EXPECT_EQ(static_cast<uchar>(file[4]), 3);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(static_cast<uchar>(file[1]), today.year() - 1900);
    EXPECT_EQ(static_cast<uchar>(file[2]), today.month());
    EXPECT_EQ(static_cast<uchar>(file[3]), today.day());
}

TEST(Table, EditChangesOnlyThatRecordAndCancelRestores) {
    TempDir dir;
    auto t = tableWith(dir, {"a", "b", "c"});
    t->go(2);
    t->edit();
    t->setText(u"NAME", QStringLiteral("changed"));
    t->cancel();
    EXPECT_EQ(t->text(u"NAME"), QStringLiteral("b"));
    t->edit();
    t->setText(u"NAME", QStringLiteral("Б"));
    t->next(); // moving posts the pending edit
    EXPECT_EQ(t->state(), Table::State::Browse);
    t->close();
    t->open();
    QStringList names;
    for (t->first(); !t->eof(); t->next())
        names << t->text(u"NAME");
    EXPECT_EQ(names, QStringList({"a", "Б", "c"}));
}

TEST(Table, DeleteMarksTheRecordInTheFileAtOnce) {
    TempDir dir;
    auto t = tableWith(dir, {"a", "b"});
    t->first();
    t->deleteRecord();
    const QByteArray file = readFile(t->filePath());
    EXPECT_EQ(file[32 + 6 * 32 + 1], '*');
    EXPECT_EQ(t->recNo(), 2u);
    EXPECT_EQ(t->physicalRecordCount(), 2u);
}

TEST(Table, TwoCursorsExcludeEachOthersRecordLocks) {
    TempDir dir;
    auto a = tableWith(dir, {"a", "b"});
    Table b;
    b.setDirectory(dir.path());
    b.setTableName(QStringLiteral("T.DBF"));
    b.open();
    a->first();
    a->edit();
    b.first();
    EXPECT_THROW(b.edit(), LockError);
    EXPECT_THROW(b.deleteRecord(), LockError);
    b.next();
    EXPECT_NO_THROW(b.edit()); // another record is free
    b.cancel();
    a->setText(u"NAME", QStringLiteral("z"));
    a->post();
    b.first();
    EXPECT_NO_THROW(b.edit());
    EXPECT_EQ(b.text(u"NAME"), QStringLiteral("z"));
}

TEST(Table, ExclusiveAndSharedOpensExcludeEachOther) {
    TempDir dir;
    auto shared = tableWith(dir, {"a"});
    Table other;
    other.setDirectory(dir.path());
    other.setTableName(QStringLiteral("T.DBF"));
    other.setExclusive(true);
    EXPECT_THROW(other.open(), LockError);
    EXPECT_FALSE(other.isOpen());
    shared->close();
    other.open();
    EXPECT_THROW(shared->open(), LockError);
    other.close();
    EXPECT_NO_THROW(shared->open());
}

TEST(Table, AppendsOfAnotherCursorAreSeen) {
    TempDir dir;
    auto a = tableWith(dir, {"a"});
    Table b;
    b.setDirectory(dir.path());
    b.setTableName(QStringLiteral("T.DBF"));
    b.open();
    appendRow(*a, QStringLiteral("b"), 2);
    b.last();
    EXPECT_EQ(b.text(u"NAME"), QStringLiteral("b"));
    // Both append at the true end, never over each other.
    appendRow(b, QStringLiteral("c"), 3);
    appendRow(*a, QStringLiteral("d"), 4);
    EXPECT_EQ(a->visibleRecords().size(), 4u);
    a->last();
    EXPECT_EQ(a->text(u"NAME"), QStringLiteral("d"));
}

TEST(Table, PackRemovesDeletedRecordsAndNeedsExclusiveAccess) {
    TempDir dir;
    {
        auto t = tableWith(dir, {"a", "b", "c", "d"});
        t->go(2);
        t->deleteRecord();
        t->go(4);
        t->deleteRecord();
        EXPECT_THROW(t->pack(), Error);
    }
    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("T.DBF"));
    t.setExclusive(true);
    t.open();
    QSignalSpy reset(&t, &Table::layoutReset);
    t.pack();
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(t.physicalRecordCount(), 2u);
    EXPECT_EQ(t.recNo(), 1u);
    t.next();
    EXPECT_EQ(t.text(u"NAME"), QStringLiteral("c"));
    const QByteArray file = readFile(t.filePath());
    EXPECT_EQ(file.size(), 32 + 6 * 32 + 1 + 2 * t.recordBuffer().size() + 1);
    EXPECT_EQ(static_cast<uchar>(file[4]), 2);
    EXPECT_FALSE(QFile::exists(t.filePath() + QStringLiteral(".pack")));
}

TEST(Table, SignalsFollowEveryChange) {
    TempDir dir;
    auto t = tableWith(dir, {"a", "b"});
    QSignalSpy moved(t.get(), &Table::currentChanged);
    QSignalSpy changed(t.get(), &Table::recordChanged);
    QSignalSpy reset(t.get(), &Table::layoutReset);
    t->first();
    EXPECT_GE(moved.count(), 1);
    t->edit();
    t->setText(u"NAME", QStringLiteral("x"));
    t->post();
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).value<std::uint32_t>(), 1u);
    appendRow(*t, QStringLiteral("c"), 3);
    t->deleteRecord();
    EXPECT_EQ(reset.count(), 2);
}

TEST(Table, FieldsAndFileNamesIgnoreCase) {
    TempDir dir;
    Table::create(dir.file(QStringLiteral("PODR.DBF")), sampleFields());
    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("podr.dbf"));
    t.open();
    EXPECT_EQ(t.fieldIndex(u"name"), 0);
    EXPECT_EQ(t.fieldIndex(u"Price"), 4);
    EXPECT_EQ(t.fieldIndex(u"missing"), -1);
}

TEST(Table, ReadOnlyFileNeedsReadOnlyOpen) {
    TempDir dir;
    auto t = tableWith(dir, {"a"});
    t->close();
    QFile::setPermissions(t->filePath(), QFile::ReadOwner);
    if (QFile(t->filePath()).open(QIODevice::ReadWrite))
        GTEST_SKIP() << "running with rights that ignore file permissions";
    try {
        t->open();
        FAIL() << "opened a read-only file for writing";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("нет доступа"))) << e.what();
    }
    t->setReadOnly(true);
    t->open();
    EXPECT_EQ(t->text(u"NAME"), QStringLiteral("a"));
    EXPECT_THROW(t->edit(), Error);
    EXPECT_THROW(t->append(), Error);
}

TEST(Table, WithoutTranslationBytesPassThrough) {
    TempDir dir;
    Table::create(dir.file(QStringLiteral("T.DBF")), sampleFields());
    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("T.DBF"));
    t.setTranslate(false);
    t.open();
    t.append();
    t.setText(u"NAME", QString::fromLatin1("\x80\xF1"));
    t.post();
    EXPECT_EQ(t.recordBuffer().mid(1, 2), QByteArray("\x80\xF1"));
}

TEST(Table, MissingFileIsAClearError) {
    TempDir dir;
    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("NONE.DBF"));
    try {
        t.open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("NONE.DBF"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("файл не найден"))) << e.what();
    }
    EXPECT_FALSE(t.isOpen());
}

} // namespace
