#include "dialogs/Spr.h"
#include "reference_book.h"
#include "ui/scripted_user_interface.h"
#include "ui/table_grid.h"
#include "ui/table_model.h"

#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using data::TableId;
using dialog_test::currentName;
using dialog_test::listedNames;
using dialog_test::type;
using dialogs::TSprDlg;

namespace {

const std::vector<std::pair<int, QString>> kBook{{1, QStringLiteral("Аптека")},
                                                 {2, QStringLiteral("Тополь")},
                                                 {3, QStringLiteral("Поликлиника")}};

} // namespace

class SprDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<dialog_test::Scene> m_scene;

    QString base() const { return m_scene->dir.path(); }

    // The dialog on OKOPF.DBF, the caller's entry found by its ID, shown with the
    // grid focused.
    std::unique_ptr<TSprDlg> openDialog(int id = 0) {
        auto d = std::make_unique<TSprDlg>();
        d->Prepare(base(), "OKOPF.DBF", "ID", QChar(), false, QString(), id, {});
        d->show();
        d->Grid->setFocus();
        return d;
    }

    static void press(TSprDlg& d, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(d.Grid, key, modifiers);
    }

private slots:
    void init() { m_scene = std::make_unique<dialog_test::Scene>(); }

    void cleanup() { m_scene.reset(); }

    // Аптека, Тополь, Поликлиника: п finds Аптека, по and пол Тополь; Ctrl+L goes
    // on to Поликлиника and no further; к is then refused.
    void searchAsTheUserTypes() {
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        auto d = openDialog();
        QCOMPARE(listedNames(*d), QStringList({"Аптека", "Тополь", "Поликлиника"}));
        QCOMPARE(d->DataSource1->columnCount(), 2);
        QVERIFY(d->Grid->horizontalHeader()->isHidden());

        const std::pair<QString, QString> steps[] = {
            {"п", "Аптека"}, {"о", "Тополь"}, {"л", "Тополь"}};
        QString typed;
        for (const auto& [letter, row] : steps) {
            type(d->Grid, letter);
            typed += letter.toUpper();
            QCOMPARE(currentName(*d), row);
            QCOMPARE(d->searchText(), typed);
        }
        press(*d, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(currentName(*d), QStringLiteral("Поликлиника"));
        press(*d, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(currentName(*d), QStringLiteral("Поликлиника"));
        QCOMPARE(d->searchText(), QStringLiteral("ПОЛ"));
        type(d->Grid, "к");
        QCOMPARE(d->searchText(), QStringLiteral("ПОЛ"));
        QCOMPARE(currentName(*d), QStringLiteral("Поликлиника"));
        // Nothing anywhere contains Ж.
        type(d->Grid, "ж");
        QCOMPARE(d->searchText(), QStringLiteral("ПОЛ"));
        QCOMPARE(currentName(*d), QStringLiteral("Поликлиника"));
    }

    void backspaceSearchesTheRestFromTheFirstRow() {
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        auto d = openDialog();
        type(d->Grid, "пол");
        press(*d, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(currentName(*d), QStringLiteral("Поликлиника"));
        const std::pair<QString, QString> steps[] = {
            {"ПО", "Тополь"}, {"П", "Аптека"}, {"", "Аптека"}, {"", "Аптека"}};
        for (const auto& [text, row] : steps) {
            press(*d, Qt::Key_Backspace);
            QCOMPARE(d->searchText(), text);
            QCOMPARE(currentName(*d), row);
        }
    }

    void twentyCharactersAtMost() {
        dialog_test::createBook(base(), TableId::Okopf,
                                {{1, "Аптека"}, {2, QString(30, QChar(u'Я'))}});
        auto d = openDialog();
        type(d->Grid, QString(21, QChar(u'я')));
        QCOMPARE(d->searchText(), QString(20, QChar(u'Я')));
        QCOMPARE(d->DataSource1->currentRow(), 1);
    }

    // A navigation key empties the text: the next letter searches from the top.
    void navigationKeysEmptyTheSearch() {
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        auto d = openDialog();
        type(d->Grid, "по");
        QCOMPARE(currentName(*d), QStringLiteral("Тополь"));
        press(*d, Qt::Key_Down);
        QCOMPARE(d->searchText(), QString());
        QCOMPARE(currentName(*d), QStringLiteral("Поликлиника"));
        type(d->Grid, "а");
        QCOMPARE(currentName(*d), QStringLiteral("Аптека"));
        for (Qt::Key key : {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End,
                            Qt::Key_Left, Qt::Key_Right, Qt::Key_Up}) {
            type(d->Grid, "а");
            press(*d, key);
            QVERIFY2(d->searchText().isEmpty(), qPrintable(QKeySequence(key).toString()));
        }
    }

    // A character whose key did not go down in the dialog (the key that opened
    // it) is not searched.
    void characterWithoutItsKeyIsIgnored() {
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        auto d = openDialog();
        d->FormKeyPress(QChar(u'т'));
        QCOMPARE(d->searchText(), QString());
        QCOMPARE(currentName(*d), QStringLiteral("Аптека"));
    }

    void prepare_data() {
        QTest::addColumn<bool>("byName");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("firstChar");
        QTest::addColumn<QString>("row");
        QTest::addColumn<int>("currentId");
        QTest::addColumn<QString>("searchText");
        QTest::newRow("by ID") << false << "" << 3 << ""
                               << "Поликлиника" << 3 << "";
        QTest::newRow("ID 0") << false << "Тополь" << 0 << ""
                              << "Аптека" << 0 << "";
        QTest::newRow("unknown ID") << false << "" << 9 << ""
                                    << "Аптека" << 9 << "";
        QTest::newRow("by name") << true << "Тополь" << 3 << ""
                                 << "Тополь" << 2 << "";
        QTest::newRow("name only equal") << true << "Топол" << 2 << ""
                                         << "Аптека" << 0 << "";
        QTest::newRow("empty name") << true << "" << 2 << ""
                                    << "Аптека" << 0 << "";
        QTest::newRow("first character") << true << "" << 0 << "л"
                                         << "Тополь" << 0 << "Л";
        QTest::newRow("entry, then character") << false << "" << 2 << "и"
                                               << "Поликлиника" << 2 << "И";
    }

    void prepare() {
        QFETCH(bool, byName);
        QFETCH(QString, name);
        QFETCH(int, id);
        QFETCH(QString, firstChar);
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        TSprDlg d;
        d.Prepare(base(), "OKOPF.DBF", "ID", firstChar.isEmpty() ? QChar() : firstChar[0].toUpper(),
                  byName, name, id, {});
        QTEST(currentName(d), "row");
        QTEST(d.currentId(), "currentId");
        QTEST(d.searchText(), "searchText");
    }

    void selectSprReturnsTheChosenRow() {
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        m_scene->seam.answerDialog([](QDialog& dialog) {
            auto& d = static_cast<TSprDlg&>(dialog);
            if (d.windowTitle() != "ОКОПФ" || d.BtnAdd->isEnabled() || d.BtnDel->isEnabled())
                return int(QDialog::Rejected);
            d.show();
            d.Grid->setFocus();
            type(d.Grid, "ек");
            QTest::keyClick(d.Grid, Qt::Key_Return);
            return d.result();
        });
        int id = 2;
        QString name = "Тополь";
        QVERIFY(dialogs::SelectSpr(base(), "OKOPF.DBF", "ID", "ОКОПФ", {}, id, name, 4, false,
                                   QChar(), false, false));
        QCOMPARE(id, 1);
        QCOMPARE(name, QStringLiteral("Апте"));
    }

    void escapeAndDoubleClick() {
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        m_scene->seam.answerDialog([](QDialog& dialog) {
            auto& d = static_cast<TSprDlg&>(dialog);
            d.show();
            d.Grid->setFocus();
            QTest::keyClick(d.Grid, Qt::Key_Escape);
            return d.result();
        });
        int id = 2;
        QString name = "Тополь";
        QVERIFY(!dialogs::SelectSpr(base(), "OKOPF.DBF", "ID", "ОКОПФ", {}, id, name, 255, false,
                                    QChar(), false, false));
        QCOMPARE(id, 2);
        QCOMPARE(name, QStringLiteral("Тополь"));

        m_scene->seam.answerDialog([](QDialog& dialog) {
            auto& d = static_cast<TSprDlg&>(dialog);
            d.show();
            const QRect cell = d.Grid->visualRect(d.DataSource1->index(2, 1));
            QTest::mouseDClick(d.Grid->viewport(), Qt::LeftButton, {}, cell.center());
            return d.result();
        });
        QVERIFY(dialogs::SelectSpr(base(), "OKOPF.DBF", "ID", "ОКОПФ", {}, id, name, 255, false,
                                   QChar(), false, false));
        QCOMPARE(id, 3);
        QCOMPARE(name, QStringLiteral("Поликлиника"));
    }

    void choosingInAnEmptyList() {
        dialog_test::createKladr(base(), {{1, "г. Сарвенск", 1}});
        m_scene->seam.answerDialog([](QDialog& d) {
            static_cast<TSprDlg&>(d).BtnOkClick();
            return d.result();
        });
        int id = 5;
        QString name = "Тополь";
        QVERIFY(dialogs::SelectSpr(base(), "OKOPF.DBF", "ID", "ОКОПФ", {}, id, name, 255, false,
                                   QChar(), false, false));
        QCOMPARE(id, 0);
        QCOMPARE(name, QString());

        m_scene->seam.answerDialog([](QDialog& d) {
            static_cast<TSprDlg&>(d).BtnOkClick();
            return d.result();
        });
        id = 1;
        name = "г. Сарвенск";
        QString code = "3300000000001";
        QVERIFY(dialogs::SelectSprKladr(base(), "KLADR.DBF", "OCATD", "Населенный пункт", {}, id,
                                        name, 255, code, 255, true, QChar(), false, false, 2));
        QCOMPARE(id, 0);
        QCOMPARE(name, QString());
        QCOMPARE(code, QString());
        QVERIFY(m_scene->seam.messages().empty());
    }

    void settlementsOfOneUnit() {
        dialog_test::createKladr(base(), {{1, "г. Сарвенск", 1},
                                          {2, "с. Горелово", 2},
                                          {3, "д. Ключёвка", 1},
                                          {4, "п. Нулевой", 10}});
        QStringList listed;
        m_scene->seam.answerDialog([&](QDialog& dialog) {
            auto& d = static_cast<TSprDlg&>(dialog);
            listed = listedNames(d);
            d.show();
            d.Grid->setFocus();
            type(d.Grid, "лю");
            QTest::keyClick(d.Grid, Qt::Key_Enter, Qt::KeypadModifier);
            return d.result();
        });
        int id = 0;
        QString name = "г. Сарвенск";
        QString code;
        QVERIFY(dialogs::SelectSprKladr(base(), "KLADR.DBF", "OCATD", "Населенный пункт", {}, id,
                                        name, 255, code, 5, true, QChar(), false, false, 1));
        QCOMPARE(listed, QStringList({"г. Сарвенск", "д. Ключёвка"}));
        QCOMPARE(id, 3);
        QCOMPARE(name, QStringLiteral("д. Ключёвка"));
        QCOMPARE(code, QStringLiteral("33000"));

        for (int range : {0, 3}) {
            m_scene->seam.answerDialog([&](QDialog& dialog) {
                listed = listedNames(static_cast<TSprDlg&>(dialog));
                return int(QDialog::Rejected);
            });
            QVERIFY(!dialogs::SelectSprKladr(base(), "KLADR.DBF", "OCATD", "Населенный пункт", {},
                                             id, name, 255, code, 255, true, QChar(), false, false,
                                             range));
            QCOMPARE(listed, QStringList());
        }
    }

    // A settlement book without its index file is reported; the dialog opens empty.
    void missingBook() {
        dialog_test::createBook(base(), TableId::Okopf, {});
        QVERIFY(QFile::remove(m_scene->dir.filePath("KLADR.MDX")));
        QStringList listed{"?"};
        m_scene->seam.answerDialog([&](QDialog& dialog) {
            listed = listedNames(static_cast<TSprDlg&>(dialog));
            return int(QDialog::Rejected);
        });
        int id = 0;
        QString name, code;
        QVERIFY(!dialogs::SelectSprKladr(base(), "KLADR.DBF", "OCATD", "Населенный пункт", {}, id,
                                         name, 255, code, 255, true, QChar(), false, false, 1));
        QCOMPARE(listed, QStringList());
        QCOMPARE(m_scene->seam.messages().size(), std::size_t(1));
        QVERIFY(m_scene->seam.messages()[0].text.contains("KLADR.MDX"));
        QCOMPARE(m_scene->seam.messages()[0].icon, QMessageBox::Critical);
    }

    void buttonsFollowTheWidth() {
        dialog_test::createBook(base(), TableId::Okopf, kBook);
        auto d = openDialog();
        const int w = d->width();
        QCOMPARE(w, 558);
        QCOMPARE(d->height(), 546);
        QCOMPARE(d->BtnCancel->x(), w - d->BtnCancel->width() - 6);
        QCOMPARE(d->BtnOk->x(), w - 2 * d->BtnCancel->width() - 10);
        QCOMPARE(d->Grid->width(), w - 2 * d->Grid->x());
        QCOMPARE(d->BtnOk->toolTip(), QStringLiteral("Выбрать - Enter"));
        QCOMPARE(d->BtnDel->toolTip(), QStringLiteral("Удалить - Delete"));
    }

    // The caller's entry is drawn bold; the typed text is a red mark inside the
    // current name cell, over the matched letters.
    void drawsTheEntryBoldAndTheTypedTextRed() {
        dialog_test::createBook(base(), TableId::Okopf,
                                {{1, "Аптека"}, {2, "Тополь"}, {3, "Поликлиника"}, {4, "Тополь"}});
        auto d = openDialog(4);
        QCOMPARE(d->DataSource1->currentRow(), 3);
        const auto cellRect = [&](int row) {
            return d->Grid->visualRect(d->DataSource1->index(row, 1));
        };
        const auto ink = [&](const QImage& image, int row) {
            const QRect r = cellRect(row).intersected(image.rect());
            int dark = 0;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x)
                    dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
            }
            return dark;
        };
        // The same name in two rows, neither cell selected: the entry's has more ink.
        QImage image = d->Grid->viewport()->grab().toImage();
        QVERIFY(ink(image, 1) > 0);
        QVERIFY2(ink(image, 3) > ink(image, 1) * 11 / 10,
                 qPrintable(QStringLiteral("%1 %2").arg(ink(image, 3)).arg(ink(image, 1))));

        d->Grid->setCurrentIndex(d->DataSource1->index(0, 1));
        type(d->Grid, "пол");
        QCOMPARE(d->DataSource1->currentRow(), 1);
        image = d->Grid->viewport()->grab().toImage();
        const QRect cell = cellRect(1);
        const QFontMetrics metrics(d->Grid->font());
        const int left = cell.left() + metrics.horizontalAdvance("То") + 2;
        const int width = metrics.horizontalAdvance("пол");
        const auto red = [&](int x, int y) {
            const QRgb p = image.pixel(x, y);
            return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
        };
        for (int x = left; x < left + width; ++x)
            QVERIFY2(red(x, cell.top()), qPrintable(QString::number(x - left)));
        QVERIFY(!red(left - 2, cell.top()));
        QVERIFY(!red(left + width + 1, cell.top()));
        // The letters are written into the mark.
        int letters = 0;
        for (int x = left; x < left + width; ++x)
            letters += red(x, cell.center().y()) ? 0 : 1;
        QVERIFY(letters > 0);

        // No mark without a text, nor in the ID cell.
        QTest::keyClick(d->Grid, Qt::Key_Left);
        image = d->Grid->viewport()->grab().toImage();
        for (int x = cell.left(); x < cell.right(); ++x)
            QVERIFY(!red(x, cell.top()));
    }
};

QTEST_MAIN(SprDialogTest)
#include "spr_dialog_test.moc"
