// Table engine benchmarks. bench/compare-python-dbf runs the same work with
// python3-dbf and prints the ratios.
#include "xbase/table.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <string>

namespace {

using xbase::FieldDef;
using xbase::Table;

constexpr int kRecords = 100000;

std::vector<FieldDef> twelveFields() {
    return {FieldDef::character("NAME", 40),    FieldDef::character("ADDR", 80),
            FieldDef::numeric("ID", 9),         FieldDef::numeric("KIND", 4),
            FieldDef::date("D_START"),          FieldDef::date("D_END"),
            FieldDef::character("CODE", 13),    FieldDef::character("PHONE", 20),
            FieldDef::numeric("AMOUNT", 10, 2), FieldDef::character("NOTE", 30),
            FieldDef::numeric("UNIT", 9),       FieldDef::character("FLAG", 1)};
}

void fillRecord(Table& t, int i) {
    t.setText(u"NAME", QStringLiteral("Поликлиника № %1").arg(i));
    t.setText(u"ADDR", QStringLiteral("г. Сарвенск, ул. Ленина, д. %1").arg(i % 300));
    t.setInteger(u"ID", i);
    t.setInteger(u"KIND", i % 73);
    t.setDate(u"D_START", QDate(2016, 9, 27).addDays(i % 1000));
    t.setDate(u"D_END", QDate());
    t.setText(u"CODE", QStringLiteral("3300000000000"));
    t.setText(u"PHONE", QStringLiteral("8-4922-%1").arg(i % 100000, 6, 10, QLatin1Char('0')));
    t.setText(u"AMOUNT", QString::number(i % 1000) + QStringLiteral(".50"));
    t.setText(u"NOTE", QStringLiteral("примечание"));
    t.setInteger(u"UNIT", i % 19 + 1);
    t.setText(u"FLAG", QStringLiteral("*"));
}

std::unique_ptr<Table> openTable(const QString& dir, bool exclusive) {
    auto t = std::make_unique<Table>();
    t->setDirectory(dir);
    t->setTableName(QStringLiteral("BENCH.DBF"));
    t->setExclusive(exclusive);
    t->open();
    return t;
}

void buildTable(const QString& dir, int records) {
    Table::create(dir + QStringLiteral("/BENCH.DBF"), twelveFields());
    auto t = openTable(dir, true);
    for (int i = 1; i <= records; ++i) {
        t->append();
        fillRecord(*t, i);
        t->post();
    }
}

// Arg 0: 0 = shared (header and append locks per post), 1 = exclusive.
void BM_Append100k(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir dir;
        Table::create(dir.filePath(QStringLiteral("BENCH.DBF")), twelveFields());
        auto t = openTable(dir.path(), state.range(0) == 1);
        for (int i = 1; i <= kRecords; ++i) {
            t->append();
            fillRecord(*t, i);
            t->post();
        }
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Append100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ScanAllFieldsAsText(benchmark::State& state) {
    QTemporaryDir dir;
    buildTable(dir.path(), kRecords);
    auto t = openTable(dir.path(), false);
    for (auto _ : state) {
        std::size_t chars = 0;
        for (t->first(); !t->eof(); t->next()) {
            for (const FieldDef& f : t->fields())
                chars += static_cast<std::size_t>(t->text(f.name).size());
        }
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ScanAllFieldsAsText)->Unit(benchmark::kMillisecond);

void BM_EditPostEveryRecord(benchmark::State& state) {
    QTemporaryDir dir;
    buildTable(dir.path(), kRecords);
    auto t = openTable(dir.path(), false);
    int round = 0;
    for (auto _ : state) {
        ++round;
        for (t->first(); !t->eof(); t->next()) {
            t->edit();
            t->setInteger(u"KIND", round % 70);
            t->post();
        }
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_EditPostEveryRecord)->Unit(benchmark::kMillisecond);

void BM_PackHalfDeleted(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        buildTable(dir.path(), kRecords);
        auto t = openTable(dir.path(), true);
        for (t->first(); !t->eof();) {
            t->deleteRecord(); // moves to the next record
            t->next();
        }
        state.ResumeTiming();
        t->pack();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PackHalfDeleted)->Unit(benchmark::kMillisecond)->Iterations(3);

long residentPeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// A scan of a 1 GB table: resident memory must not grow with the table.
void BM_ScanOneGigabyte(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("BENCH.DBF"));
    Table::create(path, twelveFields());
    QByteArray record;
    {
        auto t = openTable(dir.path(), true);
        t->append();
        fillRecord(*t, 1);
        record = t->recordBuffer();
        t->cancel();
    }
    const std::int64_t records = (1ll << 30) / record.size();
    {
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.seek(f.size() - 1); // over the end mark
        const QByteArray block = record.repeated(4096);
        for (std::int64_t written = 0; written < records; written += 4096)
            f.write(block.constData(),
                    std::min<std::int64_t>(4096, records - written) * record.size());
    }
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5"; // resets the peak resident size
    }
    const long before = residentPeakKiB();
    for (auto _ : state) {
        auto t = openTable(dir.path(), false);
        std::int64_t n = 0;
        for (t->first(); !t->eof(); t->next()) {
            benchmark::DoNotOptimize(t->text(u"NAME"));
            ++n;
        }
        if (n != records)
            state.SkipWithError("wrong record count");
    }
    state.counters["peak_growth_MiB"] = (residentPeakKiB() - before) / 1024.0;
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_ScanOneGigabyte)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
