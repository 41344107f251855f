#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace xbase {

// What an order needs of its table.
struct RecordAccess {
    // Whole records in the file now (another process may have appended).
    std::function<std::uint32_t()> count;
    // Reads a record (the table keeps the image for the move that usually
    // follows); true when it exists and is not marked deleted.
    std::function<bool(std::uint32_t recNo)> readLive;
    // The live records in file order.
    std::function<std::vector<std::uint32_t>()> liveRecords;
};

// The order in which a cursor visits the visible records: file order, or the order
// of an index tag within a key range. Each call returns the physical number of a
// visible record, or 0 when there is none.
class RecordOrder {
public:
    virtual ~RecordOrder() = default;
    virtual std::uint32_t first() = 0;
    virtual std::uint32_t last() = 0;
    // The neighbours of record `recNo`, whose image the cursor holds.
    virtual std::uint32_t next(std::uint32_t recNo, const QByteArray& image) = 0;
    virtual std::uint32_t prior(std::uint32_t recNo, const QByteArray& image) = 0;
    virtual std::vector<std::uint32_t> visibleRecords() = 0;
};

// Record-number order.
std::unique_ptr<RecordOrder> makeNaturalOrder(RecordAccess access);

} // namespace xbase
