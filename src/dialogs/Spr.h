#pragma once

#include "reference_search.h"
#include "xbase/table.h"

#include <QDialog>
#include <functional>

class QKeyEvent;
class QPainter;
class QStyleOptionViewItem;
class QToolButton;

namespace ui {
class TableGrid;
class TableModel;
} // namespace ui

namespace dialogs {

// Adds (adding true) or changes the list's current row of a reference book:
// the list cursor, the search cursor, adding, the title of the book.
using EditProc = std::function<bool(xbase::Table& list, xbase::Table& search, bool adding,
                                    const QString& title)>;

// The reference-book dialog: the rows of one reference table (ID and NAME), a
// search by part of a name as the user types, and the row chosen. The list and
// the search walk two cursors of their own on the table; the grid lists the
// list cursor's rows.
class TSprDlg : public QDialog {
    Q_OBJECT

public:
    explicit TSprDlg(QWidget* parent = nullptr);
    ~TSprDlg() override;

    // Opens both cursors on `table` in `baseDir` (a failure leaves the dialog
    // showing what could be opened) and moves the list to the caller's entry,
    // found by its name or by its ID; `firstChar` (null for none) is then
    // handled as typed.
    void Prepare(const QString& baseDir, const QString& table, const QString& indexTag,
                 QChar firstChar, bool findByName, const QString& name, int id, EditProc editProc);
    // The same on KLADR.DBF with KLADR.MDX, both cursors limited to the
    // settlements whose key in `indexTag` equals `range`.
    void PrepareKladr(const QString& baseDir, const QString& table, const QString& indexTag,
                      QChar firstChar, bool findByName, const QString& name, int id,
                      EditProc editProc, int range);

    const QString& searchText() const { return m_search.text(); }
    int currentId() const { return FCurrentId; }

    // Handlers.
    void FormResize();
    // Returns true when the key was used up here and the grid must not see it.
    bool FormKeyDown(const QKeyEvent& event);
    void FormKeyPress(QChar ch);
    void FormKeyUp();
    void BtnOkClick();
    void BtnCancelClick();
    void BtnAddClick();
    void BtnEditClick();
    void BtnDelClick();
    // The cell look of the grid: the caller's entry in bold, the typed text as a
    // red mark in the current name cell.
    void GridGetCellParams(int row, QFont& font) const;
    void GridDrawDataCell(QPainter& painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const;
    void SearchTyped(QChar ch);
    void SearchNext();

    QWidget* Panel1 = nullptr;
    QToolButton* BtnAdd = nullptr;
    QToolButton* BtnEdit = nullptr;
    QToolButton* BtnDel = nullptr;
    QToolButton* BtnOk = nullptr;
    QToolButton* BtnCancel = nullptr;
    ui::TableGrid* Grid = nullptr;
    ui::TableModel* DataSource1 = nullptr;
    xbase::Table HalcyonDataSet3; // the list
    xbase::Table HalcyonDataSet4; // the search cursor

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setUp(const QString& baseDir, const QString& table, const QString& indexTag,
               EditProc editProc, const QStringList& indexFiles, const QString* range);
    void showList();
    void findEntry(QChar firstChar, bool findByName, const QString& name, int id);
    int columnOf(const QString& field) const;
    void redraw();

    bool FKeyDown = false;
    int FCurrentId = -1;
    EditProc FEditProc;
    ReferenceSearch m_search;
};

// Lets the user pick a row of the reference table `table` (in `baseDir`). `id`
// and `name` come in as the caller's entry and go out as the chosen row's (the
// name cut to `maxNameLength`); true when a row was chosen. Adding and changing
// rows (through `editProc`) need `allowChanges`, deleting also `allowDelete`.
bool SelectSpr(const QString& baseDir, const QString& table, const QString& indexTag,
               const QString& title, const EditProc& editProc, int& id, QString& name,
               int maxNameLength, bool findByName, QChar firstChar, bool allowChanges,
               bool allowDelete);

// The same for the settlements of one territorial unit (`range`) in KLADR.DBF,
// also giving the chosen row's CODE.
bool SelectSprKladr(const QString& baseDir, const QString& table, const QString& indexTag,
                    const QString& title, const EditProc& editProc, int& id, QString& name,
                    int maxNameLength, QString& code, int maxCodeLength, bool findByName,
                    QChar firstChar, bool allowChanges, bool allowDelete, int range);

inline const QString kRecordBusyText = QStringLiteral("Запись занята другим пользователем !");
inline const QString kWarningCaption = QStringLiteral("Внимание !");

} // namespace dialogs
