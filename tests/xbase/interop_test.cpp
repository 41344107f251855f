// Tables we write open in other people's dBase libraries with the same values,
// and tables they write open in ours.
#include "test_support.h"
#include "xbase/table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

struct Row {
    bool deleted;
    QJsonObject fields;
};

std::vector<Row> readWithPython(const QString& reader, const QString& path) {
    QProcess p;
    p.start(QStringLiteral(INTEROP_PYTHON), {QStringLiteral(PYTHON_INTEROP_SCRIPT), reader, path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw std::runtime_error("python reader failed: " + p.readAllStandardError().toStdString());
    std::vector<Row> rows;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonArray a = QJsonDocument::fromJson(line).array();
        rows.push_back({a.at(0).toBool(), a.at(1).toObject()});
    }
    return rows;
}

class OurTableInTheirReader : public ::testing::TestWithParam<const char*> {};

TEST_P(OurTableInTheirReader, ReadsTheSameValues) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"));
    struct In {
        QString name;
        int id;
        QDate born;
        QString price;
    };
    const In rows[] = {
        {QStringLiteral("Ёлкино"), 1, QDate(2016, 9, 27), QStringLiteral("3.50")},
        {QStringLiteral("удалённая"), 2, QDate(), QString()},
        {QStringLiteral("Ключёвка №7"), 123456789, QDate(2027, 5, 22), QStringLiteral("-12.25")}};
    for (const In& r : rows) {
        t->append();
        t->setText(u"NAME", r.name);
        t->setInteger(u"ID", r.id);
        t->setDate(u"BORN", r.born);
        t->setText(u"PRICE", r.price);
        t->post();
    }
    t->go(2);
    t->deleteRecord();
    t->close();

    std::vector<Row> got = readWithPython(QString::fromLatin1(GetParam()), t->filePath());
    ASSERT_EQ(got.size(), 3u);
    // dbfread lists the deleted records after the live ones.
    std::stable_sort(got.begin(), got.end(), [](const Row& a, const Row& b) {
        return a.fields.value(QStringLiteral("ID")).toString().toInt() <
               b.fields.value(QStringLiteral("ID")).toString().toInt();
    });
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].deleted, i == 1);
        EXPECT_EQ(got[i].fields.value(QStringLiteral("NAME")).toString(), rows[i].name);
        EXPECT_EQ(got[i].fields.value(QStringLiteral("ID")).toString().toInt(), rows[i].id);
        EXPECT_EQ(got[i].fields.value(QStringLiteral("BORN")).toString(),
                  rows[i].born.toString(QStringLiteral("yyyyMMdd")));
    }
    EXPECT_EQ(got[0].fields.value(QStringLiteral("PRICE")).toString().toDouble(), 3.5);
    EXPECT_EQ(got[2].fields.value(QStringLiteral("PRICE")).toString().toDouble(), -12.25);
}

INSTANTIATE_TEST_SUITE_P(Readers, OurTableInTheirReader,
                         ::testing::Values("dbf-read", "dbfread-read"));

TEST(TheirTableInOurReader, ReadsTheSameValues) {
    TempDir dir;
    const QString path = dir.file(QStringLiteral("THEIRS.DBF"));
    QProcess p;
    p.start(QStringLiteral(INTEROP_PYTHON),
            {QStringLiteral(PYTHON_INTEROP_SCRIPT), QStringLiteral("dbf-write"), path});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    Table t;
    t.setDirectory(dir.path());
    t.setTableName(QStringLiteral("theirs.dbf"));
    t.open();
    ASSERT_EQ(t.visibleRecords(), (std::vector<std::uint32_t>{1, 3}));
    t.first();
    EXPECT_EQ(t.text(u"NAME"), QStringLiteral("Ёлкино"));
    EXPECT_EQ(t.integer(u"ID"), 1);
    EXPECT_EQ(t.date(u"BORN"), QDate(2016, 9, 27));
    EXPECT_EQ(t.text(u"PRICE"), QStringLiteral("3.50"));
    t.next();
    EXPECT_EQ(t.text(u"NAME"), QStringLiteral("Верх-Песчанка №2"));
    EXPECT_EQ(t.integer(u"ID"), 3);
    EXPECT_EQ(t.text(u"PRICE"), QStringLiteral("-12.25"));
    // And we can write to it.
    t.edit();
    t.setText(u"NAME", QStringLiteral("Окунёво"));
    t.post();
    const std::vector<Row> back = readWithPython(QStringLiteral("dbf-read"), path);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].fields.value(QStringLiteral("NAME")).toString(), QStringLiteral("Окунёво"));
}

} // namespace
