#include "UnitMainFormKvell.h"
#include "configuration.h"
#include "demo_base.h"
#include "test_base.h"
#include "ui/button_edit.h"
#include "ui/ini_file.h"
#include "ui/scripted_user_interface.h"
#include "ui/table_grid.h"
#include "ui/table_model.h"
#include "xbase/codepage.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using data::TableId;
using State = xbase::Table::State;

namespace {

const QString kSecondCopy =
    QStringLiteral("Программа запущена второй раз.\r\nЗакройте, пожалуйста, оба варианта.");

// One table of the base read after the program closed it.
struct Stored {
    Stored(const QString& dir, TableId id) {
        table.setDirectory(dir);
        table.setTableName(data::layout(id).fileName);
        table.open();
    }
    xbase::Table table;
};

// What the second copy in its own process saw.
struct ProbeReport {
    QStringList messages; // "caption|icon|text"
    QString open;
    int moState = -1;
    bool closed = false;
};

ProbeReport runProbe(const QString& base, const QString& ini) {
    QProcess probe;
    probe.start(QStringLiteral(STARTUP_PROBE_PATH), {base, ini});
    if (!probe.waitForFinished(30000))
        qFatal("the probe did not finish");
    ProbeReport r;
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n');
    for (const QString& line : lines) {
        const QStringList parts = line.split('\t');
        if (parts[0] == "message" && parts.size() == 4)
            r.messages << parts[1] + '|' + parts[2] + '|' + parts[3];
        else if (parts[0] == "open" && parts.size() == 2)
            r.open = parts[1].trimmed();
        else if (parts[0] == "mo" && parts.size() == 2)
            r.moState = parts[1].toInt();
        else if (parts[0] == "closed")
            r.closed = true;
    }
    return r;
}

// Types text as the user would, Cyrillic included.
void type(QWidget* widget, const QString& text) {
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, ch == ' ' ? Qt::Key_Space : Qt::Key_unknown,
                            QString(ch), Qt::NoModifier);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ui::ScriptedUserInterface> m_seam;
    std::unique_ptr<ui::ScopedUserInterface> m_installed;

    QString base() const { return m_dir->filePath("BASE"); }
    QString ini() const { return m_dir->filePath("kvellary.INI"); }
    const ui::ScriptedUserInterface& seam() const { return *m_seam; }

    // An organisation with the given MO fields and nothing else.
    void createBaseWithMo(const test_support::Fields& mo) {
        test_support::createEmptyBase(base());
        test_support::appendRecord(base(), TableId::Mo, mo);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        app::BaseDir = base();
        app::ConfigFileName = ini();
        app::ReportDesignAllowed = false;
        ui::setApplicationTitle(QStringLiteral("Квелларий"));
        m_seam = std::make_unique<ui::ScriptedUserInterface>();
        m_installed = std::make_unique<ui::ScopedUserInterface>(*m_seam);
    }

    void cleanup() {
        m_installed.reset();
        m_seam.reset();
        m_dir.reset();
    }

