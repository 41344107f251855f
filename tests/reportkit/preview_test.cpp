#include "reportkit/preview_window.h"
#include "reportkit/report_output.h"
#include "reportkit/text_layout.h"
#include "sample_report.h"
#include "scripted_ui.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace reportkit;

class PreviewTest : public QObject {
    Q_OBJECT

private:
    static QByteArray head(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.read(5) : QByteArray();
    }

private slots:
    void initTestCase() { installFontSubstitutes(); }

    void navigatesAndZooms() {
        SampleReport s;
        s.addLines(200);
        ScriptedUi ui;
        PreviewWindow w(s.report.prepare(), {}, ui);
        w.show();
        QVERIFY(w.pageCount() >= 4);
        QCOMPARE(w.currentPage(), 0);
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(w.currentPage(), 1);
        QTest::keyClick(&w, Qt::Key_End);
        QCOMPARE(w.currentPage(), w.pageCount() - 1);
        w.goToPage(1000);
        QCOMPARE(w.currentPage(), w.pageCount() - 1);
        QTest::keyClick(&w, Qt::Key_Home);
        QCOMPARE(w.currentPage(), 0);
        w.setZoom(2);
        QCOMPARE(w.zoom(), 2.0);
        QVERIFY(ui.calls.isEmpty());
    }

    void printsThroughThePrintDialogWithOneCopy() {
        QTemporaryDir dir;
        SampleReport s;
        s.addLines(3);
        ScriptedUi ui;
        PreviewWindow w(s.report.prepare(), {}, ui);
        w.printAction()->trigger(); // cancelled in the dialog: nothing printed
        QCOMPARE(ui.calls, QStringList{QStringLiteral("print dialog")});
        QCOMPARE(ui.printerCopies, 1);
        QCOMPARE(ui.printerName, QString()); // no stored printer

        ui.printToFile = dir.filePath(QStringLiteral("printed.pdf"));
        w.printAction()->trigger();
        QCOMPARE(head(ui.printToFile), QByteArray("%PDF-"));
    }

    void savesRtfAfterTheOptionsDialogAndOpensIt() {
        QTemporaryDir dir;
        SampleReport s;
        s.addLines(3);
        ScriptedUi ui;
        PreviewSettings settings;
        settings.proposedFileName = QStringLiteral("Уведомление");
        PreviewWindow w(s.report.prepare(), settings, ui);

        ui.saveAnswer = dir.filePath(QStringLiteral("a.rtf"));
        ui.rtfAnswer = false;
        w.saveRtfAction()->trigger();
        QVERIFY(!QFile::exists(ui.saveAnswer));

        ui.rtfAnswer = true;
        ui.rtfOpenAfter = true;
        w.saveRtfAction()->trigger();
        QCOMPARE(head(ui.saveAnswer), QByteArray("{\\rtf"));
        QCOMPARE(ui.calls.last(), QStringLiteral("open: ") + ui.saveAnswer);
        QCOMPARE(ui.calls.first(),
                 QStringLiteral("save: Сохранить в RTF | Документ RTF (*.rtf) | Уведомление"));
    }

    void savesPdfAndShowsAFailure() {
        QTemporaryDir dir;
        SampleReport s;
        ScriptedUi ui;
        PreviewWindow w(s.report.prepare(), {}, ui);
        ui.saveAnswer = dir.filePath(QStringLiteral("b.pdf"));
        w.savePdfAction()->trigger();
        QCOMPARE(head(ui.saveAnswer), QByteArray("%PDF-"));

        ui.saveAnswer = dir.filePath(QStringLiteral("no/such/dir/c.pdf"));
        w.savePdfAction()->trigger();
        QVERIFY(ui.calls.last().startsWith(QStringLiteral("error: Не удалось записать файл")));

        ui.saveAnswer.clear(); // cancelled: nothing happens
        const qsizetype before = ui.calls.size();
        w.savePdfAction()->trigger();
        QCOMPARE(ui.calls.size(), before + 1);
    }

    void exportWithoutDialogShowsProgressAndOpensTheFile() {
        QTemporaryDir dir;
        SampleReport s;
        s.addLines(100);
        ScriptedUi ui;
        const QString path = dir.filePath(QStringLiteral("word.rtf"));
        QVERIFY(exportRtf(pagesOf(s.report), path, {false, true, true, true}, ui));
        QCOMPARE(ui.calls,
                 QStringList({QStringLiteral("progress: Экспорт в RTF"),
                              QStringLiteral("progress end"), QStringLiteral("open: ") + path}));
        QCOMPARE(ui.progress, QList<int>({1, 3, 2, 3, 3, 3}));
    }
};

QTEST_MAIN(PreviewTest)
#include "preview_test.moc"
