#pragma once

#include "reportkit/report_ui.h"

#include <QDialog>
#include <QPrinter>
#include <QStringList>
#include <functional>

// Answers the report windows' questions from a script and records what was
// asked, so that the windows run in tests without a dialog on screen.
class ScriptedUi : public reportkit::ReportUi {
public:
    QStringList calls;
    QString saveAnswer;        // the name the save dialog returns ("" = cancelled)
    QString printToFile;       // the print dialog sends the output to this PDF ("" = cancelled)
    bool rtfAnswer = true;     // the RTF options dialog: OK or Cancel
    bool rtfOpenAfter = false; // what the user ticks in it
    int printerCopies = -1;
    QString printerName = QStringLiteral("unset");
    QList<int> progress;

    bool runPrintDialog(QPrinter& printer, QWidget*) override {
        calls << QStringLiteral("print dialog");
        printerCopies = printer.copyCount();
        printerName = printer.printerName();
        if (printToFile.isEmpty()) {
            return false;
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printToFile);
        return true;
    }
    QString askSaveFileName(QWidget*, const QString& title, const QString& filter,
                            const QString& proposedName) override {
        calls << QStringLiteral("save: %1 | %2 | %3").arg(title, filter, proposedName);
        return saveAnswer;
    }
    bool editRtfSettings(reportkit::RtfExportSettings& settings, QWidget*) override {
        calls << QStringLiteral("rtf options");
        settings.openAfterExport = rtfOpenAfter;
        return rtfAnswer;
    }
    void openFile(const QString& path) override { calls << QStringLiteral("open: ") + path; }
    void showError(QWidget*, const QString& text) override {
        calls << QStringLiteral("error: ") + text;
    }
    // Modal windows are recorded by title and not run; the test looks at them.
    std::function<void(QDialog&)> onModal;
    void runModal(QDialog& dialog) override {
        calls << QStringLiteral("modal: ") + dialog.windowTitle();
        if (onModal) {
            onModal(dialog);
        }
    }
    void beginProgress(QWidget*, const QString& label) override {
        calls << QStringLiteral("progress: ") + label;
    }
    void setProgress(int done, int total) override { progress << done << total; }
    void endProgress() override { calls << QStringLiteral("progress end"); }
};
