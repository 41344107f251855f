#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace xbase {
class Table;
}

namespace dialogs {

// The name editor of a reference row: one box for NAME of the row that the
// list cursor is adding or changing.
class TEditNaimDlg : public QDialog {
    Q_OBJECT

public:
    TEditNaimDlg(xbase::Table& dataSrc, bool adding, QWidget* parent = nullptr);

    // Handler of OkBtn: refuses an empty name; gives a new or unkeyed row a key
    // from the key generator, turns apostrophes into double quotes and stores
    // the row.
    void OKBtnClick();

    bool FAdding;
    xbase::Table& DataSrc;
    QFrame* Shape1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

// Adds a row to `list` (adding) or changes its current row through the name
// editor titled after the book; true when the row was stored. A row the user
// left is discarded. `search` is not used.
bool EditSprName(xbase::Table& list, xbase::Table& search, bool adding, const QString& title);

inline const QString kEmptyNameText = QStringLiteral("Наименование не указано !");

} // namespace dialogs
