#include "Spr.h"

#include "Bef_del.h"
#include "dialog_frame.h"
#include "ui/error_guard.h"
#include "ui/table_grid.h"
#include "ui/table_model.h"
#include "ui/user_interface.h"
#include "xbase/error.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>

namespace dialogs {
namespace {

constexpr int kClientWidth = 558;
constexpr int kClientHeight = 546;
constexpr int kPanelHeight = 43;
constexpr int kButtonSize = 37;
constexpr int kGridLeft = 4;
// FormKeyPress takes characters only while the search text is shorter than this.
constexpr qsizetype kKeyPressLimit = 25;
const QColor kMarkColour(0xFF, 0x00, 0x00);

bool isSearchClearingKey(int key) {
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

// Ctrl+L, also where the keyboard layout gives that key another letter.
bool isFindNextKey(const QKeyEvent& event) {
#ifdef Q_OS_WIN
    constexpr quint32 kVirtualKeyL = 0x4C;
    if (event.nativeVirtualKey() == kVirtualKeyL)
        return true;
#endif
    return event.key() == Qt::Key_L;
}

// Paints every cell through the dialog's cell handlers.
class CellPainter : public QStyledItemDelegate {
public:
    explicit CellPainter(TSprDlg& dialog) : QStyledItemDelegate(&dialog), m_dialog(dialog) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        m_dialog.GridGetCellParams(index.row(), cell.font);
        m_dialog.GridDrawDataCell(*painter, cell, index);
    }

private:
    TSprDlg& m_dialog;
};

} // namespace

TSprDlg::TSprDlg(QWidget* parent) : QDialog(parent), m_search(HalcyonDataSet3, HalcyonDataSet4) {
    makeFixedDialog(*this, QStringLiteral("SprDlg"), kClientWidth, kClientHeight);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kClientWidth, kPanelHeight);
    fillBackground(*Panel1, kPanelColour);

    auto button = [this](const char* name, QStyle::StandardPixmap picture, const QString& hint,
                         int x, void (TSprDlg::*handler)()) {
        auto* b = new QToolButton(Panel1);
        b->setObjectName(QLatin1String(name));
        b->setAutoRaise(true);
        b->setIcon(style()->standardIcon(picture));
        b->setIconSize(QSize(24, 24));
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        b->setGeometry(x, (kPanelHeight - kButtonSize) / 2, kButtonSize, kButtonSize);
        connect(b, &QToolButton::clicked, this,
                ui::guarded([this, handler](bool) { (this->*handler)(); }));
        return b;
    };
    BtnAdd = button("BtnAdd", QStyle::SP_FileDialogNewFolder, QStringLiteral("Добавить - Insert"),
                    4, &TSprDlg::BtnAddClick);
    BtnEdit = button("BtnEdit", QStyle::SP_FileDialogDetailedView, QStringLiteral("Изменить - F4"),
                     4 + kButtonSize, &TSprDlg::BtnEditClick);
    BtnDel = button("BtnDel", QStyle::SP_TrashIcon, QStringLiteral("Удалить - Delete"),
                    4 + 2 * kButtonSize, &TSprDlg::BtnDelClick);
    BtnOk = button("BtnOk", QStyle::SP_DialogApplyButton, QStringLiteral("Выбрать - Enter"), 0,
                   &TSprDlg::BtnOkClick);
    BtnCancel = button("BtnCancel", QStyle::SP_DialogCancelButton, QStringLiteral("Отмена - Esc"),
                       0, &TSprDlg::BtnCancelClick);

