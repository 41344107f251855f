#pragma once

#include <QString>

namespace demo {

// Builds a complete demonstration base directory: every table of the layouts
// filled from the demonstration data, key counters that agree with the keys in
// use, and the index files. `scale` > 0 adds a large organisation's worth of rows
// (scale × 1 000 licence entries and subdivisions, scale × 10 000 works of
// entries and settlements) for benchmarks. Existing tables are overwritten.
// Throws std::runtime_error or xbase::Error.
void buildDemoBase(const QString& directory, int scale = 0);

// The index files supplied with every base, built from the tables in `directory`:
// PRVS2.MDX (tags "ID", "VP_11" … "VP_73"), KLADR.MDX ("OCATD") and MAXKEY.MDX
// ("NAME_VALUE"), each tag keyed on the field of its name.
void createIndexFiles(const QString& directory);

} // namespace demo
