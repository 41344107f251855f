#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace xbase {
class Table;
}
namespace ui {
class TableModel;
}

namespace dialogs {

// The search by part of a name in a reference book, over two cursors of one
// table: `list` is the cursor the user sees, `search` stands on the row a
// search found, and the list is moved to it.
//
// A search reads forward through the rows the grid lists for the list cursor,
// in their order, a block of neighbouring records per read, and keeps nothing
// it read: a keystroke over a book of 100 000 rows costs the reads of the rows
// it passes, and nothing is loaded before the user types.
class ReferenceSearch {
public:
    static constexpr qsizetype kMaxLength = 20;

    ReferenceSearch(xbase::Table& list, xbase::Table& search) : m_list(list), m_search(search) {}

    // The rows the list shows, in its order.
    void setRows(const ui::TableModel* rows) { m_rows = rows; }

    // The text typed so far, upper case.
    const QString& text() const { return m_text; }
    void clear() { m_text.clear(); }

    // One typed character, already upper case. Backspace drops the last
    // character and searches the rest from the first row; any other character is
    // appended (up to kMaxLength) and searched from the list's row on, or from the
    // first row while the text is shorter than two characters. When no row
    // contains the new text it is taken back and the list stays where it was.
    // Control characters other than Backspace are ignored.
    void typed(QChar ch);

    // Moves the list to the next row after its own that contains the text; at the
    // end of the book nothing moves. Nothing happens without a text.
    void findNext();

    // Moves both cursors to the first row from `fromRow` on whose image `matches`
    // accepts; false, nothing moved, when none does.
    using Match = std::function<bool(const QByteArray& image)>;
    bool seek(int fromRow, const Match& matches);
    // A field of a record image as the table gives it.
    QString fieldText(const QByteArray& image, const QString& field) const;

private:
    // Accepts a record whose upper-cased NAME contains the text.
    Match containsText() const;
    // The first row from `fromRow` on whose record `matches` accepts, as its
    // record number; 0 when none.
    std::uint32_t scan(int fromRow, const Match& matches) const;

    xbase::Table& m_list;
    xbase::Table& m_search;
    const ui::TableModel* m_rows = nullptr;
    QString m_text;
};

// The name field every reference book has, and its key.
inline const QString kNameField = QStringLiteral("NAME");
inline const QString kIdField = QStringLiteral("ID");

} // namespace dialogs
