#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace xbase {
class Table;
}

namespace ui {

// Binds an edit box to a field of a table cursor: the box shows the field of the
// current record and accepts at most the field's width; what the user types goes
// into the record buffer at once (so any post includes it). The box is read-only
// while the record is not being edited, or always when `readOnly` is set.
class FieldLink : public QObject {
    Q_OBJECT

public:
    enum class Access { ReadWrite, ReadOnly };

    FieldLink(QLineEdit& edit, xbase::Table& table, const QString& field,
              Access access = Access::ReadWrite);

    // Shows the field again as the cursor has it.
    void refresh();

private:
    void store(const QString& text);

    QLineEdit& m_edit;
    xbase::Table& m_table;
    QString m_field;
    Access m_access;
};

} // namespace ui
