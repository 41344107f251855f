#include "data/key_generator.h"
#include "data/table_layouts.h"
#include "ui/scripted_user_interface.h"
#include "xbase/table.h"
#include "xbase/test_support.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

// An empty MAXKEY.DBF with its index.
void createCounters(const QString& dir) {
    const data::TableLayout& l = data::layout(data::TableId::MaxKey);
    Table::create(dir + QStringLiteral("/MAXKEY.DBF"), l.fields);
    Table t;
    t.setDirectory(dir);
    t.setTableName(l.fileName);
    t.open();
    t.createIndex(QStringLiteral("MAXKEY.MDX"), QStringLiteral("NAME_VALUE"),
                  QStringLiteral("NAME_VALUE"));
}

std::map<QString, int> counters(const QString& dir) {
    Table t;
    t.setDirectory(dir);
    t.setTableName(QStringLiteral("MAXKEY.DBF"));
    t.open();
    std::map<QString, int> out;
    for (t.first(); !t.eof(); t.next())
        out[t.text(u"NAME_VALUE")] = t.integer(u"INFO_VALUE");
    return out;
}

class KeyGenerator : public ::testing::Test {
protected:
    void SetUp() override { createCounters(dir.path()); }
    TempDir dir;
    ui::ScriptedUserInterface seam;
    ui::ScopedUserInterface installed{seam};
};

TEST_F(KeyGenerator, FirstKeyIsOneAndCountersFollowTheUpperCasedName) {
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("LICEN.DBF")), 1);
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("PODR.dbf")), 1);
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("PODR.DBF")), 2);
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("справочник.dbf")), 1);
    EXPECT_EQ(counters(dir.path()),
              (std::map<QString, int>{{QStringLiteral("LICEN.DBF"), 1},
                                      {QStringLiteral("PODR.DBF"), 2},
                                      {QStringLiteral("СПРАВОЧНИК.DBF"), 1}}));
    EXPECT_TRUE(seam.messages().empty());
}

TEST_F(KeyGenerator, CounterAt41Gives42) {
    {
        Table t;
        t.setDirectory(dir.path());
        t.setTableName(QStringLiteral("MAXKEY.DBF"));
        t.setIndexFiles({QStringLiteral("MAXKEY.MDX")});
        t.open();
        t.append();
        t.setText(u"NAME_VALUE", QStringLiteral("LICEN.DBF"));
        t.setInteger(u"INFO_VALUE", 41);
        t.post();
    }
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("licen.dbf")), 42);
    EXPECT_EQ(counters(dir.path())[QStringLiteral("LICEN.DBF")], 42);
}

TEST_F(KeyGenerator, ForTableUsesTheNameAsSet) {
    Table::create(dir.file(QStringLiteral("PODR.dbf")), data::layout(data::TableId::Podr).fields);
    Table podr;
    podr.setDirectory(dir.path());
    podr.setTableName(QStringLiteral("PODR.dbf"));
    podr.open();
    EXPECT_EQ(data::NextKeyForTable(podr), 1);
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("PODR.DBF")), 2);
}

TEST_F(KeyGenerator, UnusableCounterTableGivesZeroSilently) {
    EXPECT_EQ(data::NextKey(dir.path(), QString()), 0);
    QFile::remove(dir.file(QStringLiteral("MAXKEY.MDX")));
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("LICEN.DBF")), 0);
    QFile::remove(dir.file(QStringLiteral("MAXKEY.DBF")));
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("LICEN.DBF")), 0);
    EXPECT_TRUE(seam.messages().empty());
}

TEST_F(KeyGenerator, CounterLockedByAnotherProcessGivesMinusOneAfterTheMessage) {
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("LICEN.DBF")), 1);
    QProcess holder;
    holder.start(QStringLiteral(KEY_HELPER_PATH),
                 {QStringLiteral("hold"), dir.path(), QStringLiteral("LICEN.DBF")});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_EQ(holder.readLine().trimmed(), QByteArray("ready"));

    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("LICEN.DBF")), -1);
    ASSERT_EQ(seam.messages().size(), 1u);
    EXPECT_EQ(seam.messages()[0].text,
              QStringLiteral("Файл ключей заблокирован одним из пользователей."));
    EXPECT_EQ(seam.messages()[0].caption, QStringLiteral("Внимание !"));
    EXPECT_EQ(seam.messages()[0].icon, QMessageBox::Critical);
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(counters(dir.path())[QStringLiteral("LICEN.DBF")], 1);
    EXPECT_EQ(data::NextKey(dir.path(), QStringLiteral("LICEN.DBF")), 2);
}

TEST_F(KeyGenerator, TwoProcessesDrawDistinctKeys) {
    constexpr int kEach = 2000;
    QProcess a;
    QProcess b;
    const QStringList args{QStringLiteral("draw"), dir.path(), QStringLiteral("PODR.DBF"),
                           QString::number(kEach)};
    a.start(QStringLiteral(KEY_HELPER_PATH), args);
    b.start(QStringLiteral(KEY_HELPER_PATH), args);
    ASSERT_TRUE(a.waitForFinished(120000));
    ASSERT_TRUE(b.waitForFinished(120000));
    QSet<int> keys;
    for (QProcess* p : {&a, &b}) {
        const QList<QByteArray> lines = p->readAllStandardOutput().trimmed().split('\n');
        ASSERT_EQ(lines.size(), kEach);
        for (const QByteArray& line : lines)
            keys.insert(line.toInt());
    }
    EXPECT_EQ(keys.size(), 2 * kEach);
    EXPECT_FALSE(keys.contains(0));
    EXPECT_FALSE(keys.contains(-1));
    EXPECT_EQ(counters(dir.path()),
              (std::map<QString, int>{{QStringLiteral("PODR.DBF"), 2 * kEach}}));
}

} // namespace
