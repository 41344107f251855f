#include "dialogs/Bef_del.h"
#include "dialogs/Naim_e.h"
#include "dialogs/Spr.h"
#include "reference_book.h"
#include "ui/scripted_user_interface.h"
#include "ui/table_grid.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using data::TableId;
using dialog_test::currentName;
using dialog_test::listedNames;
using dialog_test::type;
using dialogs::TBeforeDelDlg;
using dialogs::TEditNaimDlg;
using dialogs::TSprDlg;
using Script = ui::ScriptedUserInterface::DialogScript;

namespace {

// The book's rows as "ID NAME", in file order.
QStringList rows(const QString& dir) {
    xbase::Table t;
    t.setDirectory(dir);
    t.setTableName(QStringLiteral("OKOPF.DBF"));
    t.open();
    QStringList out;
    for (t.first(); !t.eof() && t.recNo() != 0; t.next())
        out << QStringLiteral("%1 %2").arg(t.integer(u"ID")).arg(t.text(u"NAME"));
    return out;
}

// The name editor: the caption it showed, then the name typed over the
// old one and OK (an empty `typed` stands for Esc without typing).
Script typeName(const QString& typed, QString& caption) {
    return [typed, &caption](QDialog& dialog) {
        auto& editor = static_cast<TEditNaimDlg&>(dialog);
        caption = editor.windowTitle();
        editor.show();
        if (typed.isEmpty()) {
            QTest::keyClick(editor.Edit1, Qt::Key_Escape);
            return editor.result();
        }
        editor.Edit1->selectAll();
        QTest::keyClick(editor.Edit1, Qt::Key_Delete);
        type(editor.Edit1, typed);
        QTest::keyClick(editor.Edit1, Qt::Key_Return);
        return editor.result();
    };
}

} // namespace

class NameEditorTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<dialog_test::Scene> m_scene;

    QString base() const { return m_scene->dir.path(); }

    // OKOPF.DBF with the rows, and the key counters of the base.
    void createBook(const std::vector<std::pair<int, QString>>& book) {
        dialog_test::createBook(base(), TableId::Okopf, book);
        dialog_test::createKeyCounters(base(), {{"OKOPF.DBF", 40}});
    }

    // The list and search cursors of the dialog on the book, on the row `id`.
    std::unique_ptr<TSprDlg> openDialog(int id, bool allowDelete = true) {
        auto d = std::make_unique<TSprDlg>();
        d->BtnAdd->setEnabled(true);
        d->BtnEdit->setEnabled(true);
        d->BtnDel->setEnabled(allowDelete);
        d->setWindowTitle("ОКОПФ");
        d->Prepare(base(), "OKOPF.DBF", "ID", QChar(), false, QString(), id, dialogs::EditSprName);
        d->show();
        d->Grid->setFocus();
        return d;
    }

