#include "table.h"

#include "error.h"
#include "fault_point.h"
#include "field_codec.h"
#include "lock_offsets.h"
#include "mdx_file.h"
#include "tag_order.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>
#include <cmath>
#include <limits>

namespace xbase {
namespace {

constexpr std::int64_t kChunkBytes = 1 << 16;
// Header and append locks are held for one write; wait for them up to ~2 s.
constexpr int kShortLockAttempts = 400;
constexpr unsigned long kShortLockPauseMs = 5;

// The pack journal: the packed table's bytes, then a trailer that proves they are
// complete. Written and synced before the table itself is touched.
constexpr char kJournalMagic[8] = {'X', 'B', 'P', 'A', 'C', 'K', '0', '1'};
constexpr std::int64_t kTrailerSize = 32;

QString journalPath(const QString& tablePath) {
    return tablePath + QStringLiteral(".pack");
}

struct Fnv1a {
    std::uint64_t value = 0xcbf29ce484222325ull;
    void add(const char* p, std::int64_t n) {
        for (std::int64_t i = 0; i < n; ++i) {
            value ^= static_cast<unsigned char>(p[i]);
            value *= 0x100000001b3ull;
        }
    }
};

QByteArray trailer(std::int64_t contentLength, std::uint64_t headerHash, std::uint64_t bodyHash) {
    QByteArray t(kTrailerSize, '\0');
    auto* b = reinterpret_cast<uchar*>(t.data());
    std::copy(std::begin(kJournalMagic), std::end(kJournalMagic), t.begin());
    qToLittleEndian<quint64>(static_cast<quint64>(contentLength), b + 8);
    qToLittleEndian<quint64>(headerHash, b + 16);
    qToLittleEndian<quint64>(bodyHash, b + 24);
    return t;
}

void copyRange(const NativeFile& from, NativeFile& to, std::int64_t length,
               const char* faultAfterFirstChunk) {
    QByteArray chunk(kChunkBytes, '\0');
    for (std::int64_t pos = 0; pos < length; pos += kChunkBytes) {
        const std::int64_t n = std::min(kChunkBytes, length - pos);
        from.readExact(pos, chunk.data(), n);
        to.write(pos, chunk.constData(), n);
        if (pos == 0 && faultAfterFirstChunk)
            detail::faultPoint(faultAfterFirstChunk);
    }
}

// The length of the packed table a journal holds, or 0 when the journal is not
// complete (its trailer missing or its bytes not those the trailer vouches for).
std::int64_t completeJournalLength(const NativeFile& journal) {
    const std::int64_t size = journal.size();
    if (size <= kTrailerSize + kFileHeaderSize)
        return 0;
    QByteArray t(kTrailerSize, '\0');
    journal.readExact(size - kTrailerSize, t.data(), kTrailerSize);
    const auto* b = reinterpret_cast<const uchar*>(t.constData());
    const auto contentLength = static_cast<std::int64_t>(qFromLittleEndian<quint64>(b + 8));
    if (!std::equal(std::begin(kJournalMagic), std::end(kJournalMagic), t.begin()) ||
        contentLength != size - kTrailerSize)
        return 0;
    QByteArray head(kFileHeaderSize, '\0');
    journal.readExact(0, head.data(), kFileHeaderSize);
    const std::int64_t headerLength =
        qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(head.constData()) + 8);
    if (headerLength > contentLength)
        return 0;
    Fnv1a headerHash;
    Fnv1a bodyHash;
    QByteArray chunk(kChunkBytes, '\0');
    for (std::int64_t pos = 0; pos < contentLength; pos += kChunkBytes) {
        const std::int64_t n = std::min(kChunkBytes, contentLength - pos);
        journal.readExact(pos, chunk.data(), n);
        const std::int64_t inHeader = std::clamp<std::int64_t>(headerLength - pos, 0, n);
        headerHash.add(chunk.constData(), inHeader);
        bodyHash.add(chunk.constData() + inHeader, n - inHeader);
    }
    const bool sound = headerHash.value == qFromLittleEndian<quint64>(b + 16) &&
                       bodyHash.value == qFromLittleEndian<quint64>(b + 24);
    return sound ? contentLength : 0;
}

} // namespace

Table::Table(QObject* parent) : QObject(parent) {}

