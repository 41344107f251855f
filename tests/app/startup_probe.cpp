// A second copy of the program for the tests: starts the main window on a base
// directory with scripted message boxes, prints what it saw, and closes it.
//
//   startup_probe <base directory> <configuration file>
//
// Output lines (UTF-8): "message<TAB>caption<TAB>icon<TAB>text" with "\r" and
// "\n" written as such escapes, then "open<TAB>" and the names of the open
// tables, "mo<TAB>" and the MO state, and "closed" at the end.

#include "UnitMainFormKvell.h"
#include "configuration.h"
#include "ui/scripted_user_interface.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    app::BaseDir = args[1];
    app::ConfigFileName = args[2];
    ui::ScriptedUserInterface seam;
    const ui::ScopedUserInterface installed(seam);
    QTextStream out(stdout);

    TMainFormKvell1 window;
    for (const auto& m : seam.messages()) {
        QString text = m.text;
        text.replace(QStringLiteral("\r"), QStringLiteral("\\r"))
            .replace(QStringLiteral("\n"), QStringLiteral("\\n"));
        out << "message\t" << m.caption << '\t' << int(m.icon) << '\t' << text << '\n';
    }
    app::MainTables& t = window.tables();
    const std::pair<const char*, xbase::Table*> tables[] = {
        {"MO", &t.HalcyonDataSet3},     {"LICEN", &t.HalcyonDataSet1},
        {"LICEN2", &t.HalcyonDataSet7}, {"PODR", &t.HalcyonDataSetPodr},
        {"PODR2", &t.HalcyonDataSet71}, {"PRVS2", &t.HalcyonDataSet2},
        {"SP_PMO", &t.T_FFOMS}};
    out << "open\t";
    for (const auto& [name, table] : tables) {
        if (table->isOpen())
            out << name << ' ';
    }
    out << "\nmo\t" << int(t.HalcyonDataSet3.state()) << '\n';
    window.close();
    out << "closed\n";
    return 0;
}
