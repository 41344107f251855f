// Index benchmarks: building a tag over a million records (against sorting the
// same keys with std::sort in the same run), exact searches, appends with three
// tags kept, and a walk over a key range.
#include "xbase/dbf_format.h"
#include "xbase/field_codec.h"
#include "xbase/key_expression.h"
#include "xbase/native_file.h"
#include "xbase/table.h"

#include <QDate>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <random>
#include <string>

namespace {

using xbase::FieldDef;
using xbase::Table;

constexpr int kBig = 1000000;
constexpr int kOrganisations = 10;
const QString kKey = QStringLiteral("Substr(OGRN,1,15)+Str(MPCOD,6,0)+Str(PRVS_ID,2,0)");

std::vector<FieldDef> fields() {
    return {FieldDef::character("OGRN", 15), FieldDef::character("CODE_MO", 6),
            FieldDef::numeric("MPCOD", 9), FieldDef::numeric("PRVS_ID", 4),
            FieldDef::character("NAME", 40)};
}

QString ogrn(int i) {
    return QStringLiteral("10233012345%1").arg(i % kOrganisations, 2, 10, QLatin1Char('0'));
}

void fill(Table& t, int i) {
    t.setText(u"OGRN", ogrn(i));
    t.setText(u"CODE_MO", QStringLiteral("330001"));
    t.setInteger(u"MPCOD", (i * 7919) % 50000);
    t.setInteger(u"PRVS_ID", i % 97);
    t.setText(u"NAME", QStringLiteral("Подразделение %1").arg(i));
}

// A table of `records` rows written in one pass (appending a million rows one
// by one would take most of the run).
QString bigTable(QTemporaryDir& dir, int records) {
    const QString path = dir.filePath(QStringLiteral("BIG.DBF"));
    const QByteArray head =
        xbase::buildHeader(fields(), static_cast<std::uint32_t>(records), QDate::currentDate());
    const xbase::TableHeader h = xbase::parseHeader(head, head.size(), path);
    xbase::NativeFile f = xbase::NativeFile::create(path);
    f.write(0, head.constData(), head.size());
    QByteArray chunk;
    QByteArray rec(h.recordLength, ' ');
    std::int64_t at = head.size();
    for (int i = 1; i <= records; ++i) {
        xbase::encodeText(h.fields[0], rec, ogrn(i), true, path);
        xbase::encodeText(h.fields[1], rec, QStringLiteral("330001"), true, path);
        xbase::encodeInteger(h.fields[2], rec, (i * 7919LL) % 50000, path);
        xbase::encodeInteger(h.fields[3], rec, i % 97, path);
        xbase::encodeText(h.fields[4], rec, QStringLiteral("Подразделение %1").arg(i), true, path);
        chunk += rec;
        if (chunk.size() > (1 << 20) || i == records) {
            f.write(at, chunk.constData(), chunk.size());
            at += chunk.size();
            chunk.clear();
        }
    }
    const char end = xbase::kEndOfFile;
    f.write(at, &end, 1);
    return path;
}

struct BigBase {
    QTemporaryDir dir;
    std::vector<FieldDef> layout;
    BigBase() {
        bigTable(dir, kBig);
        Table t;
        t.setDirectory(dir.path());
        t.setTableName(QStringLiteral("BIG.DBF"));
        t.open();
        layout = t.fields();
    }
};

BigBase& big() {
    static BigBase base;
    return base;
}

std::unique_ptr<Table> openBig(bool withTag) {
    auto t = std::make_unique<Table>();
    t->setDirectory(big().dir.path());
    t->setTableName(QStringLiteral("BIG.DBF"));
    if (withTag) {
        t->setIndexFiles({QStringLiteral("BIG.MDX")});
        t->setActiveTag(QStringLiteral("OGRN_MPCOD"));
    }
    t->open();
    return t;
}

// The evaluated keys of every record, as a plain program would hold them.
std::vector<std::string> evaluatedKeys() {
    const xbase::KeyExpression e = xbase::KeyExpression::compile(kKey, big().layout);
    std::vector<std::string> keys;
    keys.reserve(kBig);
    xbase::NativeFile f =
        xbase::NativeFile::open(big().dir.filePath(QStringLiteral("BIG.DBF")),
                                xbase::FileAccess::ReadOnly, xbase::Sharing::Shared);
    QByteArray all(static_cast<qsizetype>(f.size()), '\0');
    f.readExact(0, all.data(), all.size());
    const xbase::TableHeader h = xbase::parseHeader(all, all.size(), f.path());
    for (int r = 0; r < kBig; ++r) {
        const QByteArray k = e.evaluate(all.constData() + h.headerLength + r * h.recordLength);
        keys.emplace_back(k.constData(), static_cast<std::size_t>(k.size()));
    }
    return keys;
}

// Builds the tag and, in the same iteration, sorts the same evaluated keys with
// std::sort; the counters give both times and their ratio.
void BM_CreateTag1MVsStdSort(benchmark::State& state) {
    auto t = openBig(false);
    const std::vector<std::string> keys = evaluatedKeys();
    double build = 0;
    double sort = 0;
    for (auto _ : state) {
        const auto b0 = std::chrono::steady_clock::now();
        t->createIndex(QStringLiteral("BIG.MDX"), QStringLiteral("OGRN_MPCOD"), kKey);
        const auto b1 = std::chrono::steady_clock::now();
        state.PauseTiming();
        std::vector<std::string> copy = keys;
        state.ResumeTiming();
        const auto s0 = std::chrono::steady_clock::now();
        std::sort(copy.begin(), copy.end());
        const auto s1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(copy.data());
        build += std::chrono::duration<double>(b1 - b0).count();
        sort += std::chrono::duration<double>(s1 - s0).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["build_s"] = build / n;
    state.counters["sort_s"] = sort / n;
    state.counters["build_per_sort"] = build / sort;
}
BENCHMARK(BM_CreateTag1MVsStdSort)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FindKey100k(benchmark::State& state) {
    {
        auto t = openBig(false);
        t->createIndex(QStringLiteral("BIG.MDX"), QStringLiteral("OGRN_MPCOD"), kKey);
    }
    auto t = openBig(true);
    std::mt19937 random(7);
    std::vector<QString> keys;
    for (int i = 0; i < 100000; ++i) {
        const int r = std::uniform_int_distribution<int>(1, kBig)(random);
        keys.push_back(ogrn(r).leftJustified(15, QLatin1Char(' ')) +
                       QString::number((r * 7919LL) % 50000).rightJustified(6, QLatin1Char(' ')) +
                       QString::number(r % 97).rightJustified(2, QLatin1Char(' ')));
    }
    std::int64_t found = 0;
    for (auto _ : state) {
        for (const QString& k : keys)
            found += t->findKey(k) ? 1 : 0;
    }
    if (found != static_cast<std::int64_t>(state.iterations()) * 100000)
        state.SkipWithError("a key was not found");
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_FindKey100k)->Unit(benchmark::kMillisecond);

// Arg: 0 = shared (locks on every post), 1 = exclusive.
void BM_Append100kThreeTags(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        Table::create(dir.filePath(QStringLiteral("A.DBF")), fields());
        auto t = std::make_unique<Table>();
        t->setDirectory(dir.path());
        t->setTableName(QStringLiteral("A.DBF"));
        t->setExclusive(state.range(0) == 1);
        t->open();
        t->createIndex(QStringLiteral("A.MDX"),
                       {{QStringLiteral("OGRN_MPCOD"), kKey},
                        {QStringLiteral("NAME"), QStringLiteral("Upper(NAME)")},
                        {QStringLiteral("MPCOD"), QStringLiteral("MPCOD")}});
        t->setIndexFiles({QStringLiteral("A.MDX")});
        state.ResumeTiming();
        for (int i = 1; i <= 100000; ++i) {
            t->append();
            fill(*t, i);
            t->post();
        }
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Append100kThreeTags)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// One organisation's records (a tenth of the table) in key order.
void BM_RangeWalk(benchmark::State& state) {
    {
        auto t = openBig(false);
        t->createIndex(QStringLiteral("BIG.MDX"), QStringLiteral("OGRN_MPCOD"), kKey);
    }
    auto t = openBig(true);
    const QString low = ogrn(3);
    std::int64_t rows = 0;
    for (auto _ : state) {
        t->setRange(low, low + QChar(0xFF));
        for (; !t->eof(); t->next())
            ++rows;
    }
    state.SetItemsProcessed(rows);
}
BENCHMARK(BM_RangeWalk)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
