#include "reportkit/design_canvas.h"
#include "reportkit/designer_window.h"
#include "reportkit/template_file.h"
#include "reportkit/text_layout.h"
#include "sample_report.h"
#include "scripted_ui.h"

#include <QAction>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace reportkit;

namespace {

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The sample template written by us, so that an unchanged save is identical.
QString copyOfSample(const QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("Report4.fr3"));
    saveTemplateFile(*loadTemplateFile(fixturePath("sample.fr3")), path);
    return path;
}

// A designer on a copy of the sample template, with scripted answers.
struct Session {
    QTemporaryDir dir;
    QString path = copyOfSample(dir);
    SampleReport s;
    bool loaded = s.report.loadFromFile(path);
    ScriptedUi ui;
    DesignerWindow w{s.report, ui};
};

// Presses the left button at `from`, moves by `by` pixels and releases.
void drag(QWidget* canvas, QPoint from, QPointF by) {
    QTest::mousePress(canvas, Qt::LeftButton, {}, from);
    const QPointF to = from + by;
    QMouseEvent move(QEvent::MouseMove, to, canvas->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, to.toPoint());
}

} // namespace

class DesignerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutes(); }

    void scriptedEditChangesExactlyThatInTheFile() {
        Session t;
        const QByteArray before = read(t.path);
        DesignerWindow& w = t.w;
        w.show();

        // Click the "Name" cell of the data band, move it 3 mm right with the keys.
        DesignCanvas* canvas = w.canvas();
        QTest::mouseClick(canvas, Qt::LeftButton, {}, canvas->objectRect(2, 1).center().toPoint());
        QCOMPARE(w.selection(), (DesignSelection{2, 1}));
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(canvas, Qt::Key_Right);
        }
        // Replace its text, inserting a field from the list.
        w.textEditor()->selectAll();
        w.textEditor()->insertPlainText(QStringLiteral("Имя: ")); // as typed over the selection
        QListWidgetItem* field =
            w.fieldList()->findItems(QStringLiteral("Lines.VALUE"), Qt::MatchExactly).value(0);
        QVERIFY(field != nullptr);
        emit w.fieldList()->itemDoubleClicked(field);
        w.saveAction()->trigger();
        QCOMPARE(t.ui.calls, QStringList());

        const QList<QByteArray> a = before.split('\n');
        const QList<QByteArray> b = read(t.path).split('\n');
        QCOMPARE(a.size(), b.size());
        QStringList changed;
        for (int i = 0; i < a.size(); ++i) {
            if (a[i] != b[i]) {
                changed << QString::fromUtf8(b[i]).trimmed();
            }
        }
        QCOMPARE(
            changed,
            QStringList{QStringLiteral(
                R"(<text name="Name" x="18" y="0" width="120" height="6" font="Arial" size="9.75" frames="all" stretch="true">Имя: [Lines.&quot;VALUE&quot;]</text>)")});
        Report again;
        QVERIFY(again.loadFromFile(t.path));
        QVERIFY(again.model() == w.model());
        QVERIFY(t.s.report.model() == w.model());
    }

    void addsDeletesAndUndoes() {
        Session t;
        DesignerWindow& w = t.w;
        const Template original = w.model();
        QVERIFY(!w.canUndo());

        w.select({2, -1});
        w.addTextObject();
        QCOMPARE(w.model().pages[0].bands[2].objects.size(), std::size_t(4));
        QCOMPARE(w.model().pages[0].bands[2].objects[3].name, QStringLiteral("Text1"));
        QCOMPARE(w.model().pages[0].bands[2].objects[3].font, FontStyle()); // Arial, 13 px
        w.addBand(BandKind::GroupHeader);
        QCOMPARE(w.model().pages[0].bands[3].kind, BandKind::GroupHeader);
        w.nudge(0, 2, false); // a band: its height grows
        QCOMPARE(w.model().pages[0].bands[3].height, 12.0);
        w.select({0, -1});
        QTest::keyClick(w.canvas(), Qt::Key_Delete);
        QCOMPARE(w.model().pages[0].bands.size(), std::size_t(5));
        QCOMPARE(w.model().pages[0].bands[0].kind, BandKind::ReportTitle);

        for (int i = 0; i < 4; ++i) {
            w.undo();
        }
        QVERIFY(w.model() == original);
        QVERIFY(!w.canUndo());
    }

    void dragsAndResizesWithTheMouse() {
        Session t;
        DesignerWindow& w = t.w;
        w.show();
        DesignCanvas* canvas = w.canvas();
        const double ppm = canvas->pxPerMm();
        drag(canvas, canvas->objectRect(2, 0).center().toPoint(), {10 * ppm, 0});
        QCOMPARE(w.model().pages[0].bands[2].objects[0].x, 10.0);
        drag(canvas, canvas->objectRect(2, 0).bottomRight().toPoint(), {0, 4 * ppm});
        QCOMPARE(w.model().pages[0].bands[2].objects[0].height, 10.0);
        w.undo();
        QCOMPARE(w.model().pages[0].bands[2].objects[0].height, 6.0);
        QCOMPARE(w.model().pages[0].bands[2].objects[0].x, 10.0);
    }

    void previewsTheEditedTemplateAndReportsItsErrors() {
        Session t;
        t.s.addLines(3);
        int pages = 0;
        t.ui.onModal = [&](QDialog& d) { pages = static_cast<PreviewWindow&>(d).pageCount(); };
        t.w.preview();
        QCOMPARE(t.ui.calls, QStringList{QStringLiteral("modal: Предварительный просмотр")});
        QCOMPARE(pages, 1);

        t.w.select({2, 1});
        t.w.textEditor()->setPlainText(QStringLiteral("[Lines.\"NOPE\"]"));
        t.w.preview();
        QVERIFY(t.ui.calls.last().contains(QStringLiteral("нет поля «NOPE»")));
    }

    void newTemplateStartsWithTheDefaultsAndAsksForAName() {
        QTemporaryDir dir;
        Report report;
        ScriptedUi ui;
        DesignerWindow w(report, ui);
        const Page& page = w.model().pages.at(0);
        QCOMPARE(page.paper, PaperSize::a4());
        QCOMPARE(page.orientation, Orientation::Portrait);
        QCOMPARE(page.leftMargin + page.topMargin + page.rightMargin + page.bottomMargin, 40.0);
        w.addBand(BandKind::ReportTitle);
        ui.saveAnswer = dir.filePath(QStringLiteral("new.fr3"));
        QVERIFY(w.save());
        QCOMPARE(report.fileName(), ui.saveAnswer);
        QCOMPARE(loadTemplateFile(ui.saveAnswer)->pages.at(0).bands.size(), std::size_t(1));
    }
};

QTEST_MAIN(DesignerTest)
#include "designer_test.moc"