    Grid = new ui::TableGrid(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->horizontalHeader()->hide();
    // A name column wider than the grid shows from its start when it becomes current.
    Grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Grid->setItemDelegate(new CellPainter(*this));
    Grid->setGeometry(kGridLeft, kPanelHeight + kGridLeft, kClientWidth - 2 * kGridLeft,
                      kClientHeight - kPanelHeight - 2 * kGridLeft);
    Grid->installEventFilter(this);
    connect(Grid, &ui::TableGrid::gridDoubleClicked, this, ui::guarded([this] { BtnOkClick(); }));
    Grid->setFocus();
    FormResize();
}

TSprDlg::~TSprDlg() {
    // The grid and its model go before the cursors they show.
    delete Grid;
    delete DataSource1;
    HalcyonDataSet4.close();
    HalcyonDataSet3.close();
}

void TSprDlg::Prepare(const QString& baseDir, const QString& table, const QString& indexTag,
                      QChar firstChar, bool findByName, const QString& name, int id,
                      EditProc editProc) {
    setUp(baseDir, table, indexTag, std::move(editProc), {}, nullptr);
    findEntry(firstChar, findByName, name, id);
}

void TSprDlg::PrepareKladr(const QString& baseDir, const QString& table, const QString& indexTag,
                           QChar firstChar, bool findByName, const QString& name, int id,
                           EditProc editProc, int range) {
    const QString key = QString::number(range);
    setUp(baseDir, table, indexTag, std::move(editProc), {QStringLiteral("KLADR.MDX")}, &key);
    findEntry(firstChar, findByName, name, id);
}

void TSprDlg::setUp(const QString& baseDir, const QString& table, const QString& indexTag,
                    EditProc editProc, const QStringList& indexFiles, const QString* range) {
    FEditProc = std::move(editProc);
    try {
        for (xbase::Table* t : {&HalcyonDataSet3, &HalcyonDataSet4}) {
            t->setDirectory(baseDir);
            t->setTableName(table);
            t->setIndexFiles(indexFiles);
            t->setActiveTag(indexTag);
            t->open();
            if (range) {
                // Without its tag the range would be no limit at all.
                if (!t->tagNames().contains(indexTag, Qt::CaseInsensitive))
                    throw xbase::Error(QStringLiteral("%1: нет тега %2 в %3")
                                           .arg(t->filePath(), indexTag, indexFiles.join(", ")));
                t->cancelRange();
                t->setRange(*range, *range);
            }
        }
    } catch (const std::exception&) {
        // The dialog opens on what could be opened; a partly limited settlement
        // list would offer other units' settlements, so that one shows nothing.
        ui::showError(ui::currentErrorText());
        if (range) {
            HalcyonDataSet4.close();
            HalcyonDataSet3.close();
        }
    }
    showList();
}

// The grid shows ID and NAME, in the order of the table's fields.
void TSprDlg::showList() {
    std::vector<ui::GridColumn> columns;
    if (HalcyonDataSet3.isOpen()) {
        for (const xbase::FieldDef& f : HalcyonDataSet3.fields()) {
            if (f.name.compare(kIdField, Qt::CaseInsensitive) == 0 ||
                f.name.compare(kNameField, Qt::CaseInsensitive) == 0)
                columns.push_back({f.name, f.name});
        }
    } else {
        columns = {{kIdField, kIdField}, {kNameField, kNameField}};
    }
    try {
        DataSource1 = new ui::TableModel(HalcyonDataSet3, columns, this);
    } catch (const std::exception&) {
        ui::showError(ui::currentErrorText());
        HalcyonDataSet4.close();
        HalcyonDataSet3.close();
        DataSource1 = new ui::TableModel(HalcyonDataSet3, columns, this);
    }
    Grid->setTableModel(DataSource1);
    m_search.setRows(DataSource1);
}

void TSprDlg::findEntry(QChar firstChar, bool findByName, const QString& name, int id) {
    FCurrentId = 0;
    const bool typesFirst = !firstChar.isNull() && firstChar != QLatin1Char(' ');
    if (findByName) {
        if (name.isEmpty() && !typesFirst)
            return;
    } else {
        FCurrentId = id;
        if (id < 1 && !typesFirst)
            return;
    }
    try {
        const bool found = m_search.seek(0, [&](const QByteArray& image) {
            return findByName ? m_search.fieldText(image, kNameField) == name
                              : m_search.fieldText(image, kIdField).toInt() == FCurrentId;
        });
        if (found && findByName)
            FCurrentId = HalcyonDataSet3.integer(kIdField);
    } catch (const std::exception&) {
        // A book that cannot be read shows as far as it could be.
    }
    if (!firstChar.isNull())
        SearchTyped(firstChar);
}

int TSprDlg::columnOf(const QString& field) const {
    if (!DataSource1)
        return -1;
    for (int c = 0; c < DataSource1->columnCount(); ++c) {
        if (DataSource1->column(c).field.compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

void TSprDlg::redraw() {
    Grid->viewport()->update();
}

void TSprDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormResize();
}

void TSprDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TSprDlg::FormResize() {
    const int width = this->width();
    BtnCancel->move(width - BtnCancel->width() - 6, BtnCancel->y());
    BtnOk->move(width - 2 * BtnCancel->width() - 10, BtnOk->y());
    Grid->resize(width - 2 * Grid->x(), Grid->height());
}

bool TSprDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Grid && event->type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        bool used = false;
        ui::guard([&] { used = FormKeyDown(key); });
        if (used)
            return true;
        // Ctrl with a letter makes no character (AltGr, Ctrl with Alt, does).
        const Qt::KeyboardModifiers chord =
            key.modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        const QString text = key.text();
        if (chord != Qt::ControlModifier && text.size() == 1 &&
            (text[0].isPrint() || text[0].unicode() < 0x20)) {
            ui::guard([&] { FormKeyPress(text[0]); });
            // The grid's own search by the first letters must not move the row.
            return text[0].isPrint() || text[0] == QChar(8);
        }
        return false;
    }
    if (watched == Grid && event->type() == QEvent::KeyRelease)
        FormKeyUp();
    return QDialog::eventFilter(watched, event);
}

bool TSprDlg::FormKeyDown(const QKeyEvent& event) {
    FKeyDown = true;
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier && isFindNextKey(event) && !searchText().isEmpty()) {
        SearchNext();
        return true;
    }
    if (modifiers != Qt::NoModifier || focusWidget() != Grid)
        return false;
    const int key = event.key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        BtnOkClick();
        return true;
    }
    if (key == Qt::Key_Escape) {
        BtnCancelClick();
        return true;
    }
    if (isSearchClearingKey(key)) {
        m_search.clear();
        redraw();
        return false;
    }
    const std::pair<int, std::pair<QToolButton*, void (TSprDlg::*)()>> commands[] = {
        {Qt::Key_Insert, {BtnAdd, &TSprDlg::BtnAddClick}},
        {Qt::Key_F4, {BtnEdit, &TSprDlg::BtnEditClick}},
        {Qt::Key_Delete, {BtnDel, &TSprDlg::BtnDelClick}},
    };
    for (const auto& [commandKey, command] : commands) {
        if (key == commandKey) {
            if (command.first->isEnabled())
                (this->*command.second)();
            return true;
        }
    }
    return false;
}

