#pragma once

#include "dbf_format.h"
#include "native_file.h"

#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace xbase {

class MdxFile;
class RecordOrder;
class TagOrder;
struct RecordAccess;

// A cursor over one dBASE table file.
//
// Records marked deleted are never visible. Text is stored in code page 866 and
// handed out as QString (translation on, the default). Field names are matched
// without regard to case. Every failure is an Error naming the file.
//
// Editing: edit() locks the current record (another cursor or process cannot edit
// it until post() or cancel()), append() starts a record that reaches the file on
// post() with the header's count and date and the end mark. A posted edit writes
// the record's bytes only; the header's date follows when the table is closed. Moving the cursor
// while editing posts first. In a table opened exclusively no other cursor can be open, so no
// record locks are taken.
class Table : public QObject {
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Table(QObject* parent = nullptr);
    ~Table() override;

    // Properties; changing them while open is an error.
    void setDirectory(const QString& directory);
    const QString& directory() const { return m_directory; }
    void setTableName(const QString& name);
    const QString& tableName() const { return m_tableName; }
    void setExclusive(bool exclusive);
    bool exclusive() const { return m_exclusive; }
    void setReadOnly(bool readOnly);
    bool readOnly() const { return m_readOnly; }
    // Code-page translation of character fields (cp866 <-> text). On by default.
    void setTranslate(bool translate);
    bool translate() const { return m_translate; }

    // The table file: the directory entry matching the table name without regard
    // to case, or the plain path when none exists.
    QString filePath() const;

    // Index files (.MDX) kept up to date with the table, named relative to its
    // directory and found without regard to case. While closed the list is opened
    // by open(), which fails (leaving the table closed) when one is missing; while
    // open they are opened at once (Error, and nothing changes, when one is
    // missing or damaged). Every tag of every listed file is maintained on post;
    // pack rebuilds them.
    void setIndexFiles(const QStringList& files);
    const QStringList& indexFiles() const { return m_indexFiles; }
    // The tag that orders the cursor, kept as given; it takes effect only when it
    // names (in any letter case) a tag of an open index file, otherwise the order
    // is the file's. Changing it while open cancels the range and moves to the
    // first record in the new order.
    void setActiveTag(const QString& name);
    QString activeTag() const { return m_activeTag; }
    // The tags of the open index files.
    QStringList tagNames() const;
    // Limits the active tag's order to keys from `low` to `high` and moves to the
    // first record in it; without an active tag, nothing. Character tags compare
    // the bounds (converted to cp866 when translating) as key prefixes: a high
    // bound ending in the character U+00FF takes every key that starts with the
    // rest. Numeric tags read the bounds as numbers, date tags as YYYYMMDD; an
    // empty bound leaves that side open.
    void setRange(const QString& low, const QString& high);
    void cancelRange();
    // Moves to the first visible record whose key in the active tag equals `key`
    // (a character key over its whole length, trailing blanks aside; a number for
    // a numeric tag) and returns true; returns false, not moving, when there is
    // none or no active tag.
    bool findKey(const QString& key);
    // Creates (overwrites) the index file `fileName` in the table's directory with
    // one tag: ascending, duplicates allowed, no filter, built from every record,
    // deleted ones included. The table's production flag is left alone; listing the
    // file and selecting the tag are separate calls.
    void createIndex(const QString& fileName, const QString& tagName, const QString& expression);
    // The same with several tags in one file: (name, key expression) pairs.
    void createIndex(const QString& fileName, const std::vector<std::pair<QString, QString>>& tags);

    void open();
    // Discards a pending edit or started record and releases every lock.
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    void first();
    void last();
    void next();
    void prior();
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    // No visible record.
    bool isEmpty() const { return m_recNo == 0 && m_state != State::Insert; }
    // Physical number of the current record (1-based); 0 when there is none and
    // while a started record is not yet posted.
    std::uint32_t recNo() const { return m_state == State::Insert ? 0 : m_recNo; }
    // Moves to a physical record; Error for a number outside the table or a
    // deleted record.
    void go(std::uint32_t recNo);
    // Records in the file, deleted ones included.
    std::uint32_t physicalRecordCount() const;
    // Physical numbers of the visible records, in the cursor's order.
    std::vector<std::uint32_t> visibleRecords() const;
    // The stored image of a record (deletion flag, then the fields) without moving
    // the cursor, for readers such as grids; empty when the file holds no such record.
    QByteArray storedRecord(std::uint32_t recNo) const;
    // The stored images of up to `count` records from `first` on, one after the
    // other, in one read: fewer at the end of the file, none past it.
    QByteArray storedRecords(std::uint32_t first, std::uint32_t count) const;
    // The length of one record image.
    int recordLength() const { return m_header.recordLength; }
    // Re-reads the current record from the file (browse state only).
    void refresh();