Table::~Table() {
    try {
        close();
    } catch (...) {
        // Closing only releases; nothing is written that could fail here.
    }
}

void Table::setDirectory(const QString& directory) {
    requireClosed();
    m_directory = directory;
}

void Table::setTableName(const QString& name) {
    requireClosed();
    m_tableName = name;
}

void Table::setExclusive(bool exclusive) {
    requireClosed();
    m_exclusive = exclusive;
}

void Table::setReadOnly(bool readOnly) {
    requireClosed();
    m_readOnly = readOnly;
}

void Table::setTranslate(bool translate) {
    requireClosed();
    m_translate = translate;
}

QString Table::filePath() const {
    return resolveFileName(m_directory, m_tableName);
}

QString Table::displayPath() const {
    return QDir::toNativeSeparators(m_file.isOpen() ? m_file.path() : filePath());
}

void Table::requireOpen() const {
    if (m_state == State::Inactive)
        throw Error(QStringLiteral("%1: таблица не открыта").arg(displayPath()));
}

void Table::requireClosed() const {
    if (m_state != State::Inactive)
        throw Error(
            QStringLiteral("%1: свойство нельзя менять у открытой таблицы").arg(displayPath()));
}

void Table::requireWritable() const {
    requireOpen();
    if (m_readOnly)
        throw Error(QStringLiteral("%1: таблица открыта только для чтения").arg(displayPath()));
}

void Table::requireCurrent() const {
    if (m_recNo == 0)
        throw Error(QStringLiteral("%1: нет текущей записи").arg(displayPath()));
}

void Table::open() {
    if (isOpen())
        return;
    if (m_tableName.isEmpty())
        throw Error(QStringLiteral("Не указано имя таблицы"));
    const QString path = filePath();
    const bool packFinished = !m_readOnly && recoverInterruptedPack(path);
    NativeFile file =
        NativeFile::open(path, m_readOnly ? FileAccess::ReadOnly : FileAccess::ReadWrite,
                         m_exclusive ? Sharing::Exclusive : Sharing::Shared);
    // A pack that was interrupted and could not be finished here (the table is in
    // use elsewhere, or this open is read-only) leaves a table that is half
    // rewritten: reading or appending to it would lose records.
    if (!packFinished && QFileInfo::exists(journalPath(path)))
        throw Error(QStringLiteral("%1: сжатие таблицы было прервано; оно будет завершено при "
                                   "открытии таблицы на запись, когда её не используют другие "
                                   "пользователи")
                        .arg(QDir::toNativeSeparators(path)));
    const std::int64_t size = file.size();
    QByteArray head(static_cast<qsizetype>(std::min<std::int64_t>(size, kFileHeaderSize)), '\0');
    file.read(0, head.data(), head.size());
    if (head.size() == kFileHeaderSize) {
        const auto headerLength =
            qFromLittleEndian<quint16>(reinterpret_cast<const uchar*>(head.constData()) + 8);
        if (headerLength > kFileHeaderSize && headerLength <= size) {
            head.resize(headerLength);
            file.readExact(0, head.data(), headerLength);
        }
    }
    m_header = parseHeader(head, size, path);
    m_file = std::move(file);
    try {
        m_indexes = openIndexFiles(m_indexFiles);
        if (packFinished) {
            // Record numbers changed under the index files: rebuild them before the
            // journal that proves the pack finished goes away.
            rebuildIndexes();
            QFile::remove(journalPath(path));
        }
    } catch (...) {
        m_indexes.clear();
        m_file.close();
        throw;
    }
    m_count = TableHeader::recordsInFile(size, m_header.headerLength, m_header.recordLength);
    m_state = State::Browse;
    m_recNo = 0;
    m_buffer = QByteArray(m_header.recordLength, ' ');
    try {
        selectOrder();
        first();
    } catch (...) {
        // A tag whose tree is damaged: the open fails and leaves the table closed.
        close();
        throw;
    }
    emit layoutReset();
}

void Table::close() {
    if (m_state == State::Inactive)
        return;
    releaseRecordLock();
    if (m_modified)
        stampHeaderDate();
    m_tagOrder = nullptr;
    m_order.reset();
    m_indexes.clear();
    m_file.close();
    m_modified = false;
    m_original.clear();
    m_state = State::Inactive;
    m_recNo = 0;
    m_count = 0;
    m_bof = m_eof = true;
    m_buffer.clear();
    emit layoutReset();
}

