#include "table_files.h"

#include "xbase/dbf_format.h"
#include "xbase/error.h"
#include "xbase/native_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace data {
namespace {

// The index files are deleted only after the table file itself could be opened.
void removeIndexFiles(const QString& tablePath) {
    const QFileInfo info(tablePath);
    for (const char* ext : {".MDX", ".CDX"}) {
        const QString name = info.completeBaseName() + QLatin1String(ext);
        const QString indexPath = xbase::resolveFileName(info.path(), name);
        if (QFileInfo::exists(indexPath))
            QFile::remove(indexPath);
    }
}

// Steps on the open file; a failure here leaves the result true, as the
// header's repair is best effort.
void repairHeader(xbase::NativeFile& file) {
    QByteArray header(static_cast<qsizetype>(xbase::kFileHeaderSize), '\0');
    const std::int64_t got = file.read(0, header.data(), header.size());
    header.truncate(got);
    if (got < 12)
        return;
    auto* b = reinterpret_cast<uchar*>(header.data());
    const std::int64_t size = file.size();
    const std::int64_t h = qFromLittleEndian<quint16>(b + 8);
    const std::int64_t r = qFromLittleEndian<quint16>(b + 10);
    // A header whose lengths cannot be right would put the end mark inside the
    // data: leave such a file alone.
    if (h <= xbase::kFileHeaderSize || r < 2 || h > size)
        return;
    if (got > 28)
        b[28] = 0;
    if (got > 29)
        b[29] = xbase::kLanguageDriverCp866;
    const std::int64_t n = (size - h) / r;
    if (n > 0xFFFFFFFFll)
        return;
    qToLittleEndian<quint32>(static_cast<quint32>(n), b + 4);
    file.write(0, header.constData(), header.size());
    const char eof = xbase::kEndOfFile;
    file.write(h + n * r, &eof, 1);
    file.truncate(h + n * r + 1);
    file.sync();
}

} // namespace

QString TableFilePath(const QString& baseDir, const QString& fileName) {
    if (baseDir.isEmpty())
        return fileName;
#ifdef _WIN32
    if (baseDir.size() == 1 && baseDir[0].isLetter())
        return baseDir + QStringLiteral(":\\") + fileName;
    if (baseDir.endsWith(u'\\') || baseDir.endsWith(u':') || baseDir.endsWith(u'/'))
        return baseDir + fileName;
    return baseDir + u'\\' + fileName;
#else
    if (baseDir.endsWith(u'/'))
        return baseDir + fileName;
    return baseDir + u'/' + fileName;
#endif
}

bool RepairTableHeader(const QString& path) {
    const QFileInfo info(path);
    const QString resolved = xbase::resolveFileName(info.path(), info.fileName());
    xbase::NativeFile file;
    try {
        // Exclusive: never rewrite a header under another user's open table.
        file = xbase::NativeFile::open(resolved, xbase::FileAccess::ReadWrite,
                                       xbase::Sharing::Exclusive);
    } catch (const xbase::Error&) {
        return false;
    }
    try {
        repairHeader(file);
    } catch (const xbase::Error&) {
        // Best effort, as documented: the index files still go.
    }
    file.close();
    removeIndexFiles(resolved);
    return true;
}

QString PadLeft(const QString& text, int width) {
    return text.size() >= width ? text : text.rightJustified(width, u' ');
}

QString PadRight(const QString& text, int width) {
    return text.size() >= width ? text : text.leftJustified(width, u' ');
}

} // namespace data
