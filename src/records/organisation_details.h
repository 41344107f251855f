#pragma once

#include <QStringList>

namespace xbase {
class Table;
}

namespace records {

// The entries of the organisation-type list, for ORG 1 to 4.
const QStringList& orgTypeTexts();

// ORG := position of the selected entry + 1; no selection (-1) gives 0.
void StoreOrgType(xbase::Table& mo, int position);

// The entry to select for the MO record's ORG: ORG - 1, or -1 (no selection) for
// ORG 0, a value outside 1 to 4, or a record that is not being edited.
int orgTypePosition(const xbase::Table& mo);

} // namespace records