std::int64_t Table::recordOffset(std::uint32_t recNo) const {
    return m_header.headerLength +
           static_cast<std::int64_t>(recNo - 1) * static_cast<std::int64_t>(m_header.recordLength);
}

// The header's count is advisory: the file's size says how many whole records
// there are (another process may have appended; a crash may have left a partial one).
std::uint32_t Table::refreshCount() const {
    m_count =
        TableHeader::recordsInFile(m_file.size(), m_header.headerLength, m_header.recordLength);
    return m_count;
}

std::uint32_t Table::physicalRecordCount() const {
    requireOpen();
    return refreshCount();
}

bool Table::readRecord(std::uint32_t recNo, QByteArray& into) const {
    into.resize(m_header.recordLength);
    return m_file.read(recordOffset(recNo), into.data(), into.size()) == into.size();
}

bool Table::isLive(std::uint32_t recNo, QByteArray& into) const {
    return readRecord(recNo, into) && into.at(0) != kDeletedFlag;
}

void Table::moveTo(std::uint32_t recNo) {
    m_recNo = recNo;
    if (recNo != 0 && recNo == m_foundRecNo) {
        // Just read by the order while it looked for a live record: no second read.
        std::swap(m_buffer, m_found);
    } else if (recNo == 0 || !readRecord(recNo, m_buffer)) {
        m_buffer = QByteArray(m_header.recordLength, ' ');
    }
    m_foundRecNo = 0;
}

void Table::checkBrowse() {
    requireOpen();
    if (m_state != State::Browse)
        post();
}

void Table::first() {
    checkBrowse();
    const std::uint32_t r = m_order->first();
    moveTo(r);
    m_bof = true;
    m_eof = r == 0;
    emit currentChanged();
}

void Table::last() {
    checkBrowse();
    const std::uint32_t r = m_order->last();
    moveTo(r);
    m_eof = true;
    m_bof = r == 0;
    emit currentChanged();
}

void Table::next() {
    checkBrowse();
    if (m_recNo == 0) {
        m_eof = true;
        return;
    }
    const std::uint32_t r = m_order->next(m_recNo, m_buffer);
    if (r == 0) {
        m_eof = true;
        return;
    }
    moveTo(r);
    m_bof = m_eof = false;
    emit currentChanged();
}

void Table::prior() {
    checkBrowse();
    if (m_recNo == 0) {
        m_bof = true;
        return;
    }
    const std::uint32_t r = m_order->prior(m_recNo, m_buffer);
    if (r == 0) {
        m_bof = true;
        return;
    }
    moveTo(r);
    m_bof = m_eof = false;
    emit currentChanged();
}

void Table::go(std::uint32_t recNo) {
    checkBrowse();
    refreshCount();
    QByteArray scratch;
    if (recNo < 1 || recNo > m_count)
        throw Error(QStringLiteral("%1: нет записи с номером %2").arg(displayPath()).arg(recNo));
    if (!isLive(recNo, scratch))
        throw Error(QStringLiteral("%1: запись %2 удалена").arg(displayPath()).arg(recNo));
    m_recNo = recNo;
    m_buffer = scratch;
    m_bof = m_eof = false;
    emit currentChanged();
}

std::vector<std::uint32_t> Table::visibleRecords() const {
    requireOpen();
    std::vector<std::uint32_t> out = m_order->visibleRecords();
    m_foundRecNo = 0; // the images read on the way are not kept
    return out;
}

// Every whole record in file order, read in large chunks.
void Table::scanRecords(const std::function<void(std::uint32_t, const char*)>& visit) const {
    refreshCount();
    const std::int64_t perChunk = std::max<std::int64_t>(1, kChunkBytes / m_header.recordLength);
    QByteArray chunk;
    for (std::int64_t r = 1; r <= m_count; r += perChunk) {
        const std::int64_t n = std::min<std::int64_t>(perChunk, m_count - r + 1);
        chunk.resize(n * m_header.recordLength);
        const std::int64_t got =
            m_file.read(recordOffset(static_cast<std::uint32_t>(r)), chunk.data(), chunk.size()) /
            m_header.recordLength;
        for (std::int64_t i = 0; i < got; ++i)
            visit(static_cast<std::uint32_t>(r + i), chunk.constData() + i * m_header.recordLength);
    }
}

