#pragma once

#include "data/table_layouts.h"
#include "dialogs/Spr.h"
#include "ui/scripted_user_interface.h"

#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <utility>
#include <vector>

namespace dialog_test {

// What one test works in: a temporary directory and the scripted user interface,
// installed while it lives.
struct Scene {
    QTemporaryDir dir;
    ui::ScriptedUserInterface seam;
    ui::ScopedUserInterface installed{seam};
};

// An empty base in `dir` whose book `id` holds the (ID, NAME) rows, in this order.
void createBook(const QString& dir, data::TableId id,
                const std::vector<std::pair<int, QString>>& rows);

// An empty base in `dir` whose settlement book holds `rows` (ID, NAME, OCATD), CODE
// made of the ID, with KLADR.MDX and its tag OCATD.
struct Settlement {
    int id;
    QString name;
    int unit;
};
void createKladr(const QString& dir, const std::vector<Settlement>& rows);

// The key counters (MAXKEY.DBF with MAXKEY.MDX) of the base in `dir`, holding
// the last keys issued per key name.
void createKeyCounters(const QString& dir, const std::vector<std::pair<QString, int>>& counters);

// Types text as the user would, Cyrillic included.
void type(QWidget* widget, const QString& text);

// The names of the rows the dialog lists, in order.
QStringList listedNames(const dialogs::TSprDlg& dialog);

// The NAME of the list's current row.
QString currentName(const dialogs::TSprDlg& dialog);

} // namespace dialog_test
