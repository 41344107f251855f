#include "configuration.h"

#include "ui/ini_file.h"
#include "ui/user_interface.h"
#include "xbase/codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace app {

QString ConfigFileName;
QString BaseDir;
bool ReportDesignAllowed = false;

namespace {

QString cut(const QString& text) {
    return text.left(kMaxPathLength);
}

// The executable's path with its extension replaced by ".INI" (added when it
// has none).
QString defaultConfigFileName(const QFileInfo& exe) {
    const QString name = exe.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    return QDir::toNativeSeparators(exe.absolutePath() + QLatin1Char('/') + base) +
           QStringLiteral(".INI");
}

} // namespace

Configuration readConfiguration(const QString& executablePath, const QStringList& arguments) {
    const QFileInfo exe(executablePath);
    Configuration c;
    c.configFileName = cut(defaultConfigFileName(exe));

    for (QString argument : arguments) {
        if (argument.startsWith(QLatin1String("/I=")) ||
            argument.startsWith(QLatin1String("/i="))) {
            argument.remove(0, 3);
            if (!argument.isEmpty())
                c.configFileName = cut(argument);
        }
        if (argument == QLatin1String("/S") || argument == QLatin1String("/s"))
            c.reportDesignAllowed = true;
    }

    c.baseDir = cut(QDir::toNativeSeparators(exe.absolutePath() + QLatin1Char('/')) +
                    QStringLiteral("BASE"));
    const ui::IniFile ini(c.configFileName);
    // Paths are in the system's own encoding, the title in the OEM code page.
    const QByteArray pathBase = ui::trimBlanks(ini.value("Paths", "PathBase", {}));
    if (!pathBase.isEmpty())
        c.baseDir = cut(QString::fromLocal8Bit(pathBase));
    const QString title = xbase::fromOem(ui::trimBlanks(ini.value("Application", "AppName", {})));
    c.title = title.isEmpty() ? kDefaultTitle : title;
    return c;
}

void LoadConfiguration() {
    const Configuration c = readConfiguration(QCoreApplication::applicationFilePath(),
                                              QCoreApplication::arguments().mid(1));
    ConfigFileName = c.configFileName;
    BaseDir = c.baseDir;
    ReportDesignAllowed = c.reportDesignAllowed;
    ui::setApplicationTitle(c.title);
}

} // namespace app