RecordAccess Table::recordAccess() const {
    RecordAccess a;
    a.count = [this] { return refreshCount(); };
    a.readLive = [this](std::uint32_t recNo) {
        if (!isLive(recNo, m_found))
            return false;
        m_foundRecNo = recNo;
        return true;
    };
    a.liveRecords = [this] {
        std::vector<std::uint32_t> out;
        scanRecords([&out](std::uint32_t recNo, const char* image) {
            if (image[0] != kDeletedFlag)
                out.push_back(recNo);
        });
        return out;
    };
    return a;
}

QByteArray Table::storedRecord(std::uint32_t recNo) const {
    requireOpen();
    QByteArray image;
    if (recNo == 0 || recNo > refreshCount() || !readRecord(recNo, image))
        return {};
    return image;
}

QByteArray Table::storedRecords(std::uint32_t first, std::uint32_t count) const {
    requireOpen();
    const std::uint32_t total = refreshCount();
    if (first == 0 || first > total)
        return {};
    count = std::min(count, total - first + 1);
    QByteArray images(static_cast<qsizetype>(count) * m_header.recordLength, '\0');
    const std::int64_t got = m_file.read(recordOffset(first), images.data(), images.size());
    images.truncate(static_cast<qsizetype>(std::max<std::int64_t>(0, got) / m_header.recordLength *
                                           m_header.recordLength));
    return images;
}

void Table::refresh() {
    requireOpen();
    if (m_state != State::Browse || m_recNo == 0)
        return;
    QByteArray scratch;
    if (isLive(m_recNo, scratch)) {
        m_buffer = scratch;
        emit recordChanged(m_recNo);
        return;
    }
    // Deleted by someone else meanwhile: show the next visible record.
    moveNear(m_recNo, m_buffer);
    emit layoutReset();
}

void Table::lockOrThrow(std::uint64_t offset, const QString& what) {
    for (int attempt = 0; attempt < kShortLockAttempts; ++attempt) {
        if (m_file.tryLock(offset, 1, LockType::Write))
            return;
        QThread::msleep(kShortLockPauseMs);
    }
    throw LockError(QStringLiteral("%1: %2 занят другим пользователем").arg(displayPath(), what));
}

void Table::withHeaderLocks(const std::function<void()>& work) {
    if (m_exclusive) {
        work();
        return;
    }
    lockOrThrow(lock_offsets::kAppend, QStringLiteral("конец таблицы"));
    try {
        lockOrThrow(lock_offsets::kHeader, QStringLiteral("заголовок таблицы"));
    } catch (...) {
        m_file.unlock(lock_offsets::kAppend, 1);
        throw;
    }
    try {
        work();
    } catch (...) {
        m_file.unlock(lock_offsets::kHeader, 1);
        m_file.unlock(lock_offsets::kAppend, 1);
        throw;
    }
    m_file.unlock(lock_offsets::kHeader, 1);
    m_file.unlock(lock_offsets::kAppend, 1);
}

void Table::writeHeaderCountAndDate(std::uint32_t count) {
    const QByteArray bytes = headerDateAndCount(QDate::currentDate(), count);
    m_file.write(1, bytes.constData(), bytes.size());
}

// The header's date of last update, after records were changed in place. Best
// effort: the date is informative, and another user's header write wins.
void Table::stampHeaderDate() {
    if (!m_exclusive && !m_file.tryLock(lock_offsets::kHeader, 1, LockType::Write))
        return;
    try {
        const QByteArray bytes = headerDateAndCount(QDate::currentDate(), 0).left(3);
        m_file.write(1, bytes.constData(), bytes.size());
    } catch (const Error&) {
        // A date that could not be written changes nothing else.
    }
    if (!m_exclusive)
        m_file.unlock(lock_offsets::kHeader, 1);
}

void Table::releaseRecordLock() {
    if (m_lockedRecord != 0) {
        m_file.unlock(lock_offsets::record(m_lockedRecord), 1);
        m_lockedRecord = 0;
    }
}

