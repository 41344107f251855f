// Report engine: a 60 000-row report with stretching text, laid out page by
// page and written as RTF and as PDF, against keeping every page in memory.
// Counters: pages, pages per second, peak resident memory during the run and
// how much of it came on top of the data.
#include "reportkit/mem_table.h"
#include "reportkit/paint_output.h"
#include "reportkit/report.h"
#include "reportkit/rtf_output.h"
#include "reportkit/template_file.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <string>

using namespace reportkit;

namespace {

constexpr int kRows = 60000;

const char* const kTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1">
  <page paper="A4" left="10" top="10" right="10" bottom="10">
    <band kind="pageHeader" height="8">
      <text x="0" y="0" width="190" height="6" align="right">Страница [Page] из [TotalPages]</text>
    </band>
    <band kind="reportTitle" height="15">
      <text x="0" y="0" width="190" height="10" size="14" bold="true" align="center">Перечень</text>
    </band>
    <band kind="masterData" dataSource="Lines" height="6">
      <text x="0" y="0" width="15" height="6" frames="all">[Lines."NUM"]</text>
      <text x="15" y="0" width="120" height="6" frames="all" stretch="true">[Lines."NAME"]</text>
      <text x="135" y="0" width="55" height="6" frames="all" stretch="true">[Lines."VALUE"]</text>
    </band>
    <band kind="pageFooter" height="6">
      <text x="0" y="0" width="190" height="6">Напечатано [Date]</text>
    </band>
  </page>
</report>
)";

// Resident memory in KiB from /proc (0 where there is none): the current size
// or the peak since the last reset.
long memoryKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stol(line.substr(std::string(key).size()));
        }
    }
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Counts the pages on their way to an output (or to nowhere).
class PageCounter : public PageSink {
public:
    explicit PageCounter(PageSink* target = nullptr) : m_target(target) {}
    int pages = 0;

    void beginDocument(const DocumentInfo& info) override {
        if (m_target != nullptr) {
            m_target->beginDocument(info);
        }
    }
    void addPage(const PreparedPage& page) override {
        ++pages;
        if (m_target != nullptr) {
            m_target->addPage(page);
        }
    }
    void endDocument() override {
        if (m_target != nullptr) {
            m_target->endDocument();
        }
    }

private:
    PageSink* m_target;
};

struct Fixture {
    MemTable lines{QStringLiteral("Lines"),
                   {{QStringLiteral("NUM"), FieldType::Text, 10},
                    {QStringLiteral("NAME"), FieldType::Text, 0},
                    {QStringLiteral("VALUE"), FieldType::Text, 100}}};
    Report report;

    Fixture() {
        report.setModel(parseTemplate(kTemplate, QStringLiteral("bench.fr3")));
        report.setDataSource(QStringLiteral("Lines"), &lines);
        lines.open();
        for (int i = 1; i <= kRows; ++i) {
            lines.append();
            lines.setText(QStringLiteral("NUM"), QString::number(i));
            // One row in five takes three or four lines.
            lines.setText(QStringLiteral("NAME"),
                          i % 5 == 0 ? QStringLiteral("Профиль медицинской помощи %1, оказываемой "
                                                      "в рамках территориальной программы ОМС по "
                                                      "месту нахождения структурного подразделения")
                                           .arg(i)
                                     : QStringLiteral("Подразделение %1").arg(i));
            lines.setText(QStringLiteral("VALUE"), QStringLiteral("Приложение к строке %1").arg(i));
            lines.post();
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

template <typename MakeSink> void run(benchmark::State& state, MakeSink makeSink) {
    Fixture& f = fixture();
    const long data = memoryKiB("VmRSS:");
    resetPeak();
    int pages = 0;
    for (auto _ : state) {
        pages = makeSink(f.report);
    }
    const long peak = memoryKiB("VmHWM:");
    state.counters["pages"] = pages;
    state.counters["pages_per_s"] =
        benchmark::Counter(double(pages) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_MiB"] = double(peak) / 1024;
    state.counters["over_data_MiB"] = double(peak - data) / 1024;
}

void BM_LayoutPageByPage(benchmark::State& state) {
    run(state, [](const Report& report) {
        PageCounter counter;
        report.render(counter);
        return counter.pages;
    });
}

void BM_LayoutKeepingAllPages(benchmark::State& state) {
    run(state, [](const Report& report) { return int(report.prepare().pages.size()); });
}

// Lays the report out page by page straight into an output file.
template <typename Output> void writeFile(benchmark::State& state, const char* name) {
    QTemporaryDir dir;
    run(state, [&](const Report& report) {
        Output output(dir.filePath(QString::fromLatin1(name)));
        PageCounter counter(&output);
        report.render(counter);
        return counter.pages;
    });
}

void BM_WriteRtf(benchmark::State& state) {
    writeFile<RtfOutput>(state, "bench.rtf");
}

void BM_WritePdf(benchmark::State& state) {
    writeFile<PdfOutput>(state, "bench.pdf");
}

} // namespace

// Keeping all pages goes last: the memory it frees stays with the process and
// would hide what the others need.
BENCHMARK(BM_LayoutPageByPage)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_WriteRtf)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_WritePdf)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_LayoutKeepingAllPages)->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutes();
    fixture();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
