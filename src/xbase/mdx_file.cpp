#include "mdx_file.h"

#include "codepage.h"
#include "error.h"
#include "fault_point.h"
#include "lock_offsets.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_set>

namespace xbase {
namespace {

constexpr int kPage = 512;
constexpr std::uint32_t kHeaderPages = 4; // file header and tag table
constexpr int kFileHeaderBytes = kPage * kHeaderPages;
constexpr int kTagTable = 544;
constexpr int kTagEntry = 32;
constexpr int kMaxTags = 47;
constexpr int kMaxDepth = 32;
constexpr int kPagesPerBlock = 2;
constexpr int kExpressionAt = 24;
constexpr int kExpressionMax = 220;
constexpr int kForFlagAt = 245;
constexpr int kForAt = 762;
constexpr int kMaxCharacterKey = 100;
constexpr unsigned char kFlagBase = 0x10;
constexpr unsigned char kFlagDescending = 0x08;
constexpr unsigned char kFlagUnique = 0x40;
constexpr int kLockAttempts = 400;
constexpr unsigned long kLockPauseMs = 5;

std::uint32_t u32(const char* p) {
    return qFromLittleEndian<quint32>(p);
}
std::uint16_t u16(const char* p) {
    return qFromLittleEndian<quint16>(p);
}
void put32(char* p, std::uint32_t v) {
    qToLittleEndian<quint32>(v, p);
}
void put16(char* p, std::uint16_t v) {
    qToLittleEndian<quint16>(v, p);
}

std::int64_t offsetOf(std::uint32_t page) {
    return static_cast<std::int64_t>(page) * kPage;
}

void putDate(char* p, const QDate& d) {
    p[0] = static_cast<char>(d.year() - 1900);
    p[1] = static_cast<char>(d.month());
    p[2] = static_cast<char>(d.day());
}

int itemLengthFor(int keyLength) {
    return (4 + keyLength + 3) / 4 * 4;
}

QString nulTerminated(const char* p, int max) {
    const char* end = std::find(p, p + max, '\0');
    return fromOem(QByteArrayView(p, end - p));
}

QString cleanPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

struct MdxFile::TagHeader {
    std::uint32_t root = 0;
    char changes = 0; // byte 20, counted up by every change
};

// A node block: the entry count, then items of (pointer, key), then for an
// interior node the right-most child. Bytes hold one item more than a block while
// a node overflows before it is split.
struct MdxFile::Block {
    std::uint32_t page = 0;
    int itemLength = 0;
    QByteArray bytes;

    int count() const { return static_cast<int>(u32(bytes.constData())); }
    void setCount(int n) { put32(bytes.data(), static_cast<std::uint32_t>(n)); }
    char* item(int i) { return bytes.data() + 8 + i * itemLength; }
    const char* item(int i) const { return bytes.constData() + 8 + i * itemLength; }
    const char* key(int i) const { return item(i) + 4; }
    // Record number in a leaf; child page in an interior node (i = count(): the
    // right-most child).
    std::uint32_t pointer(int i) const { return u32(item(i)); }
    void setPointer(int i, std::uint32_t v) { put32(item(i), v); }
    bool leaf() const { return pointer(count()) == 0; }

