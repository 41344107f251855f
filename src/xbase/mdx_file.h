#pragma once

#include "dbf_format.h"
#include "index_key.h"
#include "key_expression.h"
#include "native_file.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace xbase {

// What a new tag is made of.
struct TagDefinition {
    QString name; // at most 10 characters: letters, digits, '_'
    QString expression;
    bool descending = false;
    bool unique = false;
};

// One tag of an open index file.
struct IndexTag {
    QString name;
    std::uint32_t headerPage = 0;
    KeyType keyType = KeyType::Character;
    int keyLength = 0;
    int itemLength = 0;
    int maxKeys = 0;
    bool descending = false; // the tree is stored in descending order
    bool unique = false;     // only the first record of each key is in the tag
    KeyExpression expression;
};

// A position in a tag's tree: the page and entry index on every level, root first.
struct TreeLevel {
    std::uint32_t page = 0;
    int index = 0;
};
using TreePath = std::vector<TreeLevel>;

// Feeds every record of the table, deleted ones included, to `visit` in record order.
using RecordScan =
    std::function<void(const std::function<void(std::uint32_t recNo, const char* image)>& visit)>;

// A dBASE IV multiple-index file (.MDX): a header, a table of up to 47 tags, and for
// each tag a header block and a B-tree whose leaves list (key, record number).
//
// The tree is re-read from the file at every operation, starting from the tag
// header, so changes made by another process between two operations are seen. A
// damaged file (a pointer outside the file, a cycle, a key count or length that
// cannot fit a block, a header that contradicts itself) gives an Error naming the
// file, never a crash or an endless walk.
//
// Supported: character, numeric and date keys; ascending and descending tags;
// unique tags (a key already present is not added again). A tag with a FOR
// condition is refused when the file is opened.
class MdxFile {
public:
    MdxFile();
    ~MdxFile();
    MdxFile(MdxFile&&) noexcept;
    MdxFile& operator=(MdxFile&&) noexcept;

    // Opens an existing index file of a table with `fields`; every tag's expression
    // is compiled against them. Throws Error (missing, damaged, unsupported) or
    // LockError (sharing conflict).
    static MdxFile open(const QString& path, const std::vector<FieldDef>& fields, FileAccess access,
                        Sharing sharing);
    // Writes a new index file (overwriting one that exists) with `tags`, built from
    // every record `scan` gives. `tableName` goes into the header.
    static void create(const QString& path, const QString& tableName,
                       const std::vector<FieldDef>& fields, const std::vector<TagDefinition>& tags,
                       const RecordScan& scan);
    // Rebuilds every tag from `scan` (after the table's record numbers changed).
    void rebuild(const RecordScan& scan);

    bool isOpen() const { return m_file.isOpen(); }
    void close() { m_file.close(); }
    const QString& path() const { return m_file.path(); }
    const std::vector<IndexTag>& tags() const { return m_tags; }
    // The tag of that name (any letter case), or -1.
    int tagIndex(QStringView name) const;

    // Maintenance: the caller holds an UpdateLock.
    void insertKey(int tag, const QByteArray& key, std::uint32_t recNo);
    // Removes the entry (key, recNo); nothing when it is not there.
    void removeKey(int tag, const QByteArray& key, std::uint32_t recNo);

    // Tree walking. Keys compare in the tree's stored order (descending tags
    // inverted). `before` must be monotone in that order: true for a prefix of the
    // entries. Each returns false when there is no such entry.
    //
    // The first entry for which `before` is false.
    bool seek(int tag, const std::function<bool(const char* key)>& before, TreePath& path);
    // The last entry for which `after` is false (`after` true for a suffix).
    bool seekBack(int tag, const std::function<bool(const char* key)>& after, TreePath& path);
    // Moves to the next (step = +1) or previous (-1) entry.
    bool step(int tag, TreePath& path, int direction);
    // The key and record number at `path`, after checking that the path still leads
    // from the tag's current root to an entry (false when the tree changed).
    bool entryAt(int tag, const TreePath& path, QByteArray& key, std::uint32_t& recNo);
    // The entry at a position just reached by seek() or step().
    void entry(int tag, const TreePath& path, QByteArray& key, std::uint32_t& recNo) const;
    // The position of the entry (key, recNo); false when it is not in the tag.
    bool locate(int tag, const QByteArray& key, std::uint32_t recNo, TreePath& path);
    // Compares in the tree's stored order over the first `length` bytes of a
    // character key (the whole key for the other types).
    int compareInTreeOrder(int tag, const char* a, const char* b, int length) const;

    // Every entry of a tag in stored order.
    void forEachEntry(int tag,
                      const std::function<void(const char* key, std::uint32_t recNo)>& visit);

    // Upper bound of the entries a sound file of this size can hold; a walk longer
    // than that is going round in circles.
    std::int64_t entryLimit() const;

    // Holds the index-update lock (byte 0xEFFFFFFE of the index file) while keys are
    // changed, or a read lock on it while the tree is walked. Nothing in a file
    // opened exclusively, and nothing when this object already holds one.
    class Lock {
    public:
        Lock(MdxFile& file, LockType type);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        MdxFile* m_file = nullptr;
    };

private:
    struct Block;
    struct TagHeader;

    void load(const std::vector<FieldDef>& fields);
    TagHeader readTagHeader(int tag) const;
    void writeRoot(int tag, std::uint32_t root);
    Block readBlock(int tag, std::uint32_t page) const;
    void writeBlock(const Block& block);
    void remember(const Block& block) const;
    std::uint32_t allocateBlock();
    void descendEdge(int tag, TreePath& path, std::uint32_t page, int direction) const;
    bool checkPath(int tag, const TreePath& path, Block* leaf) const;
    void insertIntoParent(int tag, TreePath& path, std::size_t level, const QByteArray& key,
                          std::uint32_t left, std::uint32_t right);
    void removeFromParent(int tag, const TreePath& path, std::size_t level);
    void touch(int tag, const TagHeader& header);
    [[noreturn]] void damaged(const QString& what) const;

    NativeFile m_file;
    Sharing m_sharing = Sharing::Shared;
    int m_blockSize = 1024;
    int m_pagesPerBlock = 2;
    QString m_tableName;
    bool m_production = false;
    std::vector<FieldDef> m_fields;
    std::vector<IndexTag> m_tags;
    mutable std::int64_t m_knownSize = 0;
    int m_lockDepth = 0;
    mutable std::vector<Block> m_recent; // blocks read or written under the lock
    bool m_dated = false;                // the update date is written
};

} // namespace xbase
