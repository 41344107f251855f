#pragma once

#include <QByteArray>
#include <QString>

namespace xbase {

// The one boundary where stored bytes (code page 866) become text and back.
//
// Characters that cp866 cannot hold are written as a near equivalent of one
// byte (typographic quotes and dashes as their ASCII forms, a letter with a
// diacritic as its base letter), anything else as '?'. Every character becomes
// exactly one byte, so a width cut counts characters.
QByteArray toOem(QStringView text);
QString fromOem(QByteArrayView bytes);

// Without code-page translation bytes map to the first 256 code points.
QByteArray toLatin1Bytes(QStringView text);
QString fromLatin1Bytes(QByteArrayView bytes);

} // namespace xbase
