#pragma once

#include "mdx_file.h"
#include "record_order.h"

#include <QString>

namespace xbase {

// The order of one index tag, optionally limited to a key range.
//
// Bounds and search keys are given as text: for a character tag converted to the
// stored code page (`translate`) and compared as a prefix of that many bytes, a
// trailing character U+00FF standing for the byte 0xFF that sorts after every
// other; for a numeric tag read as a number; for a date tag as YYYYMMDD. An empty
// bound leaves that side open.
//
// Every call re-reads the tree; the position of the last record returned is kept
// and checked against the file, so a walk costs one descent per step.
class TagOrder : public RecordOrder {
public:
    TagOrder(MdxFile& file, int tag, RecordAccess access, bool translate);

    void setRange(const QString& low, const QString& high);
    void cancelRange();
    // The first visible record whose key equals `key` (a character key compared
    // over its whole length, trailing blanks aside), or 0.
    std::uint32_t find(const QString& key);

    std::uint32_t first() override;
    std::uint32_t last() override;
    std::uint32_t next(std::uint32_t recNo, const QByteArray& image) override;
    std::uint32_t prior(std::uint32_t recNo, const QByteArray& image) override;
    std::vector<std::uint32_t> visibleRecords() override;

private:
    const IndexTag& tag() const { return m_file.tags()[static_cast<std::size_t>(m_tag)]; }
    QByteArray bound(const QString& text) const;
    bool lowOk(const char* key) const;
    bool highOk(const char* key) const;
    bool beforeRange(const char* key) const;
    bool afterRange(const char* key) const;
    bool seekRangeStart();
    bool seekRangeEnd();
    // True when m_path is now on the entry of record `recNo` (its key in
    // `entryKey`); otherwise m_path is on the first entry with a key not below the
    // record's (`found` false: none) and `entryKey` is empty.
    bool position(std::uint32_t recNo, const QByteArray& image, bool& found, QByteArray& entryKey);
    // Walks from m_path in `direction` over the entries in range (equal to
    // `target` when given) and hands each live record to `take` until it says stop.
    // Returns the record it stopped at, or 0. Keys must not go back past `from`
    // (the entry the walk stepped off) or each other: that is a damaged tree.
    std::uint32_t walk(int direction, const QByteArray* target,
                       const std::function<bool(std::uint32_t)>& take, const QByteArray& from = {});
    std::uint32_t walkToVisible(int direction, const QByteArray* target = nullptr,
                                const QByteArray& from = {});

    MdxFile& m_file;
    int m_tag;
    RecordAccess m_access;
    bool m_translate;
    QByteArray m_low;
    QByteArray m_high;
    TreePath m_path;
    // The entry m_path was left on by the last call that returned a record.
    QByteArray m_lastKey;
    std::uint32_t m_lastRecNo = 0;
};

} // namespace xbase
