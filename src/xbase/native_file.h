#pragma once

#include <QString>
#include <cstdint>

namespace xbase {

enum class FileAccess { ReadOnly, ReadWrite };

// How an open coexists with other opens of the same file, by this or another
// process: shared opens coexist, an exclusive open excludes every other one.
enum class Sharing { Shared, Exclusive };

enum class LockType { Read, Write };

// One open file description with positioned I/O and byte-range locks.
//
// Linux: open-file-description locks (F_OFD_SETLK), so locks belong to this object
// and not to the process: two objects on one file exclude each other exactly as
// two processes do, and closing an unrelated descriptor drops nothing. Sharing is
// a read (shared) or write (exclusive) lock on a sentinel byte far above every
// xBase lock offset. Windows: share modes and LockFileEx on the handle.
//
// Locks vanish when the object is closed or the process dies.
class NativeFile {
public:
    NativeFile() = default;
    ~NativeFile();
    NativeFile(NativeFile&& other) noexcept;
    NativeFile& operator=(NativeFile&& other) noexcept;
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // Throws Error (missing file, no access) or LockError (sharing conflict).
    static NativeFile open(const QString& path, FileAccess access, Sharing sharing);
    // Creates a new file or empties an existing one; read/write, exclusive.
    static NativeFile create(const QString& path);

    bool isOpen() const;
    void close();
    const QString& path() const { return m_path; }
    FileAccess access() const { return m_access; }

    std::int64_t size() const;
    // Reads up to n bytes; returns how many were there (fewer at the end of file).
    std::int64_t read(std::int64_t offset, void* data, std::int64_t n) const;
    void readExact(std::int64_t offset, void* data, std::int64_t n) const;
    void write(std::int64_t offset, const void* data, std::int64_t n);
    void truncate(std::int64_t size);
    void sync();

    // Non-blocking. False when another holder's lock conflicts.
    bool tryLock(std::uint64_t offset, std::uint64_t length, LockType type);
    void unlock(std::uint64_t offset, std::uint64_t length);

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
    QString m_path;
    FileAccess m_access = FileAccess::ReadOnly;
};

// The directory entry that names `fileName` in `directory`, compared without regard
// to case where the file system itself does not ("PODR.dbf" finds PODR.DBF). When
// nothing matches, the path as given.
QString resolveFileName(const QString& directory, const QString& fileName);

} // namespace xbase