void Table::edit() {
    requireWritable();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    requireCurrent();
    if (!m_exclusive) {
        if (!m_file.tryLock(lock_offsets::record(m_recNo), 1, LockType::Write))
            throw LockError(QStringLiteral("%1: запись %2 занята другим пользователем")
                                .arg(displayPath())
                                .arg(m_recNo));
        m_lockedRecord = m_recNo;
    }
    // Another process may have changed or deleted the record since we read it.
    QByteArray fresh;
    if (!isLive(m_recNo, fresh)) {
        releaseRecordLock();
        throw Error(QStringLiteral("%1: запись %2 удалена другим пользователем")
                        .arg(displayPath())
                        .arg(m_recNo));
    }
    const bool changed = fresh != m_buffer;
    m_buffer = fresh;
    m_original = fresh;
    m_state = State::Edit;
    emit currentChanged();
    if (changed)
        emit recordChanged(m_recNo);
}

void Table::append() {
    requireWritable();
    checkBrowse();
    m_savedRecNo = m_recNo;
    m_buffer = QByteArray(m_header.recordLength, ' ');
    m_state = State::Insert;
    emit currentChanged();
}

void Table::post() {
    requireOpen();
    if (m_state == State::Edit) {
        // Only the record's bytes: the count does not change, and the header's
        // date is refreshed once, when the table is closed.
        m_file.write(recordOffset(m_recNo), m_buffer.constData(), m_buffer.size());
        m_modified = true;
        m_state = State::Browse;
        const QByteArray before = std::exchange(m_original, {});
        try {
            updateIndexes(&before, m_buffer, m_recNo);
        } catch (...) {
            releaseRecordLock();
            throw;
        }
        releaseRecordLock();
        emit recordChanged(m_recNo);
        emit currentChanged();
    } else if (m_state == State::Insert) {
        m_buffer[0] = kLiveFlag;
        std::uint32_t recNo = 0;
        withHeaderLocks([this, &recNo] {
            const std::uint32_t n = refreshCount();
            if (n == std::numeric_limits<std::uint32_t>::max())
                throw Error(QStringLiteral("%1: таблица заполнена").arg(displayPath()));
            recNo = n + 1;
            // Record and end mark first, the count after: a crash in between leaves
            // a record that the file's size already counts.
            QByteArray bytes = m_buffer;
            bytes.append(kEndOfFile);
            m_file.write(recordOffset(recNo), bytes.constData(), bytes.size());
            detail::faultPoint("append.after-record");
            writeHeaderCountAndDate(recNo);
            detail::faultPoint("append.after-header");
        });
        m_count = recNo;
        m_recNo = recNo;
        m_state = State::Browse;
        m_bof = m_eof = false;
        updateIndexes(nullptr, m_buffer, recNo);
        emit layoutReset();
        emit currentChanged();
    }
}

void Table::cancel() {
    requireOpen();
    if (m_state == State::Edit) {
        releaseRecordLock();
        m_original.clear();
        m_state = State::Browse;
        moveTo(m_recNo);
        emit recordChanged(m_recNo);
        emit currentChanged();
    } else if (m_state == State::Insert) {
        m_state = State::Browse;
        refreshCount();
        QByteArray scratch;
        std::uint32_t r = m_savedRecNo;
        if (r != 0 && !isLive(r, scratch))
            r = 0;
        if (r == 0)
            r = m_order->first();
        moveTo(r);
        m_bof = m_eof = r == 0;
        emit currentChanged();
    }
}

void Table::deleteRecord() {
    requireWritable();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    requireCurrent();
    const std::uint32_t recNo = m_recNo;
    if (!m_exclusive && m_lockedRecord != recNo) {
        if (!m_file.tryLock(lock_offsets::record(recNo), 1, LockType::Write))
            throw LockError(QStringLiteral("%1: запись %2 занята другим пользователем")
                                .arg(displayPath())
                                .arg(recNo));
        m_lockedRecord = recNo;
    }
    try {
        const char flag = kDeletedFlag;
        m_file.write(recordOffset(recNo), &flag, 1);
        m_modified = true;
    } catch (...) {
        releaseRecordLock();
        throw;
    }
    releaseRecordLock();
    m_original.clear();
    m_state = State::Browse;
    // Its neighbours in the cursor's order, found by the record as stored.
    QByteArray stored;
    readRecord(recNo, stored);
    moveNear(recNo, stored);
    emit layoutReset();
    emit currentChanged();
}

