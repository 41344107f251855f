// A second process for the key generator tests.
//
//   hold DIR NAME         lock the counter NAME, print "ready", wait to be killed
//   draw DIR NAME COUNT   draw COUNT keys, one per line
#include "data/key_generator.h"
#include "xbase/table.h"

#include <QCoreApplication>
#include <QThread>
#include <iostream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    if (args[1] == QLatin1String("hold")) {
        xbase::Table t;
        t.setDirectory(args[2]);
        t.setTableName(QStringLiteral("MAXKEY.DBF"));
        t.setIndexFiles({QStringLiteral("MAXKEY.MDX")});
        t.setActiveTag(QStringLiteral("NAME_VALUE"));
        t.open();
        if (!t.findKey(args[3]))
            return 1;
        t.edit();
        std::cout << "ready" << std::endl;
        for (;;)
            QThread::sleep(1);
    }
    if (args[1] == QLatin1String("draw")) {
        const int count = args.value(4).toInt();
        for (int i = 0; i < count; ++i)
            std::cout << data::NextKey(args[2], args[3]) << '\n';
        std::cout.flush();
        return 0;
    }
    return 2;
}