    void edit();
    void append();
    void post();
    void cancel();
    // Sets the deletion mark of the current record at once; the cursor moves to
    // the next visible record, or the prior one at the end.
    void deleteRecord();

    // Removes the records marked deleted. Needs exclusive access. Interrupted at
    // any point it loses no record: the next open completes it.
    void pack();

    const std::vector<FieldDef>& fields() const { return m_header.fields; }
    int fieldIndex(QStringView name) const;
    const FieldDef& field(QStringView name) const;

    QString text(QStringView name) const;
    // The value of a numeric field; 0 for a blank one. Error when it does not fit
    // 32 bits or the field is not numeric.
    int integer(QStringView name) const;
    QDate date(QStringView name) const;
    bool isBlank(QStringView name) const;
    void setText(QStringView name, const QString& value);
    void setInteger(QStringView name, qint64 value);
    void setDate(QStringView name, const QDate& value);

    // The current record image: deletion flag, then the fields as stored.
    const QByteArray& recordBuffer() const { return m_buffer; }

    // Creates an empty table file (overwriting an existing one).
    static void create(const QString& path, const std::vector<FieldDef>& fields);

signals:
    // The cursor moved to another record or changed its state.
    void currentChanged();
    // The content of a visible record changed (a posted edit, a field set in the buffer).
    void recordChanged(std::uint32_t recNo);
    // The set or order of visible records changed (open, close, append, delete, pack).
    void layoutReset();

private:
    void requireOpen() const;
    void requireClosed() const;
    void requireWritable() const;
    void requireCurrent() const;
    void checkBrowse();
    QByteArray& editableBuffer();
    std::int64_t recordOffset(std::uint32_t recNo) const;
    std::uint32_t refreshCount() const;
    bool readRecord(std::uint32_t recNo, QByteArray& into) const;
    bool isLive(std::uint32_t recNo, QByteArray& into) const;
    void moveTo(std::uint32_t recNo);
    void scanRecords(const std::function<void(std::uint32_t, const char*)>& visit) const;
    RecordAccess recordAccess() const;
    std::vector<std::unique_ptr<MdxFile>> openIndexFiles(const QStringList& files) const;
    void selectOrder();
    void rebuildIndexes();
    void updateIndexes(const QByteArray* before, const QByteArray& after, std::uint32_t recNo);
    void moveNear(std::uint32_t recNo, const QByteArray& image);
    void lockOrThrow(std::uint64_t offset, const QString& what);
    void withHeaderLocks(const std::function<void()>& work);
    void writeHeaderCountAndDate(std::uint32_t count);
    void releaseRecordLock();
    void stampHeaderDate();
    bool recoverInterruptedPack(const QString& path);
    QString displayPath() const;

    QString m_directory;
    QString m_tableName;
    bool m_exclusive = false;
    bool m_readOnly = false;
    bool m_translate = true;

    NativeFile m_file;
    TableHeader m_header;
    State m_state = State::Inactive;
    mutable std::uint32_t m_count = 0; // records in the file, refreshed from its size
    std::uint32_t m_recNo = 0;
    std::uint32_t m_savedRecNo = 0; // current record before append()
    bool m_bof = true;
    bool m_eof = true;
    std::uint32_t m_lockedRecord = 0;
    bool m_modified = false; // records changed in place since open
    QByteArray m_buffer;
    QByteArray m_original; // the record as edit() found it: its keys leave the indexes

    QStringList m_indexFiles;
    QString m_activeTag;
    std::vector<std::unique_ptr<MdxFile>> m_indexes;
    std::unique_ptr<RecordOrder> m_order;
    TagOrder* m_tagOrder = nullptr; // m_order when a tag is active
    mutable QByteArray m_found;     // the record the order stopped at
    mutable std::uint32_t m_foundRecNo = 0;
};

} // namespace xbase
