#pragma once

#include <QString>
#include <QStringList>

// Runs an outside program the tests compare against (pdftotext, soffice). A
// missing program is a test failure, never a skip: scripts/install-deps puts
// them on the machine.
struct ToolResult {
    bool started = false;
    int exitCode = -1;
    QByteArray output;
};
ToolResult runTool(const QString& program, const QStringList& arguments, int timeoutMs = 60000);

// pdftotext of a PDF file (UTF-8 text, one page after another).
QString pdfText(const QString& pdfPath);
// The lines of pdfinfo about a PDF file, e.g. "Pages:" and "Page size:".
QString pdfInfo(const QString& pdfPath);
