#pragma once

#include "main_tables.h"

#include <QMainWindow>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;

namespace ui {
class ButtonEdit;
class FormPlacement;
class TableGrid;
class TableModel;
} // namespace ui

// The main window: the organisation's details over its MO record, the licence
// entries and the subdivisions in two grids, and the menu of every function. It
// owns the table objects; creating it opens them, closing it packs and closes them.
class TMainFormKvell1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainFormKvell1(QWidget* parent = nullptr);
    ~TMainFormKvell1() override;

    app::MainTables& tables() { return m_tables; }

    QWidget* Panel1 = nullptr;
    QLineEdit* DBEdit1 = nullptr;
    QLineEdit* DBEdit2 = nullptr;
    QLineEdit* DBEdit3 = nullptr;
    QLineEdit* DBEdit4 = nullptr;
    QLineEdit* DBEdit5 = nullptr;
    QLineEdit* DBEdit6 = nullptr;
    QLineEdit* DBEdit7 = nullptr;
    QLineEdit* DBEdit8 = nullptr;
    QLineEdit* DBEdit9 = nullptr;
    QLineEdit* DBEdit10 = nullptr;
    QLineEdit* DBEdit11 = nullptr;
    QLineEdit* DBEdit13 = nullptr;
    QLineEdit* Edit1 = nullptr;
    ui::ButtonEdit* EditOPF = nullptr;
    ui::ButtonEdit* EditVedPr = nullptr;
    QComboBox* ComboBox1 = nullptr;
    ui::TableModel* DataSource1 = nullptr;
    ui::TableModel* DataSource2 = nullptr;
    ui::TableGrid* Grid1 = nullptr;
    ui::TableGrid* Grid2 = nullptr;
    QSplitter* RxSplitter1 = nullptr;
    QLabel* StatusBar1Panel = nullptr;
    QMenu* N1 = nullptr;
    QMenu* N3 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanel();
    void buildGrids();
    void buildMenu();
    void FormCreate();
    void FormClose();
    void ComboBoxTypeErrChange();
    void showOrgType();
    void EditOPFButtonClick();
    void EditOPFDblClick();
    void EditVedPrButtonClick();
    void EditVedPrDblClick();
    void ItemExitClick();

    app::MainTables m_tables;
    std::unique_ptr<ui::FormPlacement> m_placement;
};
