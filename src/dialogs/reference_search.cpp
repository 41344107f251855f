#include "reference_search.h"

#include "xbase/table.h"

namespace dialogs {
namespace {

constexpr char16_t kBackspace = 8;
constexpr char16_t kLastControl = 27;

} // namespace

void ReferenceSearch::typed(QChar ch) {
    if (ch.unicode() <= kLastControl && ch.unicode() != kBackspace)
        return;
    const QString before = m_text;
    Start start = Start::ListRow;
    if (ch.unicode() == kBackspace) {
        if (m_text.isEmpty())
            return;
        m_text.chop(1);
        start = Start::FirstRow;
    } else {
        if (m_text.size() >= kMaxLength)
            return;
        m_text.append(ch);
    }
    if (m_text.size() < 2)
        start = Start::FirstRow;
    // Every name contains an empty text, yet the list is left where it is.
    if (m_text.isEmpty())
        return;
    if (!find(start))
        m_text = before;
}

void ReferenceSearch::findNext() {
    if (!m_text.isEmpty())
        find(Start::AfterListRow);
}

bool ReferenceSearch::find(Start start) {
    if (!m_search.isOpen() || !m_list.isOpen())
        return false;
    if (start == Start::FirstRow || m_list.recNo() == 0) {
        m_search.first();
    } else {
        m_search.go(m_list.recNo());
        if (start == Start::AfterListRow)
            m_search.next();
    }
    if (!walkForward(m_search,
                     [this] { return m_search.text(kNameField).toUpper().contains(m_text); }))
        return false;
    m_list.go(m_search.recNo());
    return true;
}

bool walkForward(xbase::Table& cursor, const std::function<bool()>& matches) {
    for (; !cursor.eof() && cursor.recNo() != 0; cursor.next()) {
        if (matches())
            return true;
    }
    return false;
}

} // namespace dialogs