    void insertItem(int pos, std::uint32_t pointerValue, const QByteArray& key) {
        const int n = count();
        std::memmove(item(pos + 1), item(pos),
                     static_cast<std::size_t>((n - pos) * itemLength + 4));
        std::memset(item(pos), 0, static_cast<std::size_t>(itemLength));
        put32(item(pos), pointerValue);
        std::memcpy(item(pos) + 4, key.constData(), static_cast<std::size_t>(key.size()));
        setCount(n + 1);
    }
    void removeItem(int pos) {
        const int n = count();
        std::memmove(item(pos), item(pos + 1),
                     static_cast<std::size_t>((n - pos - 1) * itemLength + 4));
        truncateTo(n - 1);
    }
    // Keeps n items (and the word after them); zeroes the rest.
    void truncateTo(int n) {
        setCount(n);
        char* tail = item(n) + 4;
        std::memset(tail, 0, static_cast<std::size_t>(bytes.constData() + bytes.size() - tail));
    }
};

MdxFile::MdxFile() = default;
MdxFile::~MdxFile() = default;
MdxFile::MdxFile(MdxFile&&) noexcept = default;
MdxFile& MdxFile::operator=(MdxFile&&) noexcept = default;

void MdxFile::damaged(const QString& what) const {
    throw Error(QStringLiteral("%1: индексный файл повреждён: %2").arg(cleanPath(path()), what));
}

MdxFile MdxFile::open(const QString& path, const std::vector<FieldDef>& fields, FileAccess access,
                      Sharing sharing) {
    MdxFile f;
    f.m_file = NativeFile::open(path, access, sharing);
    f.m_sharing = sharing;
    f.m_fields = fields;
    {
        Lock lock(f, LockType::Read);
        f.load(fields);
    }
    return f;
}

void MdxFile::load(const std::vector<FieldDef>& fields) {
    m_tags.clear();
    m_recent.clear();
    m_knownSize = m_file.size();
    if (m_knownSize < kFileHeaderBytes)
        damaged(QStringLiteral("файл короче заголовка"));
    QByteArray head(kFileHeaderBytes, '\0');
    m_file.readExact(0, head.data(), head.size());
    const char* h = head.constData();
    m_pagesPerBlock = u16(h + 20);
    m_blockSize = u16(h + 22);
    if (m_pagesPerBlock < 2 || m_pagesPerBlock > 32 || m_blockSize != m_pagesPerBlock * kPage)
        damaged(QStringLiteral("неверный размер блока (%1 страниц, %2 байт)")
                    .arg(m_pagesPerBlock)
                    .arg(m_blockSize));
    m_tableName = nulTerminated(h + 4, 16);
    m_production = h[24] == 1;
    const int tagCount = u16(h + 28);
    if (tagCount > kMaxTags)
        damaged(QStringLiteral("в заголовке указано %1 тегов, а их бывает не больше %2")
                    .arg(tagCount)
                    .arg(kMaxTags));
    QByteArray block;
    for (int i = 0; i < tagCount; ++i) {
        const char* e = h + kTagTable + i * kTagEntry;
        IndexTag tag;
        tag.headerPage = u32(e);
        tag.name = nulTerminated(e + 4, 11).toUpper();
        if (tag.headerPage < kHeaderPages || offsetOf(tag.headerPage) + m_blockSize > m_knownSize)
            damaged(QStringLiteral("заголовок тега %1 указывает за пределы файла").arg(tag.name));
        block.resize(m_blockSize);
        m_file.readExact(offsetOf(tag.headerPage), block.data(), block.size());
        const char* t = block.constData();
        const char type = t[9];
        if (type != 'C' && type != 'N' && type != 'D')
            damaged(QStringLiteral("у тега %1 неизвестный тип ключа").arg(tag.name));
        if ((e[20] == 'C' || e[20] == 'N' || e[20] == 'D') && e[20] != type)
            damaged(QStringLiteral("у тега %1 тип ключа в таблице тегов и в заголовке тега разный")
                        .arg(tag.name));
        tag.keyType = static_cast<KeyType>(type);
        tag.keyLength = u16(t + 12);
        tag.maxKeys = u16(t + 14);
        tag.itemLength = u16(t + 18);
        const bool lengthOk =
            tag.keyType == KeyType::Character
                ? tag.keyLength >= 1 && tag.keyLength <= kMaxCharacterKey
                : tag.keyLength ==
                      (tag.keyType == KeyType::Numeric ? kNumericKeyLength : kDateKeyLength);
        if (!lengthOk || tag.itemLength < tag.keyLength + 4 || tag.itemLength + 12 > m_blockSize ||
            tag.maxKeys < 1 || tag.maxKeys > (m_blockSize - 12) / tag.itemLength)
            damaged(QStringLiteral("у тега %1 неверные длины ключа (%2, элемент %3, ключей в "
                                   "блоке %4)")
                        .arg(tag.name)
                        .arg(tag.keyLength)
                        .arg(tag.itemLength)
                        .arg(tag.maxKeys));
        const auto flags = static_cast<unsigned char>(t[8]);
        tag.descending = flags & kFlagDescending;
        tag.unique = (flags & kFlagUnique) || t[23] != 0;
        const QString expression = nulTerminated(t + kExpressionAt, kExpressionMax + 1);
        if (expression.trimmed().isEmpty())
            damaged(QStringLiteral("у тега %1 нет ключевого выражения").arg(tag.name));
        const QString condition = nulTerminated(t + kForAt, kExpressionMax);
        if (t[kForFlagAt] == 1 || !condition.trimmed().isEmpty())
            throw Error(QStringLiteral("%1: тег %2 с условием отбора (FOR %3) не поддерживается")
                            .arg(cleanPath(path()), tag.name, condition));
        try {
            tag.expression = KeyExpression::compile(expression, fields);
        } catch (const Error& e) {
            throw Error(
                QStringLiteral("%1: тег %2: %3").arg(cleanPath(path()), tag.name, e.message()));
        }
        if (tag.expression.type() != tag.keyType || tag.expression.length() != tag.keyLength)
            damaged(QStringLiteral("у тега %1 тип или длина ключа (%2, %3) не совпадают с "
                                   "выражением %4")
                        .arg(tag.name, QString(QChar::fromLatin1(type)))
                        .arg(tag.keyLength)
                        .arg(expression));
        m_tags.push_back(std::move(tag));
    }
}

int MdxFile::tagIndex(QStringView name) const {
    for (std::size_t i = 0; i < m_tags.size(); ++i) {
        if (m_tags[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::int64_t MdxFile::entryLimit() const {
    return (m_knownSize / m_blockSize + 1) * ((m_blockSize - 12) / 8);
}

MdxFile::Lock::Lock(MdxFile& file, LockType type) : m_file(&file) {
    if (file.m_sharing == Sharing::Shared && file.m_lockDepth == 0) {
        int attempt = 0;
        while (!file.m_file.tryLock(lock_offsets::kIndexUpdate, 1, type)) {
            if (++attempt == kLockAttempts)
                throw LockError(QStringLiteral("%1: индекс изменяется другим пользователем")
                                    .arg(cleanPath(file.path())));
            QThread::msleep(kLockPauseMs);
        }
    }
    ++file.m_lockDepth;
}

MdxFile::Lock::~Lock() {
    if (--m_file->m_lockDepth > 0)
        return;
    // Without the lock another process may change any block.
    m_file->m_recent.clear();
    if (m_file->m_sharing == Sharing::Shared)
        m_file->m_file.unlock(lock_offsets::kIndexUpdate, 1);
}

MdxFile::TagHeader MdxFile::readTagHeader(int tag) const {
    char b[21];
    m_file.readExact(offsetOf(m_tags[static_cast<std::size_t>(tag)].headerPage), b, sizeof b);
    return TagHeader{u32(b), b[20]};
}

void MdxFile::writeRoot(int tag, std::uint32_t root) {
    char b[4];
    put32(b, root);
    m_file.write(offsetOf(m_tags[static_cast<std::size_t>(tag)].headerPage), b, sizeof b);
}

MdxFile::Block MdxFile::readBlock(int tag, std::uint32_t page) const {
    for (const Block& b : m_recent) {
        if (b.page == page)
            return b;
    }
    const IndexTag& t = m_tags[static_cast<std::size_t>(tag)];
    if (offsetOf(page) + m_blockSize > m_knownSize)
        m_knownSize = m_file.size();
    if (page < kHeaderPages || offsetOf(page) + m_blockSize > m_knownSize)
        damaged(
            QStringLiteral("тег %1 ссылается на блок %2 за пределами файла").arg(t.name).arg(page));
    Block b;
    b.page = page;
    b.itemLength = t.itemLength;
    b.bytes = QByteArray(m_blockSize + t.itemLength, '\0');
    m_file.readExact(offsetOf(page), b.bytes.data(), m_blockSize);
    const int capacity = (m_blockSize - 12) / t.itemLength;
    if (u32(b.bytes.constData()) > static_cast<std::uint32_t>(capacity))
        damaged(QStringLiteral("в блоке %1 тега %2 записано %3 ключей, а помещается не больше %4")
                    .arg(page)
                    .arg(t.name)
                    .arg(u32(b.bytes.constData()))
                    .arg(capacity));
    remember(b);
    return b;
}

// While the lock is held no one else changes the file: the blocks of the current
// path and leaf are kept, so a walk reads each leaf once.
void MdxFile::remember(const Block& block) const {
    constexpr std::size_t kRecentBlocks = 16;
    if (m_lockDepth == 0)
        return;
    for (Block& b : m_recent) {
        if (b.page == block.page) {
            b = block;
            return;
        }
    }
    if (m_recent.size() == kRecentBlocks)
        m_recent.erase(m_recent.begin());
    m_recent.push_back(block);
}

void MdxFile::writeBlock(const Block& block) {
    m_file.write(offsetOf(block.page), block.bytes.constData(), m_blockSize);
    remember(block);
}

std::uint32_t MdxFile::allocateBlock() {
    char b[4];
    m_file.readExact(32, b, sizeof b);
    m_knownSize = m_file.size();
    const std::int64_t pages = std::max<std::int64_t>(u32(b), (m_knownSize + kPage - 1) / kPage);
    if (pages + m_pagesPerBlock > std::numeric_limits<std::uint32_t>::max() / kPage)
        damaged(QStringLiteral("файл не может расти дальше"));
    put32(b, static_cast<std::uint32_t>(pages + m_pagesPerBlock));
    m_file.write(32, b, sizeof b);
    return static_cast<std::uint32_t>(pages);
}

// The tag's change counter, and the file's update date at its first change.
void MdxFile::touch(int tag, const TagHeader& header) {
    const char counter = static_cast<char>(header.changes + 1);
    m_file.write(offsetOf(m_tags[static_cast<std::size_t>(tag)].headerPage) + 20, &counter, 1);
    if (!m_dated) {
        char date[3];
        putDate(date, QDate::currentDate());
        m_file.write(44, date, sizeof date);
        m_dated = true;
    }
}

int MdxFile::compareInTreeOrder(int tag, const char* a, const char* b, int length) const {
    const IndexTag& t = m_tags[static_cast<std::size_t>(tag)];
    const int c = compareKeys(t.keyType, a, b, length);
    return t.descending ? -c : c;
}

namespace {

void checkDepth(const TreePath& path, std::uint32_t page, const std::function<void()>& fail) {
    if (path.size() >= static_cast<std::size_t>(kMaxDepth))
        fail();
    for (const TreeLevel& l : path) {
        if (l.page == page)
            fail();
    }
}

} // namespace

void MdxFile::descendEdge(int tag, TreePath& path, std::uint32_t page, int direction) const {
    for (;;) {
        checkDepth(path, page, [&] {
            damaged(QStringLiteral("дерево тега %1 замкнуто в цикл")
                        .arg(m_tags[static_cast<std::size_t>(tag)].name));
        });
        const Block b = readBlock(tag, page);
        const int n = b.count();
        if (b.leaf()) {
            path.push_back({page, direction > 0 ? (n > 0 ? 0 : -1) : n - 1});
            return;
        }
        const int i = direction > 0 ? 0 : n;
        path.push_back({page, i});
        page = b.pointer(i);
    }
}

bool MdxFile::seek(int tag, const std::function<bool(const char*)>& before, TreePath& path) {
    path.clear();
    std::uint32_t page = readTagHeader(tag).root;
    for (;;) {
        checkDepth(path, page, [&] {
            damaged(QStringLiteral("дерево тега %1 замкнуто в цикл")
                        .arg(m_tags[static_cast<std::size_t>(tag)].name));
        });
        const Block b = readBlock(tag, page);
        int lo = 0;
        int hi = b.count();
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (before(b.key(mid)))
                lo = mid + 1;
            else
                hi = mid;
        }
        if (b.leaf()) {
            if (lo < b.count()) {
                path.push_back({page, lo});
                return true;
            }
            // Past the end of this leaf: the entry sought starts the next one.
            path.push_back({page, b.count() - 1});
            return step(tag, path, 1);
        }
        path.push_back({page, lo});
        page = b.pointer(lo);
    }
}

bool MdxFile::seekBack(int tag, const std::function<bool(const char*)>& after, TreePath& path) {
    if (seek(
            tag, [&](const char* k) { return !after(k); }, path))
        return step(tag, path, -1);
    path.clear();
    descendEdge(tag, path, readTagHeader(tag).root, -1);
    if (path.back().index >= 0)
        return true;
    path.back().index = 0;
    return step(tag, path, -1);
}

void MdxFile::entry(int tag, const TreePath& path, QByteArray& key, std::uint32_t& recNo) const {
    const Block leaf = readBlock(tag, path.back().page);
    const int i = path.back().index;
    if (i < 0 || i >= leaf.count())
        damaged(QStringLiteral("позиция в теге %1 вне блока %2")
                    .arg(m_tags[static_cast<std::size_t>(tag)].name)
                    .arg(path.back().page));
    key = QByteArray(leaf.key(i), m_tags[static_cast<std::size_t>(tag)].keyLength);
    recNo = leaf.pointer(i);
}

bool MdxFile::step(int tag, TreePath& path, int direction) {
    for (std::int64_t guard = 0; guard < entryLimit(); ++guard) {
        const Block leaf = readBlock(tag, path.back().page);
        const int i = path.back().index + direction;
        if (i >= 0 && i < leaf.count()) {
            path.back().index = i;
            return true;
        }
        // Up to the nearest level with a child further on, then down its edge.
        std::size_t level = path.size() - 1;
        bool moved = false;
        while (level > 0 && !moved) {
            --level;
            const Block node = readBlock(tag, path[level].page);
            const int c = path[level].index + direction;
            if (c >= 0 && c <= node.count()) {
                path[level].index = c;
                path.resize(level + 1);
                descendEdge(tag, path, node.pointer(c), direction);
                moved = true;
            }
        }
        if (!moved)
            return false;
        const int idx = path.back().index;
        if (idx >= 0)
            return true;
        // An empty leaf: keep going.
        path.back().index = direction > 0 ? -1 : 0;
    }
    damaged(QStringLiteral("обход тега %1 не заканчивается")
                .arg(m_tags[static_cast<std::size_t>(tag)].name));
}

bool MdxFile::checkPath(int tag, const TreePath& path, Block* leaf) const {
    if (path.empty() || path.front().page != readTagHeader(tag).root)
        return false;
    for (std::size_t level = 0; level < path.size(); ++level) {
        Block b = readBlock(tag, path[level].page);
        const int i = path[level].index;
        const bool last = level + 1 == path.size();
        if (b.leaf() != last)
            return false;
        if (last) {
            if (i < 0 || i >= b.count())
                return false;
            *leaf = std::move(b);
            return true;
        }
        if (i < 0 || i > b.count() || b.pointer(i) != path[level + 1].page)
            return false;
    }
    return false;
}

bool MdxFile::entryAt(int tag, const TreePath& path, QByteArray& key, std::uint32_t& recNo) {
    Block leaf;
    if (!checkPath(tag, path, &leaf))
        return false;
    const int i = path.back().index;
    key = QByteArray(leaf.key(i), m_tags[static_cast<std::size_t>(tag)].keyLength);
    recNo = leaf.pointer(i);
    return true;
}

bool MdxFile::locate(int tag, const QByteArray& key, std::uint32_t recNo, TreePath& path) {
    const int length = m_tags[static_cast<std::size_t>(tag)].keyLength;
    const auto before = [&](const char* k) {
        return compareInTreeOrder(tag, k, key.constData(), length) < 0;
    };
    if (!seek(tag, before, path))
        return false;
    for (std::int64_t guard = 0; guard < entryLimit(); ++guard) {
        const Block leaf = readBlock(tag, path.back().page);
        for (int i = path.back().index; i < leaf.count(); ++i) {
            if (compareInTreeOrder(tag, leaf.key(i), key.constData(), length) != 0)
                return false;
            if (leaf.pointer(i) == recNo) {
                path.back().index = i;
                return true;
            }
        }
        path.back().index = leaf.count() - 1;
        if (!step(tag, path, 1))
            return false;
    }
    damaged(QStringLiteral("обход тега %1 не заканчивается")
                .arg(m_tags[static_cast<std::size_t>(tag)].name));
}

void MdxFile::forEachEntry(int tag, const std::function<void(const char*, std::uint32_t)>& visit) {
    std::unordered_set<std::uint32_t> seen;
    const QString& name = m_tags[static_cast<std::size_t>(tag)].name;
    const std::function<void(std::uint32_t, int)> walk = [&](std::uint32_t page, int depth) {
        if (depth > kMaxDepth || !seen.insert(page).second)
            damaged(
                QStringLiteral("блок %1 встречается в дереве тега %2 дважды").arg(page).arg(name));
        const Block b = readBlock(tag, page);
        const int n = b.count();
        if (b.leaf()) {
            for (int i = 0; i < n; ++i)
                visit(b.key(i), b.pointer(i));
            return;
        }
        for (int i = 0; i <= n; ++i)
            walk(b.pointer(i), depth + 1);
    };
    walk(readTagHeader(tag).root, 0);
}

void MdxFile::insertKey(int tag, const QByteArray& key, std::uint32_t recNo) {
    const IndexTag& t = m_tags[static_cast<std::size_t>(tag)];
    const auto cmp = [&](const char* a) {
        return compareInTreeOrder(tag, a, key.constData(), t.keyLength);
    };
    TreePath path;
    if (t.unique && seek(
                        tag, [&](const char* k) { return cmp(k) < 0; }, path)) {
        QByteArray found;
        std::uint32_t r = 0;
        if (entryAt(tag, path, found, r) && cmp(found.constData()) == 0)
            return;
    }
    // Down to the leaf, after every equal key.
    path.clear();
    Block leaf;
    const TagHeader header = readTagHeader(tag);
    std::uint32_t page = header.root;
    for (;;) {
        checkDepth(path, page,
                   [&] { damaged(QStringLiteral("дерево тега %1 замкнуто в цикл").arg(t.name)); });
        Block b = readBlock(tag, page);
        int lo = 0;
        int hi = b.count();
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (cmp(b.key(mid)) <= 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        path.push_back({page, lo});
        if (b.leaf()) {
            leaf = std::move(b);
            break;
        }
        page = b.pointer(lo);
    }
    leaf.insertItem(path.back().index, recNo, key);
    if (leaf.count() <= t.maxKeys) {
        writeBlock(leaf);
    } else {
        // Split: the upper half moves to a new block.
        const int n = leaf.count();
        const int keep = n - n / 2;
        Block right;
        right.page = allocateBlock();
        right.itemLength = leaf.itemLength;
        right.bytes = QByteArray(leaf.bytes.size(), '\0');
        std::memcpy(right.item(0), leaf.item(keep),
                    static_cast<std::size_t>((n - keep) * t.itemLength));
        right.setCount(n - keep);
        leaf.truncateTo(keep);
        put32(leaf.item(keep), 0);
        const QByteArray separator(leaf.key(keep - 1), t.keyLength);
        // The new block and its parent first, the shortened old block last: a crash
        // in between leaves keys out of order, which a walk reports, and loses none.
        writeBlock(right);
        insertIntoParent(tag, path, path.size() - 1, separator, leaf.page, right.page);
        detail::faultPoint("mdx.split-before-left");
        writeBlock(leaf);
    }
    touch(tag, header);
}

// The node at `level` was split into `left` (its old page) and `right`: the parent
// gets `key` (the greatest key under `left`) and a pointer to `right`.
void MdxFile::insertIntoParent(int tag, TreePath& path, std::size_t level, const QByteArray& key,
                               std::uint32_t left, std::uint32_t right) {
    const IndexTag& t = m_tags[static_cast<std::size_t>(tag)];
    if (level == 0) {
        Block root;
        root.page = allocateBlock();
        root.itemLength = t.itemLength;
        root.bytes = QByteArray(m_blockSize + t.itemLength, '\0');
        root.insertItem(0, left, key);
        root.setPointer(1, right);
        writeBlock(root);
        writeRoot(tag, root.page);
        return;
    }
    Block node = readBlock(tag, path[level - 1].page);
    const int at = path[level - 1].index;
    node.insertItem(at, left, key);
    node.setPointer(at + 1, right);
    if (node.count() <= t.maxKeys) {
        writeBlock(node);
        return;
    }
    // Interior split: the middle key moves up; its child ends the left half.
    const int n = node.count();
    const int keep = n / 2;
    Block upper;
    upper.page = allocateBlock();
    upper.itemLength = node.itemLength;
    upper.bytes = QByteArray(node.bytes.size(), '\0');
    std::memcpy(upper.item(0), node.item(keep + 1),
                static_cast<std::size_t>((n - keep - 1) * t.itemLength + 4));
    upper.setCount(n - keep - 1);
    const QByteArray separator(node.key(keep), t.keyLength);
    node.truncateTo(keep);
    writeBlock(upper);
    insertIntoParent(tag, path, level - 1, separator, node.page, upper.page);
    writeBlock(node);
}

void MdxFile::removeKey(int tag, const QByteArray& key, std::uint32_t recNo) {
    TreePath path;
    if (!locate(tag, key, recNo, path))
        return;
    Block leaf = readBlock(tag, path.back().page);
    leaf.removeItem(path.back().index);
    if (leaf.count() > 0 || path.size() == 1)
        writeBlock(leaf);
    else
        removeFromParent(tag, path, path.size() - 2);
    touch(tag, readTagHeader(tag));
}

// The child at path[level] became empty: drop it from its node.
void MdxFile::removeFromParent(int tag, const TreePath& path, std::size_t level) {
    Block node = readBlock(tag, path[level].page);
    const int n = node.count();
    const int at = path[level].index;
    if (n == 0) {
        // Its only child is gone: the node is empty too.
        if (level > 0) {
            removeFromParent(tag, path, level - 1);
            return;
        }
        node.truncateTo(0);
        put32(node.item(0), 0);
        writeBlock(node);
        return;
    }
    if (at < n)
        node.removeItem(at);
    else
        node.truncateTo(n - 1); // the last child's pointer becomes the right-most one
    writeBlock(node);
    if (level == 0 && node.count() == 0)
        writeRoot(tag, node.pointer(0));
}

namespace {

struct BuiltTag {
    TagDefinition definition;
    KeyExpression expression;
    int itemLength = 0;
    int maxKeys = 0;
    std::vector<char> keys;
    std::vector<std::uint32_t> recNos;
    std::vector<std::uint32_t> order; // entries in stored order
};

void checkTagName(const QString& name, const QString& path) {
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,9}$"));
    if (!valid.match(name).hasMatch())
        throw Error(QStringLiteral("%1: имя тега «%2» недопустимо (до 10 латинских букв, цифр "
                                   "и знаков «_»)")
                        .arg(cleanPath(path), name));
}

void sortEntries(BuiltTag& t) {
    const int k = t.expression.length();
    const KeyType type = t.expression.type();
    const int sign = t.definition.descending ? -1 : 1;
    const char* keys = t.keys.data();
    t.order.resize(t.recNos.size());
    std::iota(t.order.begin(), t.order.end(), 0u);
    // Equal keys stay in record order (the scan's order).
    if (type == KeyType::Character && sign > 0) {
        std::sort(t.order.begin(), t.order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c = std::memcmp(keys + std::size_t(a) * k, keys + std::size_t(b) * k,
                                      static_cast<std::size_t>(k));
            return c < 0 || (c == 0 && a < b);
        });
    } else {
        std::sort(t.order.begin(), t.order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c =
                sign * compareKeys(type, keys + std::size_t(a) * k, keys + std::size_t(b) * k, k);
            return c < 0 || (c == 0 && a < b);
        });
    }
    if (t.definition.unique) {
        const auto last =
            std::unique(t.order.begin(), t.order.end(), [&](std::uint32_t a, std::uint32_t b) {
                return compareKeys(type, keys + std::size_t(a) * k, keys + std::size_t(b) * k, k) ==
                       0;
            });
        t.order.erase(last, t.order.end());
    }
}

// Writes one tag's tree bottom-up from `firstPage` on: full, evenly filled nodes,
// each interior key the greatest key under its child. Returns the root page and
// advances firstPage past the tree.
std::uint32_t writeTree(NativeFile& file, const BuiltTag& t, int blockSize,
                        std::uint32_t& nextPage) {
    const int k = t.expression.length();
    struct Node {
        std::uint32_t page;
        std::uint32_t lastEntry; // index into t.keys of its greatest key
    };
    std::vector<Node> level;
    const auto chunks = [](std::size_t items, std::size_t perNode) {
        return std::max<std::size_t>(1, (items + perNode - 1) / perNode);
    };
    // Leaves.
    {
        const std::size_t n = t.order.size();
        const std::size_t nodes = chunks(n, static_cast<std::size_t>(t.maxKeys));
        QByteArray out(static_cast<qsizetype>(nodes) * blockSize, '\0');
        std::size_t pos = 0;
        for (std::size_t i = 0; i < nodes; ++i) {
            const std::size_t take = n / nodes + (i < n % nodes ? 1 : 0);
            char* b = out.data() + i * blockSize;
            put32(b, static_cast<std::uint32_t>(take));
            for (std::size_t j = 0; j < take; ++j) {
                const std::uint32_t e = t.order[pos + j];
                char* item = b + 8 + j * t.itemLength;
                put32(item, t.recNos[e]);
                std::memcpy(item + 4, t.keys.data() + std::size_t(e) * k,
                            static_cast<std::size_t>(k));
            }
            pos += take;
            level.push_back({nextPage + static_cast<std::uint32_t>(i * kPagesPerBlock),
                             take > 0 ? t.order[pos - 1] : 0});
        }
        file.write(offsetOf(nextPage), out.constData(), out.size());
        nextPage += static_cast<std::uint32_t>(nodes * kPagesPerBlock);
    }
    // Interior levels up to a single root.
    while (level.size() > 1) {
        const std::size_t n = level.size();
        const std::size_t nodes = chunks(n, static_cast<std::size_t>(t.maxKeys) + 1);
        QByteArray out(static_cast<qsizetype>(nodes) * blockSize, '\0');
        std::vector<Node> upper;
        std::size_t pos = 0;
        for (std::size_t i = 0; i < nodes; ++i) {
            const std::size_t take = n / nodes + (i < n % nodes ? 1 : 0);
            char* b = out.data() + i * blockSize;
            put32(b, static_cast<std::uint32_t>(take - 1));
            for (std::size_t j = 0; j < take; ++j) {
                char* item = b + 8 + j * t.itemLength;
                put32(item, level[pos + j].page);
                if (j + 1 < take)
                    std::memcpy(item + 4, t.keys.data() + std::size_t(level[pos + j].lastEntry) * k,
                                static_cast<std::size_t>(k));
            }
            pos += take;
            upper.push_back({nextPage + static_cast<std::uint32_t>(i * kPagesPerBlock),
                             level[pos - 1].lastEntry});
        }
        file.write(offsetOf(nextPage), out.constData(), out.size());
        nextPage += static_cast<std::uint32_t>(nodes * kPagesPerBlock);
        level = std::move(upper);
    }
    return level.front().page;
}

// The name tree of the tag table: tag 1 is the root, each later name goes left of
// a greater name and right otherwise.
void linkNames(char* table, const std::vector<BuiltTag>& tags) {
    for (std::size_t i = 1; i < tags.size(); ++i) {
        const QByteArray name = tags[i].definition.name.toUpper().toLatin1();
        std::size_t at = 0;
        for (;;) {
            char* e = table + at * kTagEntry;
            const bool left = name < tags[at].definition.name.toUpper().toLatin1();
            const int link = static_cast<unsigned char>(e[left ? 16 : 17]);
            if (link == 0) {
                e[left ? 16 : 17] = static_cast<char>(i + 1);
                table[i * kTagEntry + 18] = static_cast<char>(at + 1);
                break;
            }
            at = static_cast<std::size_t>(link - 1);
        }
    }
}

// The tags to build, checked and compiled, before any file is touched.
std::vector<BuiltTag> prepareTags(const QString& path, const std::vector<FieldDef>& fields,
                                  const std::vector<TagDefinition>& definitions) {
    if (definitions.empty() || definitions.size() > kMaxTags)
        throw Error(QStringLiteral("%1: в индексном файле может быть от 1 до %2 тегов")
                        .arg(cleanPath(path))
                        .arg(kMaxTags));
    std::vector<BuiltTag> tags;
    for (const TagDefinition& d : definitions) {
        checkTagName(d.name, path);
        for (const BuiltTag& other : tags) {
            if (other.definition.name.compare(d.name, Qt::CaseInsensitive) == 0)
                throw Error(
                    QStringLiteral("%1: тег %2 указан дважды").arg(cleanPath(path), d.name));
        }
        if (toOem(d.expression).size() > kExpressionMax)
            throw Error(QStringLiteral("%1: выражение тега %2 длиннее %3 знаков")
                            .arg(cleanPath(path), d.name)
                            .arg(kExpressionMax));
        BuiltTag t;
        t.definition = d;
        t.definition.name = d.name.toUpper();
        t.expression = KeyExpression::compile(d.expression, fields);
        t.itemLength = itemLengthFor(t.expression.length());
        t.maxKeys = (kPagesPerBlock * kPage - 12) / t.itemLength;
        tags.push_back(std::move(t));
    }
    return tags;
}

// Writes the whole file: tag headers, trees, then the file header.
void writeIndex(NativeFile& file, const QString& tableName, bool production,
                std::vector<BuiltTag> tags, const RecordScan& scan) {
    scan([&](std::uint32_t recNo, const char* image) {
        for (BuiltTag& t : tags) {
            const QByteArray key = t.expression.evaluate(image);
            t.keys.insert(t.keys.end(), key.begin(), key.end());
            t.recNos.push_back(recNo);
        }
    });
    for (BuiltTag& t : tags)
        sortEntries(t);

    const int blockSize = kPagesPerBlock * kPage;
    const QDate today = QDate::currentDate();
    QByteArray head(kFileHeaderBytes, '\0');
    char* h = head.data();
    std::uint32_t nextPage =
        kHeaderPages + static_cast<std::uint32_t>(tags.size()) * kPagesPerBlock;
    file.truncate(0);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const BuiltTag& t = tags[i];
        const std::uint32_t headerPage =
            kHeaderPages + static_cast<std::uint32_t>(i) * kPagesPerBlock;
        const std::uint32_t treeStart = nextPage;
        const std::uint32_t root = writeTree(file, t, blockSize, nextPage);

        QByteArray block(blockSize, '\0');
        char* b = block.data();
        put32(b, root);
        put32(b + 4, nextPage - treeStart + kPagesPerBlock);
        unsigned char flags = kFlagBase;
        if (t.definition.descending)
            flags |= kFlagDescending;
        if (t.definition.unique)
            flags |= kFlagUnique;
        b[8] = static_cast<char>(flags);
        b[9] = static_cast<char>(t.expression.type());
        b[11] = 0x1B;
        put16(b + 12, static_cast<std::uint16_t>(t.expression.length()));
        put16(b + 14, static_cast<std::uint16_t>(t.maxKeys));
        put16(b + 16, t.expression.type() == KeyType::Date ? 1 : 0);
        put16(b + 18, static_cast<std::uint16_t>(t.itemLength));
        b[23] = t.definition.unique ? static_cast<char>(kFlagUnique) : 0;
        const QByteArray expr = toOem(t.definition.expression);
        std::memcpy(b + kExpressionAt, expr.constData(), static_cast<std::size_t>(expr.size()));
        put32(b + 248, root);
        putDate(b + 257, today);
        file.write(offsetOf(headerPage), block.constData(), block.size());

        char* e = h + kTagTable + i * kTagEntry;
        put32(e, headerPage);
        const QByteArray name = t.definition.name.toLatin1();
        std::memcpy(e + 4, name.constData(), static_cast<std::size_t>(name.size()));
        e[15] = static_cast<char>(kFlagBase);
        e[19] = 0x02;
        e[20] = static_cast<char>(t.expression.type());
    }
    linkNames(h + kTagTable, tags);

    // The file header last: a file cut short before this point is refused on open.
    h[0] = 2;
    putDate(h + 1, today);
    const QByteArray base = toOem(tableName.left(15));
    std::memcpy(h + 4, base.constData(), static_cast<std::size_t>(base.size()));
    put16(h + 20, kPagesPerBlock);
    put16(h + 22, static_cast<std::uint16_t>(blockSize));
    h[24] = production ? 1 : 0;
    h[25] = 0x30;
    h[26] = kTagEntry;
    put16(h + 28, static_cast<std::uint16_t>(tags.size()));
    h[31] = 0x1B;
    put32(h + 32, nextPage);
    putDate(h + 44, today);
    h[529] = 0x01;
    file.write(0, head.constData(), head.size());
}

} // namespace

void MdxFile::rebuild(const RecordScan& scan) {
    std::vector<TagDefinition> defs;
    for (const IndexTag& t : m_tags)
        defs.push_back({t.name, t.expression.text(), t.descending, t.unique});
    auto tags = prepareTags(path(), m_fields, defs);
    Lock lock(*this, LockType::Write);
    writeIndex(m_file, m_tableName, m_production, std::move(tags), scan);
    load(m_fields);
}

void MdxFile::create(const QString& path, const QString& tableName,
                     const std::vector<FieldDef>& fields, const std::vector<TagDefinition>& tags,
                     const RecordScan& scan) {
    auto built = prepareTags(path, fields, tags);
    NativeFile file = NativeFile::create(path);
    writeIndex(file, tableName, false, std::move(built), scan);
    file.sync();
}

} // namespace xbase
