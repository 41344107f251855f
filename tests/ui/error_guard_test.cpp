#include "ui/error_guard.h"
#include "ui/scripted_user_interface.h"
#include "ui/user_interface.h"
#include "xbase/error.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

class ErrorGuardTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::setApplicationTitle(QStringLiteral("Квелларий")); }

    void uncaughtErrorShowsTheGeneralErrorBox() {
        ui::ScriptedUserInterface seam;
        const ui::ScopedUserInterface installed(seam);
        const bool ok = ui::guard([] { throw xbase::Error(QStringLiteral("MO.DBF: сбой")); });
        QVERIFY(!ok);
        QCOMPARE(seam.messages().size(), 1u);
        const auto& m = seam.messages().front();
        QCOMPARE(m.text, QStringLiteral("MO.DBF: сбой"));
        QCOMPARE(m.caption, QStringLiteral("Квелларий"));
        QCOMPARE(m.icon, QMessageBox::Critical);
        QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void anyExceptionIsShownAndAHandlerThatWorksShowsNothing() {
        ui::ScriptedUserInterface seam;
        const ui::ScopedUserInterface installed(seam);
        QVERIFY(ui::guard([] {}));
        QVERIFY(!ui::guard([] { throw std::runtime_error("plain"); }));
        QVERIFY(!ui::guard([] { throw 42; }));
        QCOMPARE(seam.messages().size(), 2u);
        QCOMPARE(seam.messages()[0].text, QStringLiteral("plain"));
        QCOMPARE(seam.messages()[1].text, QStringLiteral("Неизвестная ошибка"));
    }

    // A failing click handler leaves the window working: the next click runs again.
    void aButtonStaysUsableAfterAFailure() {
        ui::ScriptedUserInterface seam;
        const ui::ScopedUserInterface installed(seam);
        QPushButton button(QStringLiteral("Пуск"));
        int runs = 0;
        QObject::connect(&button, &QPushButton::clicked, &button, ui::guarded([&](bool) {
            ++runs;
            throw xbase::Error(QStringLiteral("нет"));
        }));
        button.show();
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(runs, 2);
        QCOMPARE(seam.messages().size(), 2u);
    }

    void busyCursorIsRestoredWhenTheWorkFails() {
        ui::ScriptedUserInterface seam;
        const ui::ScopedUserInterface installed(seam);
        ui::guard([&] {
            const ui::BusyCursor busy;
            QCOMPARE(seam.busyDepth(), 1);
            throw xbase::Error(QStringLiteral("x"));
        });
        QCOMPARE(seam.busyDepth(), 0);
        QCOMPARE(seam.busyCount(), 1);
    }

    void qtSeamUsesTheOverrideCursor() {
        QVERIFY(!QApplication::overrideCursor());
        {
            const ui::BusyCursor busy;
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QVERIFY(!QApplication::overrideCursor());
    }

    void scriptedAnswersComeInOrderThenDefaults() {
        ui::ScriptedUserInterface seam;
        seam.answer(QMessageBox::No);
        const auto yesNo = QMessageBox::Yes | QMessageBox::No;
        QCOMPARE(seam.message("q", "Подтверждение", QMessageBox::Question, yesNo, QMessageBox::Yes),
                 QMessageBox::No);
        QCOMPARE(seam.message("q", "Подтверждение", QMessageBox::Question, yesNo, QMessageBox::Yes),
                 QMessageBox::Yes);
        QCOMPARE(
            seam.message("i", "", QMessageBox::Information, QMessageBox::Ok, QMessageBox::NoButton),
            QMessageBox::Ok);
        QCOMPARE(seam.messages()[2].caption, QStringLiteral("Квелларий"));
        seam.answerSave(QStringLiteral("/tmp/a.rtf"));
        QCOMPARE(seam.saveFileName(nullptr, "Сохранить", "a.rtf", "*.rtf", "rtf"),
                 QStringLiteral("/tmp/a.rtf"));
        QCOMPARE(seam.saveFileName(nullptr, "Сохранить", "a.rtf", "*.rtf", "rtf"), QString());
        QCOMPARE(seam.saveRequests().size(), 2u);
        QCOMPARE(seam.saveRequests()[0].fileName, QStringLiteral("a.rtf"));
        QDialog dialog;
        seam.answerDialog([](QDialog&) { return int(QDialog::Accepted); });
        QCOMPARE(seam.execDialog(dialog), int(QDialog::Accepted));
        QCOMPARE(seam.execDialog(dialog), int(QDialog::Rejected));
        QCOMPARE(seam.dialogsShown(), 2);
    }
};

QTEST_MAIN(ErrorGuardTest)
#include "error_guard_test.moc"