void Table::pack() {
    requireWritable();
    if (!m_exclusive)
        throw Error(
            QStringLiteral("%1: для сжатия таблицу нужно открыть монопольно").arg(displayPath()));
    checkBrowse();
    refreshCount();

    const QString jPath = journalPath(m_file.path());
    const std::int64_t h = m_header.headerLength;
    const std::int64_t rl = m_header.recordLength;
    std::uint32_t live = 0;
    std::int64_t contentLength = 0;
    {
        NativeFile journal = NativeFile::create(jPath);
        try {
            QByteArray header(h, '\0');
            m_file.readExact(0, header.data(), h);
            journal.write(0, header.constData(), h);

            Fnv1a bodyHash;
            std::int64_t out = h;
            const std::int64_t perChunk = std::max<std::int64_t>(1, kChunkBytes / rl);
            QByteArray chunk;
            QByteArray kept;
            for (std::int64_t r = 1; r <= m_count; r += perChunk) {
                const std::int64_t n = std::min<std::int64_t>(perChunk, m_count - r + 1);
                chunk.resize(n * rl);
                m_file.readExact(recordOffset(static_cast<std::uint32_t>(r)), chunk.data(),
                                 chunk.size());
                kept.clear();
                for (std::int64_t i = 0; i < n; ++i) {
                    if (chunk.at(i * rl) != kDeletedFlag) {
                        kept.append(chunk.constData() + i * rl, rl);
                        ++live;
                    }
                }
                journal.write(out, kept.constData(), kept.size());
                bodyHash.add(kept.constData(), kept.size());
                out += kept.size();
            }
            const char eofMark = kEndOfFile;
            journal.write(out, &eofMark, 1);
            bodyHash.add(&eofMark, 1);
            contentLength = out + 1;

            const QByteArray dc = headerDateAndCount(QDate::currentDate(), live);
            std::copy(dc.begin(), dc.end(), header.begin() + 1);
            journal.write(0, header.constData(), h);
            Fnv1a headerHash;
            headerHash.add(header.constData(), h);
            const QByteArray t = trailer(contentLength, headerHash.value, bodyHash.value);
            journal.write(contentLength, t.constData(), t.size());
            journal.sync();
        } catch (...) {
            journal.close();
            QFile::remove(jPath);
            throw;
        }
        detail::faultPoint("pack.journal-written");

        // From here on the journal is complete: a failure or crash is finished by
        // the next open of the table.
        copyRange(journal, m_file, contentLength, "pack.mid-copy");
        m_file.truncate(contentLength);
        m_file.sync();
        detail::faultPoint("pack.table-written");
        // The journal stays until the indexes match the new record numbers: a
        // crash before that rebuilds them on the next open.
        m_count = live;
        rebuildIndexes();
        detail::faultPoint("pack.indexes-rebuilt");
    }
    QFile::remove(jPath);

    moveTo(m_order->first());
    m_bof = true;
    m_eof = m_recNo == 0;
    emit layoutReset();
    emit currentChanged();
}

// A journal left by an interrupted pack: when complete, the pack is finished from
// it and true returned; the caller removes the journal once the index files are
// rebuilt. When not complete, the table was not touched yet and the journal is
// dropped.
bool Table::recoverInterruptedPack(const QString& path) {
    const QString jPath = journalPath(path);
    if (!QFileInfo::exists(jPath))
        return false;
    NativeFile table;
    try {
        table = NativeFile::open(path, FileAccess::ReadWrite, Sharing::Exclusive);
    } catch (const Error&) {
        // In use (the packer itself may still be running) or unreadable: the open
        // that follows reports what is wrong.
        return false;
    }
    if (!QFileInfo::exists(jPath))
        return false;
    NativeFile journal = NativeFile::open(jPath, FileAccess::ReadOnly, Sharing::Shared);
    const std::int64_t contentLength = completeJournalLength(journal);
    const bool complete = contentLength > 0;
    if (complete) {
        copyRange(journal, table, contentLength, nullptr);
        table.truncate(contentLength);
        table.sync();
    }
    journal.close();
    table.close();
    if (!complete)
        QFile::remove(jPath);
    return complete;
}

