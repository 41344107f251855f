#include "report_output.h"

#include "paint_output.h"
#include "rtf_output.h"

#include <QPrinter>

namespace reportkit {

PageProducer pagesOf(const Report& report) {
    return [&report](PageSink& sink) { report.render(sink); };
}

PageProducer pagesOf(const PreparedReport& prepared) {
    return [&prepared](PageSink& sink) { prepared.replay(sink); };
}

bool exportRtf(const PageProducer& pages, const QString& path, RtfExportSettings settings,
               ReportUi& ui, QWidget* parent) {
    if (settings.showDialog && !ui.editRtfSettings(settings, parent)) {
        return false;
    }
    {
        RtfOutput rtf(path);
        rtf.setPageBreaks(settings.pageBreaks);
        // The progress window goes away however the writing ends.
        struct ProgressWindow {
            ReportUi* ui;
            ~ProgressWindow() {
                if (ui != nullptr) {
                    ui->endProgress();
                }
            }
        } progress{settings.showProgress ? &ui : nullptr};
        if (settings.showProgress) {
            ui.beginProgress(parent, QStringLiteral("Экспорт в RTF"));
            rtf.setProgress([&ui](int done, int total) { ui.setProgress(done, total); });
        }
        pages(rtf);
    }
    if (settings.openAfterExport) {
        ui.openFile(path);
    }
    return true;
}

bool printReport(const PageProducer& pages, const PrintOptions& options, ReportUi& ui,
                 QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    if (!options.printerName.isEmpty()) {
        printer.setPrinterName(options.printerName);
    }
    printer.setCopyCount(options.copies);
    printer.setFullPage(true);
    if (options.showDialog && !ui.runPrintDialog(printer, parent)) {
        return false;
    }
    PagedOutput output(printer);
    pages(output);
    return true;
}

} // namespace reportkit
