#pragma once

#include <QString>
#include <functional>

namespace xbase {
class Table;
}

namespace dialogs {

// The search by part of a name in a reference book, over two cursors of one
// table: `list` is the cursor the user sees, `search` is walked through the
// table so that the list does not scroll while the search runs; a row found
// moves the list to it. Names are compared upper-cased, record by record
// through the cursor, so nothing of the table is loaded beforehand.
class ReferenceSearch {
public:
    static constexpr qsizetype kMaxLength = 20;

    ReferenceSearch(xbase::Table& list, xbase::Table& search) : m_list(list), m_search(search) {}

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
    // end of the table nothing moves. Nothing happens without a text.
    void findNext();

private:
    enum class Start { FirstRow, ListRow, AfterListRow };
    // Walks the search cursor from `start` and moves the list to the first row
    // whose name contains the text; false when none does.
    bool find(Start start);

    xbase::Table& m_list;
    xbase::Table& m_search;
    QString m_text;
};

// Reads `cursor` forward from its current row until `matches` holds for a row
// (the cursor stays there, true) or the end is reached (false).
bool walkForward(xbase::Table& cursor, const std::function<bool()>& matches);

// The name field every reference book has, and its key.
inline const QString kNameField = QStringLiteral("NAME");
inline const QString kIdField = QStringLiteral("ID");

} // namespace dialogs
