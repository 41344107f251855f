#pragma once

#include "xbase/dbf_format.h"

#include <QString>
#include <vector>

namespace data {

enum class TableId {
    Mo,
    Licen,
    Licen2,
    Podr,
    Podr2,
    Podr3,
    Prvs2,
    Prvs,
    Okopf,
    Vedpr,
    Raion,
    Kladr,
    SpPmo,
    MaxKey,
};

// One table of the base directory: its file name as the program spells it, its
// fields in file order, and the index file that goes with it (empty when none).
struct TableLayout {
    TableId id;
    QString fileName;
    std::vector<xbase::FieldDef> fields;
    QString indexFile;
};

const TableLayout& layout(TableId id);
const std::vector<TableLayout>& allLayouts();

// Widths of the two numeric classes: "small" values are handled as 16-bit
// integers, "int" values as 32-bit ones.
constexpr int kSmallWidth = 4;
constexpr int kIntWidth = 9;

} // namespace data
