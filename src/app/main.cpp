#include "UnitMainFormKvell.h"
#include "configuration.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    app::LoadConfiguration();
    TMainFormKvell1 window;
    window.show();
    return application.exec();
}