    void startsOnTheDemoBase() {
        demo::buildDemoBase(base());
        TMainFormKvell1 w;
        QVERIFY(seam().messages().empty());
        app::MainTables& t = w.tables();
        QCOMPARE(t.HalcyonDataSet3.state(), State::Edit);
        QVERIFY(!t.HalcyonDataSet3.exclusive());
        for (xbase::Table* x :
             {&t.HalcyonDataSet1, &t.HalcyonDataSet7, &t.HalcyonDataSetPodr, &t.HalcyonDataSet71}) {
            QVERIFY2(x->isOpen() && x->exclusive(), qPrintable(x->tableName()));
        }
        QVERIFY(t.HalcyonDataSet2.isOpen() && !t.HalcyonDataSet2.exclusive());
        QCOMPARE(t.HalcyonDataSet2.indexFiles(), QStringList("PRVS2.MDX"));
        QVERIFY(t.HalcyonDataSet2.tagNames().contains("ID"));
        QVERIFY(!t.T_FFOMS.isOpen());

        QCOMPARE(w.windowTitle(),
                 QStringLiteral("УВЕДОМЛЕНИЕ о включении в реестр медицинских организаций, "
                                "осуществляющих деятельность в сфере ОМС"));
        QCOMPARE(w.StatusBar1Panel->text(), app::BaseDir);
        QVERIFY(w.DataSource1->rowCount() > 0);
        QCOMPARE(std::size_t(w.DataSource1->rowCount()), t.HalcyonDataSet1.visibleRecords().size());
        QCOMPARE(std::size_t(w.DataSource2->rowCount()),
                 t.HalcyonDataSetPodr.visibleRecords().size());
        QCOMPARE(w.DataSource1->index(0, 1).data().toString(), t.HalcyonDataSet1.text(u"N_DOC"));
        QCOMPARE(w.DataSource2->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("Адрес по данным МИАЦ"));

        const xbase::Table& mo = t.HalcyonDataSet3;
        QVERIFY(!w.DBEdit1->text().isEmpty());
        QCOMPARE(w.DBEdit1->text(), mo.text(u"NAM_MOP"));
        QCOMPARE(w.DBEdit1->maxLength(), 250);
        QCOMPARE(w.DBEdit13->text(), mo.text(u"MCOD"));
        QCOMPARE(w.DBEdit13->maxLength(), 6);
        QCOMPARE(w.EditOPF->lineEdit().text(), mo.text(u"OKOPF_"));
        QVERIFY(w.EditOPF->lineEdit().isReadOnly());
        QCOMPARE(w.EditOPF->lineEdit().cursorPosition(), 0); // a long name shows its start
        QVERIFY(w.EditVedPr->lineEdit().isReadOnly());
        QCOMPARE(w.ComboBox1->currentIndex(), mo.integer(u"ORG") - 1);
        QCOMPARE(w.Edit1->text(), QStringLiteral("2021"));
    }

    // What is typed goes into the record buffer at once, cut to the field's width.
    void typedDetailsGoIntoTheRecord() {
        createBaseWithMo({{"MCOD", "331001"}, {"OGRN", "1"}});
        {
            TMainFormKvell1 w;
            w.DBEdit5->selectAll();
            type(w.DBEdit5, QStringLiteral("10233012345678901234"));
            QCOMPARE(w.tables().HalcyonDataSet3.text(u"OGRN"), QStringLiteral("102330123456789"));
            type(w.DBEdit6, QStringLiteral("Ёлкина"));
            QCOMPARE(w.tables().HalcyonDataSet3.text(u"FAM_RUK"), QStringLiteral("Ёлкина"));
            // Typing inside the text keeps the cursor where the user put it.
            w.DBEdit6->setCursorPosition(1);
            type(w.DBEdit6, QStringLiteral("ё"));
            QCOMPARE(w.DBEdit6->cursorPosition(), 2);
            type(w.DBEdit6, QStringLiteral(" "));
            QCOMPARE(w.tables().HalcyonDataSet3.text(u"FAM_RUK"), QStringLiteral("Ёё лкина"));
            w.close();
        }
        Stored mo(base(), TableId::Mo);
        QCOMPARE(mo.table.text(u"OGRN"), QStringLiteral("102330123456789"));
        QCOMPARE(mo.table.text(u"FAM_RUK"), QStringLiteral("Ёё лкина"));
    }

    void emptyMoStartsANewRecord() {
        test_support::createEmptyBase(base());
        {
            TMainFormKvell1 w;
            QVERIFY(seam().messages().empty());
            QCOMPARE(w.tables().HalcyonDataSet3.state(), State::Insert);
            QCOMPARE(w.DBEdit13->text(), QStringLiteral("330000"));
            type(w.DBEdit1, QStringLiteral("Новая больница"));
            w.close();
        }
        Stored mo(base(), TableId::Mo);
        QCOMPARE(mo.table.physicalRecordCount(), 1u);
        QCOMPARE(mo.table.text(u"NAM_MOP"), QStringLiteral("Новая больница"));
        QCOMPARE(mo.table.text(u"MCOD"), QStringLiteral("330000"));
    }

