#pragma once

#include "dbf_format.h"
#include "index_key.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace xbase {

// An xBase key expression of an index tag, compiled against a table's fields.
//
// Grammar: expr := term { '+' term }; term := call | field | "text" | 'text' |
// number | '(' expr ')'; call := NAME '(' args ')'; field := NAME | ALIAS->NAME.
// Functions (any letter case): Substr(c, start [, count]), Str(n [, len [, dec]]),
// Upper(c), Dtos(d), Val(c). '+' joins texts or adds numbers. The arguments that fix
// a length (Substr's start and count, Str's len and dec) must be number constants,
// so the key length is known from the table structure alone.
//
// Keys are built from the stored bytes (code page 866): Upper maps ASCII letters
// and the cp866 Cyrillic letters (ё included) to capitals.
class KeyExpression {
public:
    struct Node;

    // Throws Error naming the expression, the 1-based position and the fault.
    static KeyExpression compile(const QString& text, const std::vector<FieldDef>& fields);

    const QString& text() const { return m_text; }
    KeyType type() const { return m_type; }
    // Bytes of a key: the static length of a character result, 12 or 8.
    int length() const { return m_length; }

    // The key of a record image (byte 0 = deletion flag, fields after it):
    // a character result padded with blanks to length(), a number in packed
    // decimal form, a date as its Julian day.
    QByteArray evaluate(const char* record) const;
    QByteArray evaluate(const QByteArray& record) const { return evaluate(record.constData()); }

private:
    QString m_text;
    KeyType m_type = KeyType::Character;
    int m_length = 0;
    std::shared_ptr<const Node> m_root;
};

} // namespace xbase
