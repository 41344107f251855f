#include "test_support.h"
#include "xbase/error.h"
#include "xbase/table.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

using namespace xbase;
using namespace xbase::test;

namespace {

// A helper process that holds a table until it is killed.
class Holder {
public:
    Holder(const QString& dir, const QString& mode) {
        m_process.start(QStringLiteral(XBASE_HELPER_PATH),
                        {QStringLiteral("hold"), dir, QStringLiteral("T.DBF"), mode});
        if (!m_process.waitForReadyRead(10000))
            throw std::runtime_error("helper did not start");
        m_firstLine = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~Holder() { kill(); }
    const QString& firstLine() const { return m_firstLine; }
    void kill() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

private:
    QProcess m_process;
    QString m_firstLine;
};

int runHelper(const QStringList& args, const QString& faultPoint = {}) {
    QProcess p;
    if (!faultPoint.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XBASE_FAULT_POINT"), faultPoint);
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(XBASE_HELPER_PATH), args);
    if (!p.waitForFinished(60000))
        throw std::runtime_error("helper did not finish");
    return p.exitCode();
}

std::unique_ptr<Table> tableWith(const TempDir& dir, int count) {
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    for (int i = 1; i <= count; ++i) {
        t->append();
        t->setText(u"NAME", QStringLiteral("r%1").arg(i));
        t->setInteger(u"ID", i);
        t->post();
    }
    return t;
}

QStringList names(Table& t) {
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.text(u"NAME");
    return out;
}

std::unique_ptr<Table> reopen(const TempDir& dir, bool exclusive = false) {
    auto t = std::make_unique<Table>();
    t->setDirectory(dir.path());
    t->setTableName(QStringLiteral("T.DBF"));
    t->setExclusive(exclusive);
    t->open();
    return t;
}

TEST(Processes, ExclusiveHolderKeepsEveryoneOutUntilItDies) {
    TempDir dir;
    tableWith(dir, 2)->close();
    Holder holder(dir.path(), QStringLiteral("exclusive"));
    ASSERT_EQ(holder.firstLine(), QStringLiteral("ready"));
    EXPECT_THROW(reopen(dir), LockError);
    EXPECT_THROW(reopen(dir, true), LockError);
    holder.kill();
    EXPECT_NO_THROW(reopen(dir, true));
}

TEST(Processes, SharedHolderKeepsExclusiveOpensOut) {
    TempDir dir;
    tableWith(dir, 2)->close();
    Holder holder(dir.path(), QStringLiteral("shared"));
    ASSERT_EQ(holder.firstLine(), QStringLiteral("ready"));
    EXPECT_NO_THROW(reopen(dir));
    EXPECT_THROW(reopen(dir, true), LockError);
}

TEST(Processes, OurExclusiveOpenKeepsTheOtherProcessOut) {
    TempDir dir;
    tableWith(dir, 2)->close();
    auto mine = reopen(dir, true);
    Holder other(dir.path(), QStringLiteral("shared"));
    EXPECT_TRUE(other.firstLine().startsWith(QStringLiteral("error:")))
        << other.firstLine().toStdString();
}

TEST(Processes, RecordLockHolderBlocksThatRecordUntilItDies) {
    TempDir dir;
    tableWith(dir, 3)->close();
    Holder holder(dir.path(), QStringLiteral("record:2"));
    ASSERT_EQ(holder.firstLine(), QStringLiteral("ready"));
    auto t = reopen(dir);
    t->go(2);
    EXPECT_THROW(t->edit(), LockError);
    t->go(3);
    EXPECT_NO_THROW(t->edit());
    t->cancel();
    // Opening and closing another cursor here does not drop our own locks.
    t->go(3);
    t->edit();
    reopen(dir)->close();
    Holder probe(dir.path(), QStringLiteral("record:3"));
    EXPECT_TRUE(probe.firstLine().startsWith(QStringLiteral("error:")));
    t->cancel();

    holder.kill();
    t->go(2);
    EXPECT_NO_THROW(t->edit());
}

struct CrashCase {
    const char* point;
    int liveAfter; // visible records after reopening

