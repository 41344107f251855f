#include "data/table_layouts.h"
#include "demo_base.h"
#include "xbase/table.h"
#include "xbase/test_support.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <map>

using namespace xbase;
using namespace xbase::test;
using data::TableId;

namespace {

const std::map<TableId, int> kRows = {
    {TableId::Mo, 1},     {TableId::Licen, 5},  {TableId::Licen2, 37}, {TableId::Podr, 7},
    {TableId::Podr2, 6},  {TableId::Podr3, 0},  {TableId::Prvs2, 151}, {TableId::Prvs, 19},
    {TableId::Okopf, 39}, {TableId::Vedpr, 16}, {TableId::Raion, 19},  {TableId::Kladr, 200},
    {TableId::SpPmo, 48}, {TableId::MaxKey, 8},
};

std::unique_ptr<Table> openDemo(const QString& dir, TableId id) {
    auto t = std::make_unique<Table>();
    t->setDirectory(dir);
    t->setTableName(data::layout(id).fileName);
    t->open();
    return t;
}

class DemoBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        demo::buildDemoBase(s_dir->path());
    }
    static void TearDownTestSuite() { delete s_dir; }
    static TempDir* s_dir;
};
TempDir* DemoBase::s_dir = nullptr;

TEST_F(DemoBase, EveryTableHasItsRows) {
    for (const data::TableLayout& l : data::allLayouts()) {
        auto t = openDemo(s_dir->path(), l.id);
        EXPECT_EQ(t->visibleRecords().size(), static_cast<std::size_t>(kRows.at(l.id)))
            << l.fileName.toStdString();
        EXPECT_EQ(t->fields().size(), l.fields.size());
    }
}

TEST_F(DemoBase, CountersAgreeWithTheKeysInUse) {
    auto maxkey = openDemo(s_dir->path(), TableId::MaxKey);
    std::map<QString, int> counters;
    for (maxkey->first(); !maxkey->eof(); maxkey->next())
        counters[maxkey->text(u"NAME_VALUE")] = maxkey->integer(u"INFO_VALUE");
    EXPECT_EQ(counters[QStringLiteral("LICEN.DBF")], 5);
    EXPECT_EQ(counters[QStringLiteral("PODR.DBF")], 7);
    EXPECT_EQ(counters[QStringLiteral("KLADR.DBF")], 200);
}

TEST_F(DemoBase, TextAndDatesComeThroughIntact) {
    auto mo = openDemo(s_dir->path(), TableId::Mo);
    EXPECT_EQ(mo->text(u"MCOD"), QStringLiteral("330000"));
    EXPECT_EQ(mo->text(u"NAM_MOK"), QStringLiteral("ГБУЗ СО \"Сарвенская ЦРБ\""));
    EXPECT_EQ(mo->integer(u"OKOPF"), 75203);
    auto licen = openDemo(s_dir->path(), TableId::Licen);
    licen->last();
    EXPECT_EQ(licen->date(u"DATA_E"), QDate(2027, 5, 22));
    licen->first();
    EXPECT_FALSE(licen->date(u"DATA_E").isValid());
    auto kladr = openDemo(s_dir->path(), TableId::Kladr);
    kladr->go(17);
    EXPECT_EQ(kladr->text(u"NAME"), QStringLiteral("с. Нижнее Спасо-Преображенское"));
}

// Other people's tools read the demonstration base too.
TEST_F(DemoBase, OpensInPythonDbfWithTheSameRows) {
    const QString script =
        QStringLiteral("import dbf, sys\n"
                       "for name in sys.argv[1:]:\n"
                       "    t = dbf.Table(name, codepage='cp866'); t.open(dbf.READ_ONLY)\n"
                       "    first = str(t[0][1]).rstrip() if len(t) else ''\n"
                       "    print(len(t), first)\n"
                       "    t.close()\n");
    QStringList args{QStringLiteral("-c"), script};
    for (TableId id : {TableId::Kladr, TableId::Okopf, TableId::SpPmo})
        args << QFileInfo(s_dir->path() + u'/' + data::layout(id).fileName).absoluteFilePath();
    QProcess p;
    p.start(QStringLiteral(INTEROP_PYTHON), args);
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()),
              QStringLiteral("200 г. Сарвенск\n39 Полные товарищества\n48 330104\n"));
}

} // namespace

namespace {

// The visible records of a table in its cursor's order, as `field` values.
QStringList listed(Table& t, const char16_t* field) {
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.text(field);
    return out;
}

std::unique_ptr<Table> openIndexed(const QString& dir, TableId id, const QString& tag) {
    auto t = std::make_unique<Table>();
    t->setDirectory(dir);
    t->setTableName(data::layout(id).fileName);
    t->setIndexFiles({data::layout(id).indexFile});
    t->setActiveTag(tag);
    t->open();
    return t;
}

TEST_F(DemoBase, EveryTagSelectsWhatItsRangesPromise) {
    auto prvs2 = openIndexed(s_dir->path(), TableId::Prvs2, QStringLiteral("ID"));
    EXPECT_EQ(prvs2->tagNames().size(), 20);
    prvs2->setRange(QStringLiteral("17"), QStringLiteral("17"));
    EXPECT_EQ(listed(*prvs2, u"ID"), QStringList{QStringLiteral("17")});
    prvs2->cancelRange();
    QStringList ids = listed(*prvs2, u"ID");
    EXPECT_EQ(ids.size(), 151);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end(), [](const QString& a, const QString& b) {
        return a.toInt() < b.toInt();
    }));
    for (const xbase::FieldDef& f : data::layout(TableId::Prvs2).fields) {
        if (!f.name.startsWith(QLatin1String("VP_")))
            continue;
        prvs2->setActiveTag(f.name);
        prvs2->setRange(QStringLiteral("1"), QStringLiteral("1"));
        int inRange = 0;
        for (prvs2->first(); !prvs2->eof(); prvs2->next()) {
            EXPECT_EQ(prvs2->text(f.name), QStringLiteral("1")) << f.name.toStdString();
            ++inRange;
        }
        auto plain = openDemo(s_dir->path(), TableId::Prvs2);
        int flagged = 0;
        for (plain->first(); !plain->eof(); plain->next())
            flagged += plain->text(f.name) == QLatin1String("1");
        EXPECT_EQ(inRange, flagged) << f.name.toStdString();
    }

    auto kladr = openIndexed(s_dir->path(), TableId::Kladr, QStringLiteral("OCATD"));
    kladr->setRange(QStringLiteral("6"), QStringLiteral("6"));
    const QStringList units = listed(*kladr, u"OCATD");
    EXPECT_FALSE(units.isEmpty());
    EXPECT_EQ(units.count(QStringLiteral("6")), units.size());
    kladr->setRange(QStringLiteral("0"), QStringLiteral("0"));
    EXPECT_TRUE(listed(*kladr, u"OCATD").isEmpty());

    auto maxkey = openIndexed(s_dir->path(), TableId::MaxKey, QStringLiteral("NAME_VALUE"));
    ASSERT_TRUE(maxkey->findKey(QStringLiteral("PODR.DBF")));
    EXPECT_EQ(maxkey->integer(u"INFO_VALUE"), 7);
    EXPECT_FALSE(maxkey->findKey(QStringLiteral("PODR")));
}

} // namespace