private slots:
    void init() { m_scene = std::make_unique<dialog_test::Scene>(); }

    void cleanup() { m_scene.reset(); }

    void editSprName_data() {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<int>("id"); // of the row changed
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("after");
        const QString add = "ОКОПФ (добавление)";
        const QString change = "ОКОПФ (редактирование)";
        QTest::newRow("add") << true << 0 << "Аптека 'Ромашка'" << true << add
                             << QStringList{"5 Тополь", "0 Без ключа", "-3 Минус",
                                            "41 Аптека "
                                            "\"Ромашка\""};
        QTest::newRow("add, two apostrophes")
            << true << 0 << "''" << true << add
            << QStringList{"5 Тополь", "0 Без ключа", "-3 Минус", "41 \"\""};
        QTest::newRow("add blanks") << true << 0 << "   " << true << add
                                    << QStringList{"5 Тополь", "0 Без ключа", "-3 Минус", "41 "};
        QTest::newRow("add, Esc") << true << 0 << "" << false << add
                                  << QStringList{"5 Тополь", "0 Без ключа", "-3 Минус"};
        QTest::newRow("change keeps a key") << false << 5 << "Ясень" << true << change
                                            << QStringList{"5 Ясень", "0 Без ключа", "-3 Минус"};
        QTest::newRow("change gives ID 0 a key") << false << 0 << "Ключ" << true << change
                                                 << QStringList{"5 Тополь", "41 Ключ", "-3 Минус"};
        QTest::newRow("change gives a negative ID a key")
            << false << -3 << "Ключ" << true << change
            << QStringList{"5 Тополь", "0 Без ключа", "41 Ключ"};
        QTest::newRow("change, Esc") << false << 5 << "" << false << change
                                     << QStringList{"5 Тополь", "0 Без ключа", "-3 Минус"};
    }

    void editSprName() {
        QFETCH(bool, adding);
        QFETCH(int, id);
        QFETCH(QString, typed);
        createBook({{5, "Тополь"}, {0, "Без ключа"}, {-3, "Минус"}});
        auto d = openDialog(id);
        xbase::Table& list = d->HalcyonDataSet3;
        for (list.first(); list.integer(u"ID") != id;)
            list.next();
        QString caption;
        m_scene->seam.answerDialog(typeName(typed, caption));
        QTEST(dialogs::EditSprName(d->HalcyonDataSet3, d->HalcyonDataSet4, adding, "ОКОПФ"),
              "result");
        QTEST(caption, "caption");
        QCOMPARE(d->HalcyonDataSet3.state(), xbase::Table::State::Browse);
        QTEST(rows(base()), "after");
        QVERIFY(m_scene->seam.messages().empty());
    }

    // OK with an empty name is refused and the editor stays open.
    void emptyNameIsRefused() {
        createBook({{5, "Тополь"}});
        auto d = openDialog(5);
        bool stayedOpen = false;
        m_scene->seam.answerDialog([&](QDialog& dialog) {
            auto& editor = static_cast<TEditNaimDlg&>(dialog);
            editor.show();
            editor.OkBtn->click();
            stayedOpen = editor.isVisible() && editor.result() == 0;
            editor.CancelBtn->click();
            return editor.result();
        });
        QVERIFY(!dialogs::EditSprName(d->HalcyonDataSet3, d->HalcyonDataSet4, true, "ОКОПФ"));
        QVERIFY(stayedOpen);
        QCOMPARE(m_scene->seam.messages().size(), std::size_t(1));
        QCOMPARE(m_scene->seam.messages()[0].text, QStringLiteral("Наименование не указано !"));
        QCOMPARE(m_scene->seam.messages()[0].caption, QStringLiteral("Внимание !"));
        QCOMPARE(m_scene->seam.messages()[0].icon, QMessageBox::Critical);
        QCOMPARE(rows(base()), QStringList{"5 Тополь"});
    }

    void rowHeldByAnotherUser() {
        createBook({{5, "Тополь"}});
        auto d = openDialog(5);
        xbase::Table other;
        other.setDirectory(base());
        other.setTableName("OKOPF.DBF");
        other.open();
        other.edit();
        QVERIFY(!dialogs::EditSprName(d->HalcyonDataSet3, d->HalcyonDataSet4, false, "ОКОПФ"));
        QCOMPARE(m_scene->seam.dialogsShown(), 0);
        QCOMPARE(m_scene->seam.messages().size(), std::size_t(1));
        QCOMPARE(m_scene->seam.messages()[0].text,
                 QStringLiteral("Запись занята другим пользователем !"));

        // Deleting it is refused with the same message.
        QTest::keyClick(d->Grid, Qt::Key_Delete);
        QCOMPARE(m_scene->seam.dialogsShown(), 0);
        QCOMPARE(m_scene->seam.messages().size(), std::size_t(2));
        QCOMPARE(m_scene->seam.messages()[1].text,
                 QStringLiteral("Запись занята другим пользователем !"));
        QCOMPARE(rows(base()), QStringList{"5 Тополь"});
    }

    void askBeforeDel_data() {
        QTest::addColumn<int>("answer"); // 0 Enter, 1 Да, 2 Esc, 3 close box
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << 0 << 7;
        QTest::newRow("Да") << 1 << 1;
        QTest::newRow("Esc") << 2 << 7;
        QTest::newRow("close box") << 3 << 2;
    }

    void askBeforeDel() {
        QFETCH(int, answer);
        QStringList texts;
        m_scene->seam.answerDialog([&](QDialog& dialog) {
            auto& d = static_cast<TBeforeDelDlg&>(dialog);
            texts << d.windowTitle() << d.GC->text() << d.Label1->text() << d.LabelName->text()
                  << d.OKBtn->text() << d.NoBtn->text();
            d.show();
            texts << d.focusWidget()->objectName();
            if (answer == 0)
                QTest::keyClick(d.focusWidget(), Qt::Key_Return);
            else if (answer == 1)
                d.OKBtn->click();
            else if (answer == 2)
                QTest::keyClick(&d, Qt::Key_Escape);
            else
                d.close();
            return d.result();
        });
        QTEST(dialogs::AskBeforeDel("\"Аптека\""), "result");
        QCOMPARE(texts, QStringList({"Внимание !", "Внимание !", "Вы точно хотите удалить",
                                     "\"Аптека\" ?", "&Да", "&Нет", "NoBtn"}));
    }

    // The dialog's keys: Insert adds, F4 changes, Delete asks and deletes on Да.
    void changingTheBookFromTheDialog() {
        createBook({{5, "Тополь"}, {6, "Аптека"}});
        auto d = openDialog(6);
        QString caption;
        m_scene->seam.answerDialog(typeName("Клён", caption));
        QTest::keyClick(d->Grid, Qt::Key_Insert);
        QCOMPARE(caption, QStringLiteral("ОКОПФ (добавление)"));
        QCOMPARE(listedNames(*d), QStringList({"Тополь", "Аптека", "Клён"}));

        m_scene->seam.answerDialog(typeName("Ясень", caption));
        QTest::keyClick(d->Grid, Qt::Key_F4);
        QCOMPARE(caption, QStringLiteral("ОКОПФ (редактирование)"));
        QCOMPARE(currentName(*d), QStringLiteral("Ясень"));

        QString asked;
        m_scene->seam.answerDialog([&](QDialog& dialog) {
            asked = static_cast<TBeforeDelDlg&>(dialog).LabelName->text();
            return TBeforeDelDlg::kNo;
        });
        QTest::keyClick(d->Grid, Qt::Key_Delete);
        QCOMPARE(asked, QStringLiteral("\"Ясень\" ?"));
        m_scene->seam.answerDialog([](QDialog&) { return TBeforeDelDlg::kYes; });
        QTest::keyClick(d->Grid, Qt::Key_Delete);
        QCOMPARE(rows(base()), QStringList({"5 Тополь", "6 Аптека"}));
        QCOMPARE(listedNames(*d), QStringList({"Тополь", "Аптека"}));
        QVERIFY(m_scene->seam.messages().empty());
    }

    // Switched off (as every caller has them), the keys do nothing.
    void switchedOffKeysDoNothing() {
        createBook({{5, "Тополь"}});
        auto d = openDialog(5, false);
        for (auto* b : {d->BtnAdd, d->BtnEdit})
            b->setEnabled(false);
        for (Qt::Key key : {Qt::Key_Insert, Qt::Key_F4, Qt::Key_Delete})
            QTest::keyClick(d->Grid, key);
        QCOMPARE(m_scene->seam.dialogsShown(), 0);
        QCOMPARE(rows(base()), QStringList{"5 Тополь"});
    }

    // Changing in an empty book adds.
    void changeInAnEmptyBookAdds() {
        createBook({});
        auto d = openDialog(0);
        QString caption;
        m_scene->seam.answerDialog(typeName("Первая", caption));
        d->BtnEdit->click();
        QCOMPARE(caption, QStringLiteral("ОКОПФ (добавление)"));
        QCOMPARE(rows(base()), QStringList{"41 Первая"});
    }
};

QTEST_MAIN(NameEditorTest)
#include "name_editor_test.moc"
