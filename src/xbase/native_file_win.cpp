// Windows back-end of NativeFile: share modes for exclusive and shared opens,
// LockFileEx for byte-range locks. Builds with the Windows SDK; not exercised by
// the Linux test suite.
#include "error.h"
#include "lock_offsets.h"
#include "native_file.h"

#include <QDir>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace xbase {
namespace {

QString systemMessage(DWORD err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return QStringLiteral("файл не найден");
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("нет доступа к файлу");
    case ERROR_WRITE_PROTECT:
        return QStringLiteral("диск защищён от записи");
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return QStringLiteral("нет места на диске");
    default:
        return QStringLiteral("код ошибки %1").arg(err);
    }
}

[[noreturn]] void fail(const QString& path, const QString& what, DWORD err) {
    throw Error(QStringLiteral("%1: %2 (%3)")
                    .arg(QDir::toNativeSeparators(path), what, systemMessage(err)));
}

HANDLE handleOf(void* h) {
    return static_cast<HANDLE>(h);
}

OVERLAPPED overlappedAt(std::uint64_t offset) {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return ov;
}

} // namespace

NativeFile::~NativeFile() {
    close();
}

NativeFile::NativeFile(NativeFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_path(std::move(other.m_path)),
      m_access(other.m_access) {}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
        m_access = other.m_access;
    }
    return *this;
}

NativeFile NativeFile::open(const QString& path, FileAccess access, Sharing sharing) {
    const DWORD desired =
        access == FileAccess::ReadWrite ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
    const DWORD share = sharing == Sharing::Exclusive ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE);
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    HANDLE h = ::CreateFileW(native.c_str(), desired, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION)
            throw LockError(QStringLiteral("%1: файл открыт другим пользователем")
                                .arg(QDir::toNativeSeparators(path)));
        fail(path, QStringLiteral("не удалось открыть"), err);
    }
    NativeFile f;
    f.m_handle = h;
    f.m_path = path;
    f.m_access = access;
    return f;
}

NativeFile NativeFile::create(const QString& path) {
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    HANDLE h = ::CreateFileW(native.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        fail(path, QStringLiteral("не удалось создать"), ::GetLastError());
    NativeFile f;
    f.m_handle = h;
    f.m_path = path;
    f.m_access = FileAccess::ReadWrite;
    return f;
}

bool NativeFile::isOpen() const {
    return m_handle != nullptr;
}

void NativeFile::close() {
    if (m_handle) {
        ::CloseHandle(handleOf(m_handle));
        m_handle = nullptr;
    }
}

std::int64_t NativeFile::size() const {
    LARGE_INTEGER sz{};
    if (!::GetFileSizeEx(handleOf(m_handle), &sz))
        fail(m_path, QStringLiteral("не удалось узнать размер"), ::GetLastError());
    return sz.QuadPart;
}

std::int64_t NativeFile::read(std::int64_t offset, void* data, std::int64_t n) const {
    auto* p = static_cast<char*>(data);
    std::int64_t done = 0;
    while (done < n) {
        OVERLAPPED ov = overlappedAt(static_cast<std::uint64_t>(offset + done));
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(n - done, 1 << 30));
        if (!::ReadFile(handleOf(m_handle), p + done, chunk, &got, &ov)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_HANDLE_EOF)
                break;
            fail(m_path, QStringLiteral("ошибка чтения"), err);
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

void NativeFile::write(std::int64_t offset, const void* data, std::int64_t n) {
    const auto* p = static_cast<const char*>(data);
    std::int64_t done = 0;
    while (done < n) {
        OVERLAPPED ov = overlappedAt(static_cast<std::uint64_t>(offset + done));
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(n - done, 1 << 30));
        if (!::WriteFile(handleOf(m_handle), p + done, chunk, &put, &ov))
            fail(m_path, QStringLiteral("ошибка записи"), ::GetLastError());
        done += put;
    }
}

void NativeFile::truncate(std::int64_t size) {
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = size;
    if (!::SetFileInformationByHandle(handleOf(m_handle), FileEndOfFileInfo, &info, sizeof info))
        fail(m_path, QStringLiteral("не удалось изменить размер"), ::GetLastError());
}

void NativeFile::sync() {
    if (!::FlushFileBuffers(handleOf(m_handle)))
        fail(m_path, QStringLiteral("не удалось сбросить данные на диск"), ::GetLastError());
}

bool NativeFile::tryLock(std::uint64_t offset, std::uint64_t length, LockType type) {
    OVERLAPPED ov = overlappedAt(offset);
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (type == LockType::Write ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return ::LockFileEx(handleOf(m_handle), flags, 0, static_cast<DWORD>(length & 0xFFFFFFFFu),
                        static_cast<DWORD>(length >> 32), &ov) != 0;
}

void NativeFile::unlock(std::uint64_t offset, std::uint64_t length) {
    OVERLAPPED ov = overlappedAt(offset);
    ::UnlockFileEx(handleOf(m_handle), 0, static_cast<DWORD>(length & 0xFFFFFFFFu),
                   static_cast<DWORD>(length >> 32), &ov);
}

QString resolveFileName(const QString& directory, const QString& fileName) {
    // The Windows file system compares names without regard to case itself.
    return QDir(directory.isEmpty() ? QStringLiteral(".") : directory).filePath(fileName);
}

} // namespace xbase