    void emptyMcodBecomesTheUnknownCode() {
        createBaseWithMo({{"NAM_MOP", "Больница"}});
        {
            TMainFormKvell1 w;
            QCOMPARE(w.tables().HalcyonDataSet3.text(u"MCOD"), QStringLiteral("330000"));
            QCOMPARE(Stored(base(), TableId::Mo).table.text(u"MCOD"), QString());
            w.close();
        }
        QCOMPARE(Stored(base(), TableId::Mo).table.text(u"MCOD"), QStringLiteral("330000"));
    }

    void organisationTypeShown_data() {
        QTest::addColumn<QString>("org");
        QTest::addColumn<int>("index");
        QTest::newRow("1") << "1" << 0;
        QTest::newRow("3") << "3" << 2;
        QTest::newRow("4") << "4" << 3;
        QTest::newRow("0") << "0" << -1;
        QTest::newRow("blank") << "" << -1;
        QTest::newRow("7") << "7" << -1;
        QTest::newRow("-2") << "-2" << -1;
    }

    // A value outside 1 to 4 shows no selection and stays in the record.
    void organisationTypeShown() {
        QFETCH(QString, org);
        QFETCH(int, index);
        createBaseWithMo({{"ORG", org}});
        {
            TMainFormKvell1 w;
            QCOMPARE(w.ComboBox1->currentIndex(), index);
            QCOMPARE(w.ComboBox1->count(), 4);
            w.close();
        }
        QCOMPARE(Stored(base(), TableId::Mo).table.text(u"ORG"), org);
    }

    void organisationTypeStored() {
        createBaseWithMo({{"ORG", "3"}});
        TMainFormKvell1 w;
        QCOMPARE(w.ComboBox1->currentText(),
                 QStringLiteral("Головная организация, на территории иного субъекта РФ"));
        w.ComboBox1->setCurrentIndex(1);
        QCOMPARE(w.tables().HalcyonDataSet3.integer(u"ORG"), 2);
        QTest::keyClick(w.ComboBox1, Qt::Key_Delete);
        QCOMPARE(w.ComboBox1->currentIndex(), -1);
        QCOMPARE(w.tables().HalcyonDataSet3.text(u"ORG"), QStringLiteral("0"));
        QVERIFY(seam().messages().empty());
    }

    void closingPacksTheFourTables() {
        test_support::createSmallBase(base());
        for (int i = 1; i <= 3; ++i) {
            test_support::appendRecord(base(), TableId::Licen2, {{"ID", QString::number(i)}});
            test_support::appendRecord(base(), TableId::Podr2, {{"ID", QString::number(i)}});
        }
        test_support::deleteRecord(base(), TableId::Licen, 2);
        test_support::deleteRecord(base(), TableId::Podr, 1);
        test_support::deleteRecord(base(), TableId::Licen2, 1);
        test_support::deleteRecord(base(), TableId::Licen2, 3);
        test_support::deleteRecord(base(), TableId::Podr2, 2);
        {
            TMainFormKvell1 w;
            QCOMPARE(w.DataSource1->rowCount(), 2);
            QCOMPARE(w.DataSource2->rowCount(), 1);
            w.close();
        }
        QCOMPARE(test_support::physicalRecords(base(), TableId::Licen), 2u);
        QCOMPARE(test_support::physicalRecords(base(), TableId::Podr), 1u);
        QCOMPARE(test_support::physicalRecords(base(), TableId::Licen2), 1u);
        QCOMPARE(test_support::physicalRecords(base(), TableId::Podr2), 2u);
        Stored licen(base(), TableId::Licen);
        QCOMPARE(licen.table.text(u"ID"), QStringLiteral("1"));
        licen.table.next();
        QCOMPARE(licen.table.text(u"ID"), QStringLiteral("3"));
    }

