#pragma once

#include <QString>
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

// The legal form and the departmental affiliation, picked from their reference
// books in `baseDir` (OKOPF.DBF, VEDPR.DBF): the chosen row's NAME and ID go
// into OKOPF_ and OKOPF, or VEDPRI_ and VEDPRI, of the record buffer. Nothing
// happens unless the MO record is being edited.
void PickLegalForm(xbase::Table& mo, const QString& baseDir);
void PickAffiliation(xbase::Table& mo, const QString& baseDir);

} // namespace records