int Table::fieldIndex(QStringView name) const {
    const auto& fs = m_header.fields;
    for (std::size_t i = 0; i < fs.size(); ++i) {
        if (fs[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const FieldDef& Table::field(QStringView name) const {
    requireOpen();
    const int i = fieldIndex(name);
    if (i < 0)
        throw Error(QStringLiteral("%1: нет поля %2").arg(displayPath(), name.toString()));
    return m_header.fields[static_cast<std::size_t>(i)];
}

QString Table::text(QStringView name) const {
    const FieldDef& f = field(name);
    return decodeText(f, fieldBytes(m_buffer, f), m_translate);
}

int Table::integer(QStringView name) const {
    const FieldDef& f = field(name);
    if (!f.isNumeric())
        throw Error(QStringLiteral("%1: поле %2 не числовое").arg(displayPath(), f.name));
    const std::optional<double> v = decodeNumber(fieldBytes(m_buffer, f));
    if (!v)
        return 0;
    const double t = std::trunc(*v);
    if (t < std::numeric_limits<int>::min() || t > std::numeric_limits<int>::max())
        throw Error(QStringLiteral("%1: значение поля %2 не помещается в целое число")
                        .arg(displayPath(), f.name));
    return static_cast<int>(t);
}

QDate Table::date(QStringView name) const {
    const FieldDef& f = field(name);
    if (f.type != FieldType::Date)
        throw Error(QStringLiteral("%1: поле %2 не является датой").arg(displayPath(), f.name));
    return decodeDate(fieldBytes(m_buffer, f));
}

bool Table::isBlank(QStringView name) const {
    const FieldDef& f = field(name);
    for (char c : fieldBytes(m_buffer, f)) {
        if (c != ' ' && c != '\0')
            return false;
    }
    return true;
}

QByteArray& Table::editableBuffer() {
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        throw Error(QStringLiteral("%1: таблица не в режиме редактирования").arg(displayPath()));
    return m_buffer;
}

void Table::setText(QStringView name, const QString& value) {
    const FieldDef& f = field(name);
    encodeText(f, editableBuffer(), value, m_translate, displayPath());
    emit recordChanged(recNo());
}

void Table::setInteger(QStringView name, qint64 value) {
    const FieldDef& f = field(name);
    encodeInteger(f, editableBuffer(), value, displayPath());
    emit recordChanged(recNo());
}

void Table::setDate(QStringView name, const QDate& value) {
    const FieldDef& f = field(name);
    encodeDate(f, editableBuffer(), value, displayPath());
    emit recordChanged(recNo());
}

std::vector<std::unique_ptr<MdxFile>> Table::openIndexFiles(const QStringList& files) const {
    std::vector<std::unique_ptr<MdxFile>> out;
    for (const QString& name : files) {
        const QString path = resolveFileName(m_directory, name);
        if (!QFileInfo::exists(path))
            throw Error(
                QStringLiteral("%1: индексный файл не найден").arg(QDir::toNativeSeparators(path)));
        out.push_back(std::make_unique<MdxFile>(MdxFile::open(
            path, m_header.fields, m_readOnly ? FileAccess::ReadOnly : FileAccess::ReadWrite,
            m_exclusive ? Sharing::Exclusive : Sharing::Shared)));
    }
    return out;
}

// The active tag's order when it names a tag of an open index file, else the file's.
void Table::selectOrder() {
    m_tagOrder = nullptr;
    for (const auto& index : m_indexes) {
        const int tag = m_activeTag.isEmpty() ? -1 : index->tagIndex(m_activeTag);
        if (tag >= 0) {
            auto order = std::make_unique<TagOrder>(*index, tag, recordAccess(), m_translate);
            m_tagOrder = order.get();
            m_order = std::move(order);
            return;
        }
    }
    m_order = makeNaturalOrder(recordAccess());
}

void Table::rebuildIndexes() {
    for (const auto& index : m_indexes)
        index->rebuild([this](const auto& visit) { scanRecords(visit); });
}

// Every tag of every open index file: the new key comes, then the entry of the old
// key goes (when the key changed; a crash in between leaves the record listed
// twice, never missing). `before` is null for a new record.
void Table::updateIndexes(const QByteArray* before, const QByteArray& after, std::uint32_t recNo) {
    for (const auto& index : m_indexes) {
        MdxFile::Lock lock(*index, LockType::Write);
        for (std::size_t t = 0; t < index->tags().size(); ++t) {
            const KeyExpression& e = index->tags()[t].expression;
            const QByteArray key = e.evaluate(after);
            const QByteArray old = before ? e.evaluate(*before) : QByteArray();
            if (before && old == key)
                continue;
            index->insertKey(static_cast<int>(t), key, recNo);
            if (before)
                index->removeKey(static_cast<int>(t), old, recNo);
        }
    }
}

// After the current record vanished from view: its next visible neighbour in the
// cursor's order, else the prior one.
void Table::moveNear(std::uint32_t recNo, const QByteArray& image) {
    std::uint32_t r = m_order->next(recNo, image);
    if (r == 0)
        r = m_order->prior(recNo, image);
    moveTo(r);
    m_bof = m_eof = r == 0;
}

void Table::setIndexFiles(const QStringList& files) {
    if (!isOpen()) {
        m_indexFiles = files;
        return;
    }
    checkBrowse();
    auto indexes = openIndexFiles(files);
    m_tagOrder = nullptr;
    m_order.reset();
    m_indexFiles = files;
    m_indexes = std::move(indexes);
    selectOrder();
    first();
    emit layoutReset();
}

void Table::setActiveTag(const QString& name) {
    m_activeTag = name;
    if (!isOpen())
        return;
    checkBrowse();
    selectOrder();
    first();
    emit layoutReset();
}

QStringList Table::tagNames() const {
    QStringList names;
    for (const auto& index : m_indexes) {
        for (const IndexTag& t : index->tags())
            names << t.name;
    }
    return names;
}

void Table::setRange(const QString& low, const QString& high) {
    requireOpen();
    if (!m_tagOrder)
        return;
    checkBrowse();
    m_tagOrder->setRange(low, high);
    first();
    emit layoutReset();
}

void Table::cancelRange() {
    requireOpen();
    if (!m_tagOrder)
        return;
    m_tagOrder->cancelRange();
    emit layoutReset();
}

bool Table::findKey(const QString& key) {
    requireOpen();
    if (!m_tagOrder)
        return false;
    checkBrowse();
    const std::uint32_t r = m_tagOrder->find(key);
    if (r == 0)
        return false;
    moveTo(r);
    m_bof = m_eof = false;
    emit currentChanged();
    return true;
}

void Table::createIndex(const QString& fileName, const QString& tagName,
                        const QString& expression) {
    createIndex(fileName, {{tagName, expression}});
}

void Table::createIndex(const QString& fileName,
                        const std::vector<std::pair<QString, QString>>& tags) {
    requireWritable();
    checkBrowse();
    const QString path = resolveFileName(m_directory, fileName);
    std::vector<TagDefinition> definitions;
    for (const auto& [name, expression] : tags)
        definitions.push_back({name, expression, false, false});
    // A listed file being replaced is closed first and opened again afterwards.
    const QFileInfo target(path);
    const auto listed =
        std::find_if(m_indexes.begin(), m_indexes.end(),
                     [&target](const auto& index) { return QFileInfo(index->path()) == target; });
    if (listed != m_indexes.end())
        (*listed)->close();
    try {
        // No appends by others while the records are read.
        withHeaderLocks([&] {
            MdxFile::create(path, QFileInfo(m_file.path()).completeBaseName().toUpper(),
                            m_header.fields, definitions,
                            [this](const auto& visit) { scanRecords(visit); });
        });
        if (listed != m_indexes.end())
            **listed = MdxFile::open(path, m_header.fields, FileAccess::ReadWrite,
                                     m_exclusive ? Sharing::Exclusive : Sharing::Shared);
    } catch (...) {
        // The replaced file is gone from the open ones; the cursor stays usable.
        if (listed != m_indexes.end()) {
            m_tagOrder = nullptr;
            m_order.reset();
            m_indexes.erase(listed);
            selectOrder();
            first();
            emit layoutReset();
        }
        throw;
    }
    if (listed != m_indexes.end()) {
        selectOrder();
        first();
        emit layoutReset();
    }
}

void Table::create(const QString& path, const std::vector<FieldDef>& fields) {
    QByteArray bytes = buildHeader(fields, 0, QDate::currentDate());
    bytes.append(kEndOfFile);
    NativeFile file = NativeFile::create(path);
    file.write(0, bytes.constData(), bytes.size());
    file.sync();
}

} // namespace xbase