    void placementSurvivesARestart() {
        test_support::createSmallBase(base());
        const QByteArray appName = xbase::toOem(QStringLiteral("Квелларий ГБ № 1"));
        const QByteArray before =
            "; kept as it is\r\n[Application]\r\nAppName=" + appName + "\r\nOwn=1\r\n";
        {
            QFile f(ini());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        const QRect placed(40, 50, 950, 900);
        {
            TMainFormKvell1 w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.setGeometry(placed);
            QTRY_COMPARE(w.geometry(), placed);
            w.RxSplitter1->setSizes({300, 2000});
            QCOMPARE(w.Grid1->height(), 300);
            w.close();
        }
        const QByteArray after = ui::IniFile(ini()).bytes();
        QVERIFY(after.startsWith(before));
        {
            TMainFormKvell1 w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QTRY_COMPARE(w.geometry(), placed);
            QTRY_COMPARE(w.Grid1->height(), 300);
            w.close();
        }
    }

    void menus_data() {
        QTest::addColumn<bool>("design");
        QTest::addColumn<int>("noticeItems");
        QTest::newRow("without the switch") << false << 12;
        QTest::newRow("with the switch") << true << 18;
    }

    void menus() {
        QFETCH(bool, design);
        QFETCH(int, noticeItems);
        app::ReportDesignAllowed = design;
        test_support::createSmallBase(base());
        TMainFormKvell1 w;
        QCOMPARE(w.N1->title(), QStringLiteral("Данные"));
        QCOMPARE(w.N3->title(), QStringLiteral("Уведомление"));
        int items = 0;
        int separators = 0;
        QStringList captions;
        for (QAction* a : w.N3->actions()) {
            QVERIFY(a->shortcut().isEmpty());
            // Qt reports hidden actions as disabled; the visible ones must all work.
            if (!a->isVisible())
                continue;
            QVERIFY(a->isEnabled());
            a->isSeparator() ? ++separators : ++items;
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(items, noticeItems);
        QCOMPARE(separators, 5);
        const QString designer = QStringLiteral("Дизайнер отчета");
        const QString designerYo = QStringLiteral("Дизайнер отчёта");
        const QString word = QStringLiteral("Выгрузка в Word");
        QStringList expected;
        const auto group = [&](const QString& print, const QString& designerCaption) {
            expected << print;
            if (design)
                expected << designerCaption;
            expected << word;
        };
        group(QStringLiteral("Печать УВЕДОМЛЕНИЯ о включении в реестр"), designer);
        expected << "-";
        group(QStringLiteral("Печать ПРИЛОЖЕНИЯ  К  СТРОКЕ 14.1"), designer);
        expected << "-";
        group(QStringLiteral("Печать ПРИЛОЖЕНИЯ  К  СТРОКЕ  13  (лицензии)"), designer);
        expected << "-";
        group(QStringLiteral("Печать ПРИЛОЖЕНИЯ  К  СТРОКЕ  14.2  (подразделения)"), designer);
        expected << "-";
        group(QStringLiteral("Печать УВЕДОМЛЕНИЯ об изменении сведений"), designerYo);
        expected << "-";
        group(QStringLiteral("Печать УВЕДОМЛЕНИЯ для ИП "), designerYo);
        QCOMPARE(captions, expected);

        QStringList data;
        for (QAction* a : w.N1->actions()) {
            QVERIFY(a->isEnabled() && a->isVisible() && a->shortcut().isEmpty());
            data << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(data,
                 QStringList({"Загрузить данные МИАЦ по ПОДРАЗДЕЛЕНИЯМ", "-",
                              "Редактировать запись  о  Подразделении",
                              "Добавить запись о Подразделении", "Удалить запись о Подразделении",
                              "-", "Редактировать запись  о лицензии", "Добавить запись о лицензии",
                              "Дублировать запись о лицензии", "-", "Удалить запись о лицензии",
                              "-", "Выгрузить данные для ТФОМС", "-", "Выход"}));
    }

    void exitItemClosesTheWindow() {
        test_support::createSmallBase(base());
        TMainFormKvell1 w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.N1->findChild<QAction*>("ItemExit")->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(!w.tables().HalcyonDataSet3.isOpen());
    }

    void secondCopyInAnotherProcess_data() {
        QTest::addColumn<bool>("emptyMo");
        QTest::newRow("organisation on file") << false;
        QTest::newRow("MO.DBF without records") << true;
    }

    void secondCopyInAnotherProcess() {
        QFETCH(bool, emptyMo);
        if (emptyMo) {
            test_support::createEmptyBase(base());
        } else {
            test_support::createSmallBase(base());
            test_support::deleteRecord(base(), TableId::Licen, 1);
        }
        {
            TMainFormKvell1 first;
            type(first.DBEdit9, QStringLiteral("8-4922-000000"));

            const ProbeReport second = runProbe(base(), m_dir->filePath("second.INI"));
            QCOMPARE(second.messages,
                     QStringList("Внимание!|3|" +
                                 QString(kSecondCopy).replace("\r", "\\r").replace("\n", "\\n")));
            QCOMPARE(second.open, QString());
            QCOMPARE(second.moState, int(State::Inactive));
            QVERIFY(second.closed);

            // The first copy goes on as before.
            app::MainTables& t = first.tables();
            QCOMPARE(t.HalcyonDataSet3.state(), emptyMo ? State::Insert : State::Edit);
            QVERIFY(t.HalcyonDataSet1.isOpen() && t.HalcyonDataSet7.isOpen());
            QCOMPARE(first.DBEdit9->text(), QStringLiteral("8-4922-000000"));
            QCOMPARE(first.DataSource1->rowCount(), emptyMo ? 0 : 2);
            first.close();
        }
        QCOMPARE(Stored(base(), TableId::Mo).table.text(u"PHONE"), QStringLiteral("8-4922-000000"));
        QCOMPARE(test_support::physicalRecords(base(), TableId::Licen), emptyMo ? 0u : 2u);

        // Once the first copy has ended, the next one starts normally.
        const ProbeReport next = runProbe(base(), m_dir->filePath("second.INI"));
        QVERIFY(next.messages.isEmpty());
        QCOMPARE(next.open, QStringLiteral("MO LICEN LICEN2 PODR PODR2 PRVS2"));
        QCOMPARE(next.moState, int(State::Edit));
    }

    // A table that cannot be opened stays closed without a word; the rest work.
    void missingTablesStayClosed() {
        demo::buildDemoBase(base());
        QFile::remove(base() + "/PRVS2.MDX");
        QVERIFY(QFile::remove(base() + "/PODR2.DBF"));
        TMainFormKvell1 w;
        QVERIFY(seam().messages().empty());
        app::MainTables& t = w.tables();
        QVERIFY(!t.HalcyonDataSet2.isOpen());
        QVERIFY(!t.HalcyonDataSet71.isOpen());
        QVERIFY(t.HalcyonDataSet1.isOpen() && t.HalcyonDataSetPodr.isOpen());
        QCOMPARE(t.HalcyonDataSet3.state(), State::Edit);
        w.close();
        QVERIFY(seam().messages().empty());
    }

    // Without MO.DBF the start is taken for a second copy: nothing is open, the
    // status bar still names the base, and the type list reports its failure.
    void missingMoLeavesTheWindowEmpty() {
        test_support::createSmallBase(base());
        QVERIFY(QFile::remove(base() + "/MO.DBF"));
        TMainFormKvell1 w;
        QCOMPARE(seam().messages().size(), 1u);
        QCOMPARE(seam().messages()[0].text, kSecondCopy);
        QCOMPARE(seam().messages()[0].caption, QStringLiteral("Внимание!"));
        QCOMPARE(seam().messages()[0].icon, QMessageBox::Critical);
        app::MainTables& t = w.tables();
        for (xbase::Table* x : {&t.HalcyonDataSet3, &t.HalcyonDataSet1, &t.HalcyonDataSet7,
                                &t.HalcyonDataSetPodr, &t.HalcyonDataSet71, &t.HalcyonDataSet2})
            QVERIFY(!x->isOpen());
        QCOMPARE(w.DataSource1->rowCount(), 0);
        QCOMPARE(w.DataSource2->rowCount(), 0);
        QCOMPARE(w.StatusBar1Panel->text(), app::BaseDir);
        QVERIFY(w.DBEdit1->text().isEmpty() && w.DBEdit1->isReadOnly());
        QCOMPARE(w.ComboBox1->currentIndex(), -1);

        w.ComboBox1->setCurrentIndex(2);
        QCOMPARE(seam().messages().size(), 2u);
        QCOMPARE(seam().messages()[1].caption, QStringLiteral("Квелларий"));
        QCOMPARE(seam().messages()[1].icon, QMessageBox::Critical);
        QCOMPARE(w.ComboBox1->currentIndex(), 2);
        w.close();
        QCOMPARE(seam().messages().size(), 2u);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
