#pragma once

#include <QString>

namespace data {

// The full path of a table file: the base directory, a separator added when it
// does not already end in one (on Windows also a colon; a lone drive letter gets
// ":\"), then the file name. An empty directory stays empty.
QString TableFilePath(const QString& baseDir, const QString& fileName);

// Brings a table file's header into a consistent state before its index is
// rebuilt: no production index, code page 866, the record count taken from the
// file's size, the partial record or stray bytes at the end cut off behind one
// end mark. Then deletes the .MDX and .CDX files of the same base name.
// False when the table file cannot be opened (the index files then stay).
bool RepairTableHeader(const QString& path);

// Blanks before (PadLeft) or after (PadRight) the text up to `width` characters;
// a longer text is returned unchanged.
QString PadLeft(const QString& text, int width);
QString PadRight(const QString& text, int width);

} // namespace data
