#include "reference_book.h"

#include "test_base.h"
#include "ui/table_model.h"

#include <QTest>

namespace dialog_test {

void createBook(const QString& dir, data::TableId id,
                const std::vector<std::pair<int, QString>>& rows) {
    test_support::createEmptyBase(dir);
    for (const auto& [key, name] : rows)
        test_support::appendRecord(dir, id, {{"ID", QString::number(key)}, {"NAME", name}});
}

void createKladr(const QString& dir, const std::vector<Settlement>& rows) {
    test_support::createEmptyBase(dir);
    xbase::Table t;
    t.setDirectory(dir);
    t.setTableName(QStringLiteral("KLADR.DBF"));
    t.setExclusive(true);
    t.open();
    for (const Settlement& s : rows) {
        t.append();
        t.setInteger(u"ID", s.id);
        t.setText(u"NAME", s.name);
        t.setText(u"CODE", QStringLiteral("33%1").arg(s.id, 11, 10, QLatin1Char('0')));
        t.setInteger(u"OCATD", s.unit);
        t.post();
    }
    t.createIndex(QStringLiteral("KLADR.MDX"), QStringLiteral("OCATD"), QStringLiteral("OCATD"));
}

void createKeyCounters(const QString& dir, const std::vector<std::pair<QString, int>>& counters) {
    xbase::Table t;
    t.setDirectory(dir);
    t.setTableName(QStringLiteral("MAXKEY.DBF"));
    t.setExclusive(true);
    t.open();
    for (const auto& [name, last] : counters) {
        t.append();
        t.setText(u"NAME_VALUE", name);
        t.setInteger(u"INFO_VALUE", last);
        t.post();
    }
    t.createIndex(QStringLiteral("MAXKEY.MDX"), QStringLiteral("NAME_VALUE"),
                  QStringLiteral("NAME_VALUE"));
}

void type(QWidget* widget, const QString& text) {
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, ch == ' ' ? Qt::Key_Space : Qt::Key_unknown,
                            QString(ch), Qt::NoModifier);
}

QStringList listedNames(const dialogs::TSprDlg& dialog) {
    const ui::TableModel& m = *dialog.DataSource1;
    int nameColumn = -1;
    for (int c = 0; c < m.columnCount(); ++c) {
        if (m.column(c).field == dialogs::kNameField)
            nameColumn = c;
    }
    QStringList names;
    for (int r = 0; r < m.rowCount(); ++r)
        names << m.index(r, nameColumn).data().toString();
    return names;
}

QString currentName(const dialogs::TSprDlg& dialog) {
    return dialog.HalcyonDataSet3.text(dialogs::kNameField);
}

} // namespace dialog_test
