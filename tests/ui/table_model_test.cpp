#include "ui/scripted_user_interface.h"
#include "ui/table_grid.h"
#include "ui/table_model.h"
#include "xbase/table.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const std::vector<xbase::FieldDef> kFields{xbase::FieldDef::character("NAME", 20),
                                           xbase::FieldDef::numeric("N", 4)};

} // namespace

class TableModelTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<xbase::Table> m_table;

    // A table of `count` rows "Запись 1".. with N = 1.., the rows in `deleted` marked.
    void makeTable(int count, const std::vector<std::uint32_t>& deleted = {}) {
        m_table.reset();
        xbase::Table::create(m_dir.filePath("T.DBF"), kFields);
        m_table = std::make_unique<xbase::Table>();
        m_table->setDirectory(m_dir.path());
        m_table->setTableName("T.DBF");
        m_table->open();
        for (int i = 1; i <= count; ++i) {
            m_table->append();
            m_table->setText(u"NAME", QStringLiteral("Запись %1").arg(i));
            m_table->setInteger(u"N", i);
            m_table->post();
        }
        for (std::uint32_t r : deleted) {
            m_table->go(r);
            m_table->deleteRecord();
        }
        m_table->first();
    }

    std::vector<ui::GridColumn> columns() const {
        return {{"NAME", "Имя"}, {"N", "Номер", 7}, {"ABSENT", "Нет такого"}};
    }

    static QString cell(const ui::TableModel& m, int row, int column) {
        return m.data(m.index(row, column)).toString();
    }

private slots:
    void listsVisibleRecordsInCursorOrder() {
        makeTable(5, {2, 4});
        const ui::TableModel model(*m_table, columns());
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(cell(model, 0, 0), QStringLiteral("Запись 1"));
        QCOMPARE(cell(model, 1, 0), QStringLiteral("Запись 3"));
        QCOMPARE(cell(model, 2, 1), QStringLiteral("5"));
        QCOMPARE(cell(model, 2, 2), QString()); // a field the file lacks shows blank
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Номер"));
        QCOMPARE(model.widthInCharacters(0), 20);
        QCOMPARE(model.widthInCharacters(1), 7);
        QCOMPARE(model.currentRow(), 0);
        QVERIFY(!model.headerData(0, Qt::Vertical, Qt::DecorationRole).isNull());
        QVERIFY(model.headerData(1, Qt::Vertical, Qt::DecorationRole).isNull());
    }

    void emptyAndClosedTablesShowNoRows() {
        makeTable(0);
        ui::TableModel model(*m_table, columns());
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.currentRow(), -1);
        makeTable(2);
        ui::TableModel model2(*m_table, columns());
        m_table->close();
        QCOMPARE(model2.rowCount(), 0);
        QCOMPARE(model2.currentRow(), -1);
    }

    void cursorMovesMoveTheCurrentRow() {
        makeTable(4, {1});
        ui::TableModel model(*m_table, columns());
        QSignalSpy moved(&model, &ui::TableModel::currentRowChanged);
        m_table->next();
        QCOMPARE(model.currentRow(), 1);
        m_table->last();
        QCOMPARE(model.currentRow(), 2);
        QCOMPARE(moved.size(), 2);
        model.setCurrentRow(0);
        QCOMPARE(m_table->recNo(), 2u);
        QCOMPARE(model.currentRow(), 0);
    }

    void gridAndCursorFollowEachOther() {
        makeTable(6);
        ui::TableModel model(*m_table, columns());
        ui::TableGrid grid;
        grid.setTableModel(&model);
        grid.resize(400, 300);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(grid.currentIndex().row(), 0);
        grid.setCurrentIndex(model.index(3, 0));
        QCOMPARE(m_table->recNo(), 4u);
        QTest::keyClick(grid.viewport(), Qt::Key_Down);
        QCOMPARE(m_table->recNo(), 5u);
        m_table->first();
        QCOMPARE(grid.currentIndex().row(), 0);
        // The grid's columns: titles, at least as wide as their characters.
        QVERIFY(grid.columnWidth(0) >= 20 * grid.fontMetrics().horizontalAdvance('0'));
        QVERIFY(grid.columnWidth(2) > grid.fontMetrics().horizontalAdvance("Нет такого"));
    }

    // Another cursor deleted the record: the move fails, the error is shown and
    // the grid goes back to the cursor's row.
    void aRefusedMoveKeepsGridOnTheCursor() {
        makeTable(3);
        ui::TableModel model(*m_table, columns());
        ui::TableGrid grid;
        grid.setTableModel(&model);
        ui::ScriptedUserInterface seam;
        const ui::ScopedUserInterface installed(seam);
        {
            xbase::Table other;
            other.setDirectory(m_dir.path());
            other.setTableName("T.DBF");
            other.open();
            other.go(3);
            other.deleteRecord();
        }
        grid.setCurrentIndex(model.index(2, 0));
        QCOMPARE(seam.messages().size(), 1u);
        QCOMPARE(seam.messages()[0].icon, QMessageBox::Critical);
        QCOMPARE(m_table->recNo(), 1u);
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    void everyChangeShowsAtOnce() {
        makeTable(3);
        ui::TableModel model(*m_table, columns());
        QCOMPARE(cell(model, 1, 0), QStringLiteral("Запись 2")); // cached now
        m_table->go(2);
        m_table->edit();
        m_table->setText(u"NAME", QStringLiteral("Правка"));
        QCOMPARE(cell(model, 1, 0), QStringLiteral("Правка")); // the buffer, being typed
        m_table->post();
        m_table->first();
        QCOMPARE(cell(model, 1, 0), QStringLiteral("Правка")); // the file, re-read

        m_table->append();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.currentRow(), 3);
        m_table->setText(u"NAME", QStringLiteral("Новая"));
        QCOMPARE(cell(model, 3, 0), QStringLiteral("Новая"));
        m_table->cancel();
        QCOMPARE(model.rowCount(), 3);

        m_table->append();
        m_table->setText(u"NAME", QStringLiteral("Четвёртая"));
        m_table->post();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(cell(model, 3, 0), QStringLiteral("Четвёртая"));
        QCOMPARE(model.currentRow(), 3);

        m_table->go(1);
        m_table->deleteRecord();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(cell(model, 0, 0), QStringLiteral("Правка"));
        QCOMPARE(model.currentRow(), 0);
    }

    void manyRowsAreReadOnlyWhenAsked() {
        makeTable(3000);
        ui::TableModel model(*m_table, columns());
        QCOMPARE(model.rowCount(), 3000);
        QCOMPARE(cell(model, 2999, 0), QStringLiteral("Запись 3000"));
        QCOMPARE(cell(model, 1500, 1), QStringLiteral("1501"));
        // Past the cache's window the first rows are read again, unchanged.
        for (int row = 0; row < 3000; row += 3)
            QCOMPARE(cell(model, row, 1), QString::number(row + 1));
        QCOMPARE(cell(model, 0, 0), QStringLiteral("Запись 1"));
    }
};

QTEST_MAIN(TableModelTest)
#include "table_model_test.moc"
