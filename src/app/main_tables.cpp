#include "main_tables.h"

#include "data/table_layouts.h"
#include "ui/user_interface.h"
#include "xbase/error.h"
#include "xbase/lock_offsets.h"

#include <QMessageBox>

namespace app {
namespace {

// Far above every xBase lock offset and the engine's own sentinels, so it never
// meets a record, header or open lock of any program.
constexpr std::uint64_t kRunningCopyOffset = xbase::lock_offsets::kOpenSentinel + 0x100;

void setUp(xbase::Table& table, data::TableId id, bool exclusive) {
    table.setTableName(data::layout(id).fileName);
    table.setExclusive(exclusive);
}

// Opening a table at start-up may fail without harm: it stays closed.
void openQuietly(xbase::Table& table) {
    try {
        table.open();
    } catch (const xbase::Error&) {
    }
}

} // namespace

bool RunningCopyLock::acquire(const QString& moPath) {
    release();
    xbase::NativeFile file =
        xbase::NativeFile::open(moPath, xbase::FileAccess::ReadWrite, xbase::Sharing::Shared);
    if (!file.tryLock(kRunningCopyOffset, 1, xbase::LockType::Write))
        return false;
    m_file = std::move(file);
    return true;
}

void RunningCopyLock::release() {
    m_file.close();
}

MainTables::MainTables() {
    setUp(HalcyonDataSet3, data::TableId::Mo, false);
    setUp(HalcyonDataSet1, data::TableId::Licen, true);
    setUp(HalcyonDataSet7, data::TableId::Licen2, true);
    setUp(HalcyonDataSetPodr, data::TableId::Podr, true);
    setUp(HalcyonDataSet71, data::TableId::Podr2, true);
    setUp(HalcyonDataSet2, data::TableId::Prvs2, false);
    setUp(T_FFOMS, data::TableId::SpPmo, true);
}

bool MainTables::open(const QString& baseDir) {
    for (xbase::Table* t : {&HalcyonDataSet1, &HalcyonDataSetPodr, &HalcyonDataSet2,
                            &HalcyonDataSet3, &HalcyonDataSet7, &HalcyonDataSet71, &T_FFOMS})
        t->setDirectory(baseDir);
    try {
        HalcyonDataSet2.setIndexFiles({data::layout(data::TableId::Prvs2).indexFile});
    } catch (const xbase::Error&) {
    }
    for (xbase::Table* t : {&HalcyonDataSet1, &HalcyonDataSetPodr, &HalcyonDataSet2,
                            &HalcyonDataSet7, &HalcyonDataSet71})
        openQuietly(*t);
    try {
        startMoEdit();
        return true;
    } catch (const xbase::Error&) {
        ui::userInterface().message(kSecondCopyText, kSecondCopyCaption, QMessageBox::Critical,
                                    QMessageBox::Ok, QMessageBox::Ok);
        closeAfterSecondCopy();
        return false;
    }
}

// The MO record in edit mode holds its record lock; a second copy fails to take
// it. An MO.DBF without records has no record to lock, which the running-copy
// lock covers.
void MainTables::startMoEdit() {
    xbase::Table& mo = HalcyonDataSet3;
    mo.open();
    if (!m_runningCopy.acquire(mo.filePath()))
        throw xbase::LockError(
            QStringLiteral("%1: программа уже работает с этой базой").arg(mo.filePath()));
    mo.first();
    if (mo.isEmpty())
        mo.append();
    else
        mo.edit();
    if (mo.text(u"MCOD").isEmpty())
        mo.setText(u"MCOD", kUnknownMcod);
}

void MainTables::closeAfterSecondCopy() {
    try {
        if (HalcyonDataSet3.isOpen())
            HalcyonDataSet3.cancel();
    } catch (const xbase::Error&) {
    }
    for (xbase::Table* t : {&HalcyonDataSet3, &HalcyonDataSet1, &HalcyonDataSetPodr,
                            &HalcyonDataSet2, &HalcyonDataSet7, &HalcyonDataSet71})
        t->close();
    m_runningCopy.release();
}

void MainTables::closeAtExit() noexcept {
    try {
        HalcyonDataSet3.post();
        HalcyonDataSet3.close();
        HalcyonDataSet1.pack();
        HalcyonDataSet1.close();
        HalcyonDataSetPodr.pack();
        HalcyonDataSetPodr.close();
        HalcyonDataSet2.close();
        HalcyonDataSet71.pack();
        HalcyonDataSet71.close();
    } catch (...) {
        // Closing shows nothing; what is not packed now is packed next time.
    }
    try {
        xbase::Table& licen2 = HalcyonDataSet7;
        if (!licen2.isOpen() || !licen2.exclusive()) {
            licen2.close();
            licen2.setExclusive(true);
            licen2.open();
        }
        licen2.pack();
    } catch (...) {
    }
    m_runningCopy.release();
}

} // namespace app
