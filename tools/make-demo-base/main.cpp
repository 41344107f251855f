// make-demo-base: builds a complete demonstration base directory.
#include "demo_base.h"
#include "xbase/error.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>
#include <stdexcept>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("make-demo-base"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Builds a demonstration base directory (tables, index files)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("directory"),
                                 QStringLiteral("the base directory to build"));
    const QCommandLineOption scale(
        QStringLiteral("scale"),
        QStringLiteral("Add N x 1000 licence entries and subdivisions, N x 10000 settlements."),
        QStringLiteral("N"), QStringLiteral("0"));
    parser.addOption(scale);
    parser.process(app);

    QTextStream err(stderr);
    bool ok = false;
    const int n = parser.value(scale).toInt(&ok);
    if (parser.positionalArguments().size() != 1 || !ok || n < 0) {
        err << parser.helpText();
        return 2;
    }
    try {
        demo::buildDemoBase(parser.positionalArguments().constFirst(), n);
    } catch (const xbase::Error& e) {
        err << "make-demo-base: " << e.message() << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << "make-demo-base: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
