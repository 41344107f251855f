// The grid adapter over large tables: opening a grid (the model plus the rows
// of one screen) against reading every row, which an adapter that loads the
// whole table up front would do.
#include "data/table_layouts.h"
#include "ui/table_model.h"
#include "xbase/table.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

constexpr int kScreenRows = 40;

std::vector<ui::GridColumn> podrColumns() {
    return {{"N_PODR", "Подразделение", 100},
            {"C_PODR", "Код МИАЦ"},
            {"ADDR", "Адрес по данным МИАЦ", 150},
            {"FAM_RUK", "Руководитель (Фамилия)"},
            {"PHONE", "Телефон"},
            {"MPCOD", "MPCOD"}};
}

// One subdivision table per size, built once per run.
xbase::Table& podrTable(int records) {
    static QTemporaryDir dir;
    static std::map<int, std::unique_ptr<xbase::Table>> tables;
    auto& t = tables[records];
    if (t)
        return *t;
    const QString name = QStringLiteral("PODR%1.DBF").arg(records);
    xbase::Table::create(dir.filePath(name), data::layout(data::TableId::Podr).fields);
    t = std::make_unique<xbase::Table>();
    t->setDirectory(dir.path());
    t->setTableName(name);
    t->setExclusive(true);
    t->open();
    for (int i = 1; i <= records; ++i) {
        t->append();
        t->setText(u"N_PODR", QStringLiteral("Поликлиника № %1").arg(i));
        t->setText(u"C_PODR", QString::number(33010000 + i));
        t->setText(u"ADDR", QStringLiteral("333001, Сарвенская обл., г. Сарвенск, д. %1").arg(i));
        t->setText(u"FAM_RUK", QStringLiteral("Петрова"));
        t->setText(u"PHONE", QStringLiteral("8-4922-324510"));
        t->setInteger(u"MPCOD", i);
        t->post();
    }
    t->first();
    return *t;
}

void readRows(const ui::TableModel& model, int rows, benchmark::State& state) {
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < model.columnCount(); ++c)
            benchmark::DoNotOptimize(model.data(model.index(r, c)));
    }
    state.counters["rows"] = rows;
}

void BM_OpenGrid(benchmark::State& state) {
    xbase::Table& table = podrTable(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const ui::TableModel model(table, podrColumns());
        readRows(model, kScreenRows, state);
    }
}

void BM_ReadEveryRow(benchmark::State& state) {
    xbase::Table& table = podrTable(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const ui::TableModel model(table, podrColumns());
        readRows(model, model.rowCount(), state);
    }
}

BENCHMARK(BM_OpenGrid)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryRow)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
