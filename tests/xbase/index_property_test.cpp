// Random tables against a model: after every batch of appends, key changes and
// deletions each tag lists exactly the visible records in the order of their
// keys, ranges list exactly what a filter picks, and so it stays after reopening
// and packing.
#include "test_support.h"
#include "xbase/codepage.h"
#include "xbase/table.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>

using namespace xbase;
using namespace xbase::test;

namespace {

struct Row {
    QString ogrn;
    QString name;
    int mpcod = 0;
    int prvs = 0;
    int cents = 0;
    QDate born;
    bool deleted = false;
};

int sign(int c) {
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
template <typename T> int order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

QByteArray podrKey(const Row& r) {
    return (r.ogrn.leftJustified(15, ' ') + QString::number(r.mpcod).rightJustified(6, ' ') +
            QString::number(r.prvs).rightJustified(2, ' '))
        .toLatin1();
}
QByteArray nameKey(const Row& r) {
    return toOem(r.name.toUpper()).leftJustified(12, ' ');
}
QByteArray dayKey(const Row& r) {
    return (r.born.isValid() ? r.born.toString(QStringLiteral("yyyyMMdd")).toLatin1()
                             : QByteArray(8, ' ')) +
           QString::number(r.prvs).rightJustified(2, ' ').toLatin1();
}
qint64 bornDay(const Row& r) {
    return r.born.isValid() ? r.born.toJulianDay() : std::numeric_limits<qint64>::max();
}

// Character keys compare as prefixes of the bound's length.
bool prefixBetween(const QByteArray& key, const QByteArray& low, const QByteArray& high) {
    return std::memcmp(key.constData(), low.constData(), static_cast<std::size_t>(low.size())) >=
               0 &&
           std::memcmp(key.constData(), high.constData(), static_cast<std::size_t>(high.size())) <=
               0;
}

struct TagModel {
    QString name;
    std::function<int(const Row&, const Row&)> compare;
};

const std::vector<TagModel>& tagModels() {
    static const std::vector<TagModel> tags = {
        {"PODR", [](const Row& a, const Row& b) { return sign(podrKey(a).compare(podrKey(b))); }},
        {"NAME",
         [](const Row& a, const Row& b) {
             return sign(std::memcmp(nameKey(a).constData(), nameKey(b).constData(), 12));
         }},
        {"PRICE", [](const Row& a, const Row& b) { return order(a.cents, b.cents); }},
        {"BORN", [](const Row& a, const Row& b) { return order(bornDay(a), bornDay(b)); }},
        {"MPCOD", [](const Row& a, const Row& b) { return order(a.mpcod, b.mpcod); }},
        {"DAY",
         [](const Row& a, const Row& b) {
             return sign(std::memcmp(dayKey(a).constData(), dayKey(b).constData(), 10));
         }},
    };
    return tags;
}

struct RangeCase {
    QString tag;
    QString low;
    QString high;
    std::function<bool(const Row&)> picks;
};

std::vector<RangeCase> rangeCases() {
    const QString podr = QStringLiteral("7700000000001").leftJustified(15, ' ') +
                         QStringLiteral("12").rightJustified(6, ' ');
    return {
        {"PODR", podr, podr + QChar(0xFF),
         [](const Row& r) { return r.ogrn == QLatin1String("7700000000001") && r.mpcod == 12; }},
        {"NAME", QStringLiteral("Б"), QStringLiteral("ЯК") + QChar(0xFF),
         [](const Row& r) {
             return prefixBetween(nameKey(r), toOem(u"Б"), toOem(u"ЯК") + '\xFF');
         }},
        {"PRICE", QStringLiteral("-10.5"), QStringLiteral("100"),
         [](const Row& r) { return r.cents >= -1050 && r.cents <= 10000; }},
        {"BORN", QStringLiteral("20200101"), QStringLiteral("20201231"),
         [](const Row& r) { return r.born.isValid() && r.born.year() == 2020; }},
        {"MPCOD", QStringLiteral("5"), QStringLiteral("5"),
         [](const Row& r) { return r.mpcod == 5; }},
        {"MPCOD", QString(), QStringLiteral("12"), [](const Row& r) { return r.mpcod <= 12; }},
    };
}

class Model {
public:
    explicit Model(unsigned seed) : m_random(seed) {}

    Row randomRow() {
        static const QStringList syllables = {"ёж", "Ёл", "ка", "abc", "Яков", "я",  "Б",
                                              "б",  "zz", "Ив", "ан",  "ов",   "  ", "Д"};
        static const QStringList ogrns = {"7700000000001", "7700000000002", "1023301234567"};
        static const int codes[] = {1, 5, 12, 123, 1200, 42, 999999};
        Row r;
        r.ogrn = ogrns[pick(ogrns.size())];
        for (int n = pick(4) + 1; n > 0; --n)
            r.name += syllables[pick(syllables.size())];
        r.name = r.name.left(12).trimmed();
        r.mpcod = pick(3) == 0 ? pick(2000) : codes[pick(std::size(codes))];
        r.prvs = pick(100);
        r.cents = pick(200001) - 100000;
        if (pick(5) != 0)
            r.born = QDate(2018, 1, 1).addDays(pick(1500));
        return r;
    }

    int pick(qsizetype n) {
        return std::uniform_int_distribution<int>(0, static_cast<int>(n) - 1)(m_random);
    }

    std::vector<Row> rows;

private:
    std::mt19937 m_random;
};

void write(Table& t, const Row& r) {
    t.setText(u"OGRN", r.ogrn);
    t.setText(u"NAME", r.name);
    t.setInteger(u"MPCOD", r.mpcod);
    t.setInteger(u"PRVS_ID", r.prvs);
    t.setText(u"PRICE", QString::number(r.cents / 100.0, 'f', 2));
    t.setDate(u"BORN", r.born);
}

void append(Table& t, Model& m) {
    const Row r = m.randomRow();
    t.append();
    write(t, r);
    t.post();
    m.rows.push_back(r);
    ASSERT_EQ(t.recNo(), m.rows.size());
}

std::uint32_t randomLive(Model& m) {
    for (;;) {
        const auto r =
            static_cast<std::uint32_t>(m.pick(static_cast<qsizetype>(m.rows.size())) + 1);
        if (!m.rows[r - 1].deleted)
            return r;
    }
}

// Changes some of a record's key fields through the cursor.
void changeKeys(Table& t, Model& m) {
    const std::uint32_t recNo = randomLive(m);
    Row& row = m.rows[recNo - 1];
    const Row fresh = m.randomRow();
    switch (m.pick(4)) {
    case 0:
        row.mpcod = fresh.mpcod;
        break;
    case 1:
        row.name = fresh.name;
        row.prvs = fresh.prvs;
        break;
    case 2:
        row.cents = fresh.cents;
        row.born = fresh.born;
        break;
    default:
        row = fresh;
    }
    t.go(recNo);
    t.edit();
    write(t, row);
    t.post();
}

void remove(Table& t, Model& m) {
    const std::uint32_t recNo = randomLive(m);
    t.go(recNo);
    t.deleteRecord();
    m.rows[recNo - 1].deleted = true;
}

std::vector<std::uint32_t> walkForward(Table& t) {
    std::vector<std::uint32_t> out;
    for (t.first(); !t.eof(); t.next())
        out.push_back(t.recNo());
    return out;
}

std::vector<std::uint32_t> walkBackward(Table& t) {
    std::vector<std::uint32_t> out;
    for (t.last(); !t.bof(); t.prior())
        out.insert(out.begin(), t.recNo());
    return out;
}

// The records listed are exactly those `picks` selects, in key order.
void expectOrdered(const Model& m, const TagModel& tag, const std::vector<std::uint32_t>& listed,
                   const std::function<bool(const Row&)>& picks, const std::string& what) {
    std::set<std::uint32_t> expected;
    for (std::size_t i = 0; i < m.rows.size(); ++i) {
        if (!m.rows[i].deleted && picks(m.rows[i]))
            expected.insert(static_cast<std::uint32_t>(i + 1));
    }
    const std::set<std::uint32_t> got(listed.begin(), listed.end());
    EXPECT_EQ(got.size(), listed.size()) << what << ": a record listed twice";
    EXPECT_EQ(got, expected) << what;
    for (std::size_t i = 0; i + 1 < listed.size(); ++i) {
        const int c = tag.compare(m.rows[listed[i] - 1], m.rows[listed[i + 1] - 1]);
        ASSERT_LE(c, 0) << what << ": records " << listed[i] << " and " << listed[i + 1];
    }
}

void checkAll(Table& t, const Model& m, bool walk) {
    for (const TagModel& tag : tagModels()) {
        t.setActiveTag(tag.name);
        const std::vector<std::uint32_t> listed = t.visibleRecords();
        expectOrdered(
            m, tag, listed, [](const Row&) { return true; }, tag.name.toStdString());
        if (walk) {
            EXPECT_EQ(walkForward(t), listed) << tag.name.toStdString();
            EXPECT_EQ(walkBackward(t), listed) << tag.name.toStdString();
        }
    }
    for (const RangeCase& r : rangeCases()) {
        t.setActiveTag(r.tag);
        t.setRange(r.low, r.high);
        const auto tag = std::find_if(tagModels().begin(), tagModels().end(),
                                      [&](const TagModel& tm) { return tm.name == r.tag; });
        const std::string what =
            (r.tag + QLatin1Char(' ') + r.low + QStringLiteral("..") + r.high).toStdString();
        const std::vector<std::uint32_t> listed = walkForward(t);
        expectOrdered(m, *tag, listed, r.picks, what);
        EXPECT_EQ(t.visibleRecords(), listed) << what;
        t.cancelRange();
    }
}

TEST(IndexProperty, TagsListTheVisibleRecordsInKeyOrderThroughEditsReopenAndPack) {
    const unsigned seed = 20240131;
    SCOPED_TRACE(seed);
    Model m(seed);
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("R.DBF"),
                           {FieldDef::character("OGRN", 15), FieldDef::character("NAME", 12),
                            FieldDef::numeric("MPCOD", 7), FieldDef::numeric("PRVS_ID", 2),
                            FieldDef::numeric("PRICE", 8, 2), FieldDef::date("BORN")});
    for (int i = 0; i < 2000; ++i)
        ASSERT_NO_FATAL_FAILURE(append(*t, m));
    t->createIndex(QStringLiteral("A.MDX"),
                   {{"PODR", "Substr(OGRN,1,15)+Str(MPCOD,6,0)+Str(PRVS_ID,2,0)"},
                    {"NAME", "Upper(NAME)"},
                    {"PRICE", "PRICE"},
                    {"BORN", "BORN"}});
    t->createIndex(QStringLiteral("B.MDX"),
                   {{"MPCOD", "MPCOD"}, {"DAY", "Dtos(BORN)+Str(PRVS_ID,2)"}});
    t->setIndexFiles({QStringLiteral("A.MDX"), QStringLiteral("B.MDX")});
    ASSERT_NO_FATAL_FAILURE(checkAll(*t, m, true));

    for (int batch = 0; batch < 6; ++batch) {
        SCOPED_TRACE(batch);
        for (int i = 0; i < 300; ++i) {
            switch (m.pick(10)) {
            case 0:
            case 1:
            case 2:
            case 3:
                ASSERT_NO_FATAL_FAILURE(append(*t, m));
                break;
            case 4:
                remove(*t, m);
                break;
            default:
                changeKeys(*t, m);
            }
        }
        ASSERT_NO_FATAL_FAILURE(checkAll(*t, m, batch % 2 == 0));
    }

    t->close();
    t->open();
    ASSERT_NO_FATAL_FAILURE(checkAll(*t, m, true));

    t->close();
    t->setExclusive(true);
    t->open();
    t->pack();
    std::erase_if(m.rows, [](const Row& r) { return r.deleted; });
    ASSERT_NO_FATAL_FAILURE(checkAll(*t, m, false));
    t->close();
    t->open();
    ASSERT_NO_FATAL_FAILURE(checkAll(*t, m, true));
}

} // namespace
