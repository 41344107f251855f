#pragma once

#include "prepared.h"
#include "report.h"
#include "report_ui.h"

#include <functional>

class QWidget;

namespace reportkit {

// Whatever hands out pages: a report laid out page by page as it is written,
// or pages prepared before (the preview's).
using PageProducer = std::function<void(PageSink&)>;
PageProducer pagesOf(const Report& report);
PageProducer pagesOf(const PreparedReport& prepared);

// Writes an RTF file. With settings.showDialog the options dialog comes first
// (false, nothing written, when the user cancels); a progress window while
// writing with settings.showProgress; the file is opened afterwards with
// settings.openAfterExport. Error when the file cannot be written.
bool exportRtf(const PageProducer& pages, const QString& path, RtfExportSettings settings,
               ReportUi& ui, QWidget* parent = nullptr);

// Prints through QPrinter with the options: the print dialog first when asked
// (false when the user cancels), the number of copies, the named printer or
// the default one.
bool printReport(const PageProducer& pages, const PrintOptions& options, ReportUi& ui,
                 QWidget* parent = nullptr);

} // namespace reportkit
