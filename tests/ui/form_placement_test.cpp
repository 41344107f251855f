#include "ui/form_placement.h"
#include "ui/ini_file.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

class FormPlacementTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath("kvellary.INI"); }

private slots:
    void init() { QFile::remove(ini()); }

    void placementSurvivesARestart() {
        const ui::FormPlacement placement(ini(), "TForm2", ui::FormPlacement::KeepState::No);
        {
            QWidget w;
            w.setGeometry(110, 120, 530, 340);
            placement.save(w, {{"Grid1Height", 300}});
        }
        QWidget again;
        again.resize(10, 10);
        placement.restore(again);
        QCOMPARE(again.geometry(), QRect(110, 120, 530, 340));
        QCOMPARE(placement.number("Grid1Height"), std::optional<int>(300));
        QCOMPARE(placement.number("Missing"), std::nullopt);
        QCOMPARE(ui::IniFile(ini()).value("TForm2", "State"), std::nullopt);
    }

    void stateIsKeptWhenWanted() {
        const ui::FormPlacement placement(ini(), "TMainFormKvell1",
                                          ui::FormPlacement::KeepState::Yes);
        {
            QWidget w;
            w.setGeometry(50, 60, 400, 300);
            w.setWindowState(Qt::WindowMaximized);
            placement.save(w, {});
        }
        QWidget again;
        placement.restore(again);
        QVERIFY(again.windowState() & Qt::WindowMaximized);
        QCOMPARE(ui::IniFile(ini()).value("TMainFormKvell1", "State"), QByteArray("2"));
    }

    void noSavedPlacementLeavesTheWindowAlone() {
        QWidget w;
        w.setGeometry(10, 20, 300, 200);
        ui::FormPlacement(ini(), "TForm21", ui::FormPlacement::KeepState::Yes).restore(w);
        QCOMPARE(w.geometry(), QRect(10, 20, 300, 200));
    }

    // A placement from a screen that is no longer there keeps the size only.
    void offScreenPositionIsNotApplied() {
        ui::IniFile file(ini());
        for (const auto& [k, v] :
             {std::pair{"Left", "-90000"}, {"Top", "-90000"}, {"Width", "500"}, {"Height", "400"}})
            file.setValue("TForm21", k, v);
        file.save();
        QWidget w;
        w.setGeometry(10, 20, 300, 200);
        ui::FormPlacement(ini(), "TForm21", ui::FormPlacement::KeepState::No).restore(w);
        QCOMPARE(w.size(), QSize(500, 400));
        QCOMPARE(w.pos(), QPoint(10, 20));
    }
};

QTEST_MAIN(FormPlacementTest)
#include "form_placement_test.moc"
