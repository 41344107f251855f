#pragma once

#include "xbase/native_file.h"
#include "xbase/table.h"

#include <QString>

namespace app {

// Held for the whole run on MO.DBF of the base directory: the sign that a copy
// of the program works on it. It sits beside the record lock of the MO record
// and covers what that lock cannot, an MO.DBF without records.
class RunningCopyLock {
public:
    // False when another copy holds it; throws xbase::Error when MO.DBF cannot be
    // opened.
    bool acquire(const QString& moPath);
    void release();

private:
    xbase::NativeFile m_file;
};

// The table objects of the main window and their life: opened at start-up in a
// fixed order and mode, the MO record kept in edit mode for the whole run, packed
// and closed when the program ends.
class MainTables {
public:
    MainTables();
    MainTables(const MainTables&) = delete;
    MainTables& operator=(const MainTables&) = delete;

    // Opens the tables on `baseDir`. Returns false when another copy of the
    // program works on the base: the user has been told and every table is closed.
    bool open(const QString& baseDir);
    // Writes the MO record, packs LICEN, PODR, PODR2 and LICEN2 and closes all but
    // LICEN2. Silent: a failure ends the sequence, LICEN2 is packed regardless.
    void closeAtExit() noexcept;

    xbase::Table HalcyonDataSet3;    // MO.DBF, shared; the first record in edit mode
    xbase::Table HalcyonDataSet1;    // LICEN.DBF, exclusive
    xbase::Table HalcyonDataSet7;    // LICEN2.DBF, exclusive
    xbase::Table HalcyonDataSetPodr; // PODR.dbf, exclusive
    xbase::Table HalcyonDataSet71;   // PODR2.DBF, exclusive
    xbase::Table HalcyonDataSet2;    // PRVS2.DBF, shared
    xbase::Table T_FFOMS;            // SP_PMO.DBF, exclusive, only during the import

private:
    void startMoEdit();
    void closeAfterSecondCopy();

    RunningCopyLock m_runningCopy;
};

inline const QString kSecondCopyText =
    QStringLiteral("Программа запущена второй раз.\r\nЗакройте, пожалуйста, оба варианта.");
inline const QString kSecondCopyCaption = QStringLiteral("Внимание!");
inline const QString kUnknownMcod = QStringLiteral("330000");

} // namespace app
