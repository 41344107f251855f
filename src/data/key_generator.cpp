#include "key_generator.h"

#include "ui/user_interface.h"
#include "xbase/error.h"
#include "xbase/table.h"

#include <QThread>

namespace data {
namespace {

constexpr int kLockAttempts = 1000;
// The first attempts follow each other at once; later ones leave the holder a
// millisecond to post, so a holder that is merely slow is not taken for a stuck one.
constexpr int kAttemptsWithoutPause = 10;

const QString kCounterTable = QStringLiteral("MAXKEY.DBF");
const QString kCounterIndex = QStringLiteral("MAXKEY.MDX");
const QString kCounterTag = QStringLiteral("NAME_VALUE");

void pauseBeforeAttempt(int attempt) {
    if (attempt >= kAttemptsWithoutPause)
        QThread::msleep(1);
}

void openCounters(xbase::Table& t, const QString& baseDir, bool exclusive) {
    t.setDirectory(baseDir);
    t.setTableName(kCounterTable);
    t.setIndexFiles({kCounterIndex});
    t.setActiveTag(kCounterTag);
    t.setExclusive(exclusive);
    t.open();
    if (!t.tagNames().contains(kCounterTag, Qt::CaseInsensitive))
        throw xbase::Error(QStringLiteral("%1: нет тега %2").arg(kCounterIndex, kCounterTag));
}

// A counter record is created with the table held exclusively, so that two
// processes asking for a new name at once cannot both add one. False when the
// table stayed in use for every attempt.
bool createCounter(const QString& baseDir, const QString& name) {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        pauseBeforeAttempt(attempt);
        xbase::Table t;
        try {
            openCounters(t, baseDir, true);
        } catch (const xbase::LockError&) {
            continue;
        }
        if (!t.findKey(name)) {
            t.append();
            t.setText(u"NAME_VALUE", name);
            t.setInteger(u"INFO_VALUE", 0);
            t.post();
        }
        return true;
    }
    return false;
}

// Puts the counter record the table stands on into edit mode; false when another
// user kept it locked for every attempt.
bool lockCounter(xbase::Table& t) {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        pauseBeforeAttempt(attempt);
        try {
            t.edit();
            return true;
        } catch (const xbase::LockError&) {
            // Held by another user: try again.
        }
    }
    return false;
}

int reportLocked() {
    ui::userInterface().message(QStringLiteral("Файл ключей заблокирован одним из пользователей."),
                                QStringLiteral("Внимание !"), QMessageBox::Critical);
    return -1;
}

} // namespace

int NextKey(const QString& baseDir, const QString& keyName) {
    if (keyName.isEmpty())
        return 0;
    const QString name = keyName.toUpper();
    try {
        xbase::Table t;
        openCounters(t, baseDir, false);
        if (!t.findKey(name)) {
            t.close();
            if (!createCounter(baseDir, name))
                return reportLocked();
            openCounters(t, baseDir, false);
            if (!t.findKey(name))
                return 0;
        }
        if (!lockCounter(t)) {
            t.close();
            return reportLocked();
        }
        const int value = t.integer(u"INFO_VALUE") + 1;
        t.setInteger(u"INFO_VALUE", value);
        t.post();
        return value;
    } catch (const xbase::Error&) {
        // Counter table missing or unusable, or the new value not recorded.
        return 0;
    }
}

int NextKeyForTable(const xbase::Table& table) {
    return NextKey(table.directory(), table.tableName());
}

} // namespace data
