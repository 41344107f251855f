#pragma once

#include "data/table_layouts.h"

#include <QString>
#include <cstdint>
#include <map>

namespace test_support {

using Fields = std::map<QString, QString>;

// Creates every table of the layouts, empty, in `dir`, and PRVS2.MDX.
void createEmptyBase(const QString& dir);

// Creates PRVS2.MDX (the tag "ID" and one tag per care-type flag) unless it exists.
void createPrvs2Index(const QString& dir);

// Appends a record with the given field texts; returns its record number.
std::uint32_t appendRecord(const QString& dir, data::TableId id, const Fields& fields);

// Sets the deletion mark of a record.
void deleteRecord(const QString& dir, data::TableId id, std::uint32_t recNo);

// A small base: one organisation, three licence entries, two subdivisions.
void createSmallBase(const QString& dir);

// Records in a table file, deleted ones included.
std::uint32_t physicalRecords(const QString& dir, data::TableId id);

} // namespace test_support
