#include "tool_run.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

ToolResult runTool(const QString& program, const QStringList& arguments, int timeoutMs) {
    ToolResult result;
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        ADD_FAILURE() << program.toStdString()
                      << " is not installed (scripts/install-deps installs it)";
        return result;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(path, arguments);
    result.started = process.waitForStarted();
    if (!result.started || !process.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << program.toStdString() << " did not run to its end";
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    EXPECT_EQ(result.exitCode, 0) << program.toStdString();
    return result;
}

QString pdfText(const QString& pdfPath) {
    return QString::fromUtf8(
        runTool(QStringLiteral("pdftotext"),
                {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdfPath, QStringLiteral("-")})
            .output);
}

QString pdfInfo(const QString& pdfPath) {
    return QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdfPath}).output);
}
