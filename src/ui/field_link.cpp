#include "field_link.h"

#include "error_guard.h"
#include "xbase/table.h"

#include <QLineEdit>

namespace ui {
namespace {

// QLineEdit's own limit when a box has none.
constexpr int kNoLimit = 32767;

// A character field reads without its trailing blanks, so a box that shows the
// value followed by blanks (the user typing a space) already shows it.
bool shows(const QString& boxText, const QString& value) {
    qsizetype n = boxText.size();
    while (n > 0 && boxText[n - 1] == QLatin1Char(' '))
        --n;
    return QStringView(boxText).first(n) == value;
}

} // namespace

FieldLink::FieldLink(QLineEdit& edit, xbase::Table& table, const QString& field, Access access)
    : QObject(&edit), m_edit(edit), m_table(table), m_field(field), m_access(access) {
    connect(&m_table, &xbase::Table::currentChanged, this, &FieldLink::refresh);
    connect(&m_table, &xbase::Table::layoutReset, this, &FieldLink::refresh);
    connect(&m_table, &xbase::Table::recordChanged, this, &FieldLink::refresh);
    connect(&m_edit, &QLineEdit::textEdited, this, &FieldLink::store);
    refresh();
}

void FieldLink::refresh() {
    const int index = m_table.isOpen() ? m_table.fieldIndex(m_field) : -1;
    if (index < 0) {
        m_edit.setMaxLength(kNoLimit);
        m_edit.clear();
        m_edit.setReadOnly(true);
        return;
    }
    const xbase::FieldDef& f = m_table.fields()[static_cast<std::size_t>(index)];
    const bool editing = m_table.state() == xbase::Table::State::Edit ||
                         m_table.state() == xbase::Table::State::Insert;
    m_edit.setReadOnly(m_access == Access::ReadOnly || !editing);
    // Setting the limit sets the text again and moves the cursor to its end.
    if (m_edit.maxLength() != f.length)
        m_edit.setMaxLength(f.length);
    const QString text = m_table.text(m_field);
    // Leave the box alone when it already shows the value: the user is typing.
    if (!shows(m_edit.text(), text)) {
        m_edit.setText(text);
        // A value longer than the box shows its beginning.
        m_edit.setCursorPosition(0);
    }
}

void FieldLink::store(const QString& text) {
    guard([&] { m_table.setText(m_field, text); });
}

} // namespace ui
