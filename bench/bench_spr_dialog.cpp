// The reference-book dialog over a settlement book of 100 000 settlements in one
// territorial unit: opening it (with the caller's settlement found by name at the
// start, in the middle and at the end of the unit, or none) and single
// keystrokes of the search (a letter found at once, a letter found at the end,
// a letter no name contains, which walks the rest of the unit).
#include "data/table_files.h"
#include "data/table_layouts.h"
#include "dialogs/Spr.h"
#include "ui/table_grid.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kSettlements = 100000;
constexpr int kUnit = 7;

QString settlementName(int i) {
    return QStringLiteral("д. Посёлок-%1").arg(i);
}

QString kladrDir() {
    static QTemporaryDir dir;
    static const bool built = [] {
        const data::TableLayout& l = data::layout(data::TableId::Kladr);
        xbase::Table::create(data::TableFilePath(dir.path(), l.fileName), l.fields);
        xbase::Table t;
        t.setDirectory(dir.path());
        t.setTableName(l.fileName);
        t.setExclusive(true);
        t.open();
        // A few settlements of other units around the big one.
        for (int i = 1; i <= kSettlements + 200; ++i) {
            t.append();
            t.setInteger(u"ID", i);
            t.setText(u"NAME",
                      i == kSettlements ? QStringLiteral("с. Ясная Поляна") : settlementName(i));
            t.setText(u"CODE", QStringLiteral("33%1").arg(i, 11, 10, QLatin1Char('0')));
            t.setInteger(u"OCATD", i <= kSettlements ? kUnit : i % 5);
            t.post();
        }
        t.createIndex(QStringLiteral("KLADR.MDX"), QStringLiteral("OCATD"),
                      QStringLiteral("OCATD"));
        return true;
    }();
    (void)built;
    return dir.path();
}

std::unique_ptr<dialogs::TSprDlg> openDialog(const QString& name) {
    auto d = std::make_unique<dialogs::TSprDlg>();
    d->PrepareKladr(kladrDir(), QStringLiteral("KLADR.DBF"), QStringLiteral("OCATD"), QChar(), true,
                    name, 0, {}, kUnit);
    return d;
}

// Arg: where the caller's settlement is (0: none given, else its ID).
void BM_OpenDialog(benchmark::State& state) {
    const int at = static_cast<int>(state.range(0));
    const QString name = at == 0 ? QString() : settlementName(at);
    kladrDir();
    for (auto _ : state) {
        auto d = openDialog(name);
        d->grab(); // the first screen of rows is read and drawn
        benchmark::DoNotOptimize(d->currentId());
    }
}
BENCHMARK(BM_OpenDialog)->Arg(0)->Arg(1)->Arg(50000)->Arg(99999)->Unit(benchmark::kMillisecond);

// Arg 0: a letter in the first name; 1: "Я", only in the last settlement of the
// unit; 2: "Ж", in no name (the character is refused after walking the unit).
void BM_Keystroke(benchmark::State& state) {
    const QChar letters[] = {QChar(u'П'), QChar(u'Я'), QChar(u'Ж')};
    const QChar letter = letters[state.range(0)];
    auto d = openDialog(QString());
    for (auto _ : state) {
        d->SearchTyped(letter);
        benchmark::DoNotOptimize(d->searchText());
        state.PauseTiming();
        d->SearchTyped(QChar(8));
        d->HalcyonDataSet3.first();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Keystroke)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Ctrl+L from the first settlement to the last one (the only other match).
void BM_FindNextAcrossTheUnit(benchmark::State& state) {
    auto d = openDialog(QString());
    for (auto _ : state) {
        state.PauseTiming();
        d->HalcyonDataSet3.first();
        d->SearchTyped(QChar(u'Я'));
        d->HalcyonDataSet3.first();
        state.ResumeTiming();
        d->SearchNext();
        state.PauseTiming();
        d->SearchTyped(QChar(8));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FindNextAcrossTheUnit)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
