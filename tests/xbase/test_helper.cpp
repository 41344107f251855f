// A second process for the lock and crash tests.
//
//   hold DIR TABLE shared|exclusive|record:N   open (and lock), print "ready", wait
//   append DIR TABLE COUNT [INDEX]             append COUNT records named p1, p2, …
//   pack DIR TABLE [INDEX]                     open exclusively (with that index file) and pack
//
// With XBASE_FAULT_POINT set, append and pack end at that point as if killed.
#include "xbase/error.h"
#include "xbase/table.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <iostream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::cerr << "usage: helper hold|append|pack DIR TABLE [ARG]\n";
        return 2;
    }
    const QString& command = args[1];
    xbase::Table t;
    t.setDirectory(args[2]);
    t.setTableName(args[3]);
    try {
        if (command == QLatin1String("hold")) {
            const QString mode = args.value(4);
            t.setExclusive(mode == QLatin1String("exclusive"));
            t.open();
            if (mode.startsWith(QLatin1String("record:"))) {
                t.go(mode.mid(7).toUInt());
                t.edit();
            }
            std::cout << "ready" << std::endl;
            for (;;)
                QThread::sleep(1);
        }
        if (command == QLatin1String("append")) {
            if (args.size() > 5)
                t.setIndexFiles({args[5]});
            t.open();
            const int count = args.value(4).toInt();
            for (int i = 1; i <= count; ++i) {
                t.append();
                t.setText(u"NAME", QStringLiteral("p%1").arg(i));
                t.setInteger(u"ID", i);
                t.post();
            }
            return 0;
        }
        if (command == QLatin1String("pack")) {
            if (args.size() > 4)
                t.setIndexFiles({args[4]});
            t.setExclusive(true);
            t.open();
            t.pack();
            return 0;
        }
    } catch (const xbase::Error& e) {
        std::cout << "error: " << e.what() << std::endl;
        return 1;
    }
    return 2;
}