void TSprDlg::FormKeyPress(QChar ch) {
    if (focusWidget() == Grid && FKeyDown && searchText().size() < kKeyPressLimit)
        SearchTyped(ch.toUpper());
    FKeyDown = false;
}

void TSprDlg::FormKeyUp() {
    FKeyDown = false;
}

void TSprDlg::SearchTyped(QChar ch) {
    m_search.typed(ch);
    redraw();
}

void TSprDlg::SearchNext() {
    m_search.findNext();
    redraw();
}

void TSprDlg::BtnOkClick() {
    accept();
}

void TSprDlg::BtnCancelClick() {
    reject();
}

void TSprDlg::BtnAddClick() {
    if (FEditProc)
        FEditProc(HalcyonDataSet3, HalcyonDataSet4, true, windowTitle());
}

void TSprDlg::BtnEditClick() {
    try {
        // Only a test that no other user holds the row.
        HalcyonDataSet3.edit();
        HalcyonDataSet3.cancel();
    } catch (const std::exception&) {
        // The editor reports a row in use itself.
    }
    if (HalcyonDataSet3.isEmpty()) {
        BtnAddClick();
        return;
    }
    if (FEditProc)
        FEditProc(HalcyonDataSet3, HalcyonDataSet4, false, windowTitle());
}

void TSprDlg::BtnDelClick() {
    if (HalcyonDataSet3.isEmpty())
        return;
    try {
        HalcyonDataSet3.edit();
        HalcyonDataSet3.cancel();
        const QString name = HalcyonDataSet3.text(kNameField);
        if (AskBeforeDel(QLatin1Char('"') + name + QLatin1Char('"')) == TBeforeDelDlg::kYes)
            HalcyonDataSet3.deleteRecord();
    } catch (const std::exception&) {
        ui::userInterface().message(kRecordBusyText, kWarningCaption, QMessageBox::Critical);
    }
}

