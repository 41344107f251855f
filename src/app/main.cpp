#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Квелларий"));
    QLabel placeholder(QStringLiteral("Квелларий"));
    placeholder.setWindowTitle(QStringLiteral("Квелларий"));
    placeholder.resize(480, 200);
    placeholder.show();
    return app.exec();
}
