#pragma once

#include <QString>
#include <QStringList>

namespace app {

// Process-wide values, fixed by LoadConfiguration before the main window exists
// and only read afterwards.
extern QString ConfigFileName;
extern QString BaseDir;
extern bool ReportDesignAllowed;

// Texts longer than this are cut (the configuration keeps fixed-size buffers).
constexpr qsizetype kMaxPathLength = 255;

inline const QString kDefaultTitle = QStringLiteral("Квелларий");

struct Configuration {
    QString configFileName;
    QString baseDir;
    bool reportDesignAllowed = false;
    QString title;
};

// Evaluates the command line `arguments` (without the program name) and the
// configuration file of the executable `executablePath`. Never fails: a missing
// or unreadable file leaves the defaults in force.
Configuration readConfiguration(const QString& executablePath, const QStringList& arguments);

// Reads the configuration of the running program into the process-wide values
// and sets the application title.
void LoadConfiguration();

} // namespace app