void TSprDlg::GridGetCellParams(int row, QFont& font) const {
    const int idColumn = columnOf(kIdField);
    if (idColumn < 0)
        return;
    const QString id = DataSource1->index(row, idColumn).data().toString();
    if (!id.isEmpty() && id.toInt() == FCurrentId)
        font.setBold(true);
}

void TSprDlg::GridDrawDataCell(QPainter& painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QRect r = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette& pal = option.palette;
    painter.save();
    painter.setClipRect(r);
    painter.fillRect(r, selected ? pal.highlight() : pal.base());
    painter.setFont(option.font);
    painter.setPen(selected ? pal.highlightedText().color() : pal.text().color());
    const QFontMetrics metrics(option.font);
    const int baseline = r.top() + 2 + metrics.ascent();
    const QString text = index.data().toString();
    painter.drawText(r.left() + 2, baseline, text);

    const int position = m_search.text().isEmpty() ? -1 : text.toUpper().indexOf(m_search.text());
    if (selected && position >= 0 && index.column() == columnOf(kNameField)) {
        const QString marked = text.mid(position, m_search.text().size());
        const int w1 = metrics.horizontalAdvance(text.left(position));
        const int w2 = metrics.horizontalAdvance(marked);
        const int left = r.left() + w1 + 1 + (option.font.bold() ? 0 : 1);
        painter.fillRect(QRect(left, r.top(), w2, r.height()), kMarkColour);
        painter.drawText(left, baseline, marked);
    }
    painter.restore();
}

namespace {

struct KladrResult {
    QString& code;
    int maxCodeLength;
    int range;
};

bool runDialog(const QString& baseDir, const QString& table, const QString& indexTag,
               const QString& title, const EditProc& editProc, int& id, QString& name,
               int maxNameLength, bool findByName, QChar firstChar, bool allowChanges,
               bool allowDelete, const KladrResult* kladr) {
    const QChar first = firstChar.toUpper();
    TSprDlg dialog;
    dialog.BtnAdd->setEnabled(allowChanges);
    dialog.BtnEdit->setEnabled(allowChanges);
    dialog.BtnDel->setEnabled(allowChanges && allowDelete);
    dialog.setWindowTitle(title);
    if (kladr)
        dialog.PrepareKladr(baseDir, table, indexTag, first, findByName, name, id, editProc,
                            kladr->range);
    else
        dialog.Prepare(baseDir, table, indexTag, first, findByName, name, id, editProc);
    if (ui::userInterface().execDialog(dialog) != QDialog::Accepted)
        return false;
    const xbase::Table& list = dialog.HalcyonDataSet3;
    try {
        name = list.text(kNameField).left(maxNameLength);
        if (kladr)
            kladr->code = list.text(u"CODE").left(kladr->maxCodeLength);
        id = list.integer(kIdField);
    } catch (const std::exception&) {
        // A row that cannot be read still counts as chosen.
    }
    return true;
}

} // namespace

bool SelectSpr(const QString& baseDir, const QString& table, const QString& indexTag,
               const QString& title, const EditProc& editProc, int& id, QString& name,
               int maxNameLength, bool findByName, QChar firstChar, bool allowChanges,
               bool allowDelete) {
    return runDialog(baseDir, table, indexTag, title, editProc, id, name, maxNameLength, findByName,
                     firstChar, allowChanges, allowDelete, nullptr);
}

bool SelectSprKladr(const QString& baseDir, const QString& table, const QString& indexTag,
                    const QString& title, const EditProc& editProc, int& id, QString& name,
                    int maxNameLength, QString& code, int maxCodeLength, bool findByName,
                    QChar firstChar, bool allowChanges, bool allowDelete, int range) {
    const KladrResult kladr{code, maxCodeLength, range};
    return runDialog(baseDir, table, indexTag, title, editProc, id, name, maxNameLength, findByName,
                     firstChar, allowChanges, allowDelete, &kladr);
}

} // namespace dialogs
