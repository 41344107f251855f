#pragma once

#include <QString>

namespace xbase {
class Table;
}

namespace data {

// Issues the next value of the counter `keyName` (upper-cased) kept in MAXKEY.DBF
// of `baseDir`, under the counter record's lock:
//   1 or more  the new key;
//   0          no key: an empty name, or MAXKEY.DBF / MAXKEY.MDX / its tag unusable,
//              or the new value could not be recorded (it is never handed out);
//  -1          the counter stayed locked by another user, after the message
//              "Файл ключей заблокирован одним из пользователей.".
int NextKey(const QString& baseDir, const QString& keyName);

// NextKey under the table's file name exactly as it was set ("PODR.dbf" and
// "PODR.DBF" are one counter), in the table's directory.
int NextKeyForTable(const xbase::Table& table);

} // namespace data
