// What NativeFile does the same way on every system.
#include "native_file.h"

#include "error.h"

#include <QDir>

namespace xbase {

void NativeFile::readExact(std::int64_t offset, void* data, std::int64_t n) const {
    if (read(offset, data, n) != n)
        throw Error(QStringLiteral("%1: файл короче, чем указано в его заголовке")
                        .arg(QDir::toNativeSeparators(m_path)));
}

} // namespace xbase
