#include "error.h"
#include "lock_offsets.h"
#include "native_file.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xbase {
namespace {

QString systemMessage(int err) {
    switch (err) {
    case ENOENT:
        return QStringLiteral("файл не найден");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа к файлу");
    case EROFS:
        return QStringLiteral("файл на диске только для чтения");
    case ENOSPC:
        return QStringLiteral("нет места на диске");
    case EISDIR:
        return QStringLiteral("это папка, а не файл");
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

[[noreturn]] void fail(const QString& path, const QString& what, int err) {
    throw Error(QStringLiteral("%1: %2 (%3)")
                    .arg(QDir::toNativeSeparators(path), what, systemMessage(err)));
}

bool setLock(int fd, short type, std::uint64_t offset, std::uint64_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;
    while (::fcntl(fd, F_OFD_SETLK, &fl) == -1) {
        if (errno == EINTR)
            continue;
        return false;
    }
    return true;
}

} // namespace

NativeFile::~NativeFile() {
    close();
}

NativeFile::NativeFile(NativeFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)),
      m_access(other.m_access) {}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_access = other.m_access;
    }
    return *this;
}

NativeFile NativeFile::open(const QString& path, FileAccess access, Sharing sharing) {
    const int flags = (access == FileAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    NativeFile f;
    f.m_path = path;
    f.m_access = access;
    f.m_fd = ::open(QFile::encodeName(path).constData(), flags);
    if (f.m_fd < 0)
        fail(path, QStringLiteral("не удалось открыть"), errno);
    struct stat st {};
    if (::fstat(f.m_fd, &st) == 0 && S_ISDIR(st.st_mode))
        fail(path, QStringLiteral("не удалось открыть"), EISDIR);
    // A read lock needs a readable descriptor, a write lock a writable one; an
    // exclusive open of a read-only descriptor still has to exclude the others.
    const bool exclusive = sharing == Sharing::Exclusive && access == FileAccess::ReadWrite;
    if (!setLock(f.m_fd, exclusive ? F_WRLCK : F_RDLCK, lock_offsets::kOpenSentinel, 1)) {
        const QString p = QDir::toNativeSeparators(path);
        throw LockError(
            sharing == Sharing::Exclusive
                ? QStringLiteral("%1: файл открыт другим пользователем").arg(p)
                : QStringLiteral("%1: файл открыт другим пользователем монопольно").arg(p));
    }
    return f;
}

NativeFile NativeFile::create(const QString& path) {
    NativeFile f;
    f.m_path = path;
    f.m_access = FileAccess::ReadWrite;
    f.m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (f.m_fd < 0)
        fail(path, QStringLiteral("не удалось создать"), errno);
    if (!setLock(f.m_fd, F_WRLCK, lock_offsets::kOpenSentinel, 1))
        throw LockError(QStringLiteral("%1: файл открыт другим пользователем")
                            .arg(QDir::toNativeSeparators(path)));
    f.truncate(0);
    return f;
}

bool NativeFile::isOpen() const {
    return m_fd >= 0;
}

void NativeFile::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::int64_t NativeFile::size() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        fail(m_path, QStringLiteral("не удалось узнать размер"), errno);
    return st.st_size;
}

std::int64_t NativeFile::read(std::int64_t offset, void* data, std::int64_t n) const {
    auto* p = static_cast<char*>(data);
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(m_fd, p + done, static_cast<size_t>(n - done), offset + done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            fail(m_path, QStringLiteral("ошибка чтения"), errno);
        }
        if (r == 0)
            break;
        done += r;
    }
    return done;
}

void NativeFile::write(std::int64_t offset, const void* data, std::int64_t n) {
    const auto* p = static_cast<const char*>(data);
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(m_fd, p + done, static_cast<size_t>(n - done), offset + done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            fail(m_path, QStringLiteral("ошибка записи"), errno);
        }
        done += r;
    }
}

void NativeFile::truncate(std::int64_t size) {
    while (::ftruncate(m_fd, size) != 0) {
        if (errno != EINTR)
            fail(m_path, QStringLiteral("не удалось изменить размер"), errno);
    }
}

void NativeFile::sync() {
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        fail(m_path, QStringLiteral("не удалось сбросить данные на диск"), errno);
}

bool NativeFile::tryLock(std::uint64_t offset, std::uint64_t length, LockType type) {
    return setLock(m_fd, type == LockType::Write ? F_WRLCK : F_RDLCK, offset, length);
}

void NativeFile::unlock(std::uint64_t offset, std::uint64_t length) {
    setLock(m_fd, F_UNLCK, offset, length);
}

QString resolveFileName(const QString& directory, const QString& fileName) {
    const QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
    const QString exact = dir.filePath(fileName);
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& e : entries) {
        if (e.compare(fileName, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    }
    return exact;
}

} // namespace xbase