    friend void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.point; }
};

class AppendCrash : public ::testing::TestWithParam<CrashCase> {};

TEST_P(AppendCrash, LosesNoPostedRecord) {
    TempDir dir;
    tableWith(dir, 3)->close();
    const int code = runHelper(
        {QStringLiteral("append"), dir.path(), QStringLiteral("T.DBF"), QStringLiteral("5")},
        QString::fromLatin1(GetParam().point));
    EXPECT_EQ(code, 86);
    auto t = reopen(dir);
    const QStringList n = names(*t);
    ASSERT_EQ(n.size(), GetParam().liveAfter);
    EXPECT_EQ(n.mid(0, 3), QStringList({"r1", "r2", "r3"}));
    t->append();
    t->setText(u"NAME", QStringLiteral("after"));
    t->post();
    EXPECT_EQ(names(*t).size(), GetParam().liveAfter + 1);
}

// The record reaches the file before the header count, so a crash at either
// point keeps the record being appended too.
INSTANTIATE_TEST_SUITE_P(Points, AppendCrash,
                         ::testing::Values(CrashCase{"append.after-record", 4},
                                           CrashCase{"append.after-header", 4}));

class PackCrash : public ::testing::TestWithParam<const char*> {};

TEST_P(PackCrash, NextOpenFinishesThePack) {
    TempDir dir;
    QStringList live;
    {
        // Over 64 KiB of records, so that a crash mid-copy leaves a mixed file.
        auto t = tableWith(dir, 3000);
        for (int i = 1; i <= 3000; i += 3) {
            t->go(static_cast<std::uint32_t>(i));
            t->deleteRecord();
        }
        live = names(*t);
    }
    const int code = runHelper({QStringLiteral("pack"), dir.path(), QStringLiteral("T.DBF")},
                               QString::fromLatin1(GetParam()));
    EXPECT_EQ(code, 86);
    auto t = reopen(dir);
    EXPECT_EQ(names(*t), live);
    EXPECT_EQ(t->physicalRecordCount(), static_cast<std::uint32_t>(live.size()));
    EXPECT_FALSE(QFile::exists(t->filePath() + QStringLiteral(".pack")));
}

INSTANTIATE_TEST_SUITE_P(Points, PackCrash,
                         ::testing::Values("pack.journal-written", "pack.mid-copy",
                                           "pack.table-written"));

TEST(PackRecovery, IncompleteJournalIsDroppedAndTheTableKept) {
    TempDir dir;
    QStringList before;
    {
        auto t = tableWith(dir, 5);
        t->go(2);
        t->deleteRecord();
        before = names(*t);
    }
    writeFile(dir.file(QStringLiteral("T.DBF.pack")), QByteArray(500, 'x'));
    auto t = reopen(dir);
    EXPECT_EQ(names(*t), before);
    EXPECT_EQ(t->physicalRecordCount(), 5u);
    EXPECT_FALSE(QFile::exists(dir.file(QStringLiteral("T.DBF.pack"))));
}

} // namespace

namespace {

// A read-only open cannot finish an interrupted pack, and does not read the
// half-rewritten table either.
TEST(PackRecovery, ReadOnlyOpenWaitsForTheFinishedPack) {
    TempDir dir;
    QStringList live;
    {
        auto t = tableWith(dir, 3000);
        for (int i = 1; i <= 3000; i += 2) {
            t->go(static_cast<std::uint32_t>(i));
            t->deleteRecord();
        }
        live = names(*t);
    }
    ASSERT_EQ(runHelper({QStringLiteral("pack"), dir.path(), QStringLiteral("T.DBF")},
                        QStringLiteral("pack.mid-copy")),
              86);
    Table readOnly;
    readOnly.setDirectory(dir.path());
    readOnly.setTableName(QStringLiteral("T.DBF"));
    readOnly.setReadOnly(true);
    EXPECT_THROW(readOnly.open(), Error);
    auto t = reopen(dir); // a writable open finishes the pack

    EXPECT_EQ(names(*t), live);
    t->close();
    readOnly.open();
    EXPECT_EQ(names(readOnly), live);
}

} // namespace
