#pragma once

#include <QString>

class QDialog;
class QPrinter;
class QWidget;

namespace reportkit {

// Settings of the RTF export; the options dialog edits the last three.
struct RtfExportSettings {
    bool showDialog = false;      // the options dialog comes before writing
    bool showProgress = false;    // a progress window while writing
    bool openAfterExport = false; // the written file is opened (its associated program)
    bool pageBreaks = true;
};

// Every place where the report windows need the user: dialogs, opening a file,
// progress. The program uses qtReportUi(); tests put in their own answers.
class ReportUi {
public:
    virtual ~ReportUi() = default;

    // The print dialog on the printer; false when the user cancels.
    virtual bool runPrintDialog(QPrinter& printer, QWidget* parent) = 0;
    // The save dialog; an empty name when the user cancels.
    virtual QString askSaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                    const QString& proposedName) = 0;
    // The RTF export options; false when the user cancels.
    virtual bool editRtfSettings(RtfExportSettings& settings, QWidget* parent) = 0;
    virtual void openFile(const QString& path) = 0;
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // Shows a window of the engine (the preview, the designer) modally.
    virtual void runModal(QDialog& dialog) = 0;

    virtual void beginProgress(QWidget* parent, const QString& label) = 0;
    // total is 0 when the number of pages is not known in advance.
    virtual void setProgress(int done, int total) = 0;
    virtual void endProgress() = 0;
};

// The real dialogs and windows of Qt.
ReportUi& qtReportUi();

} // namespace reportkit
