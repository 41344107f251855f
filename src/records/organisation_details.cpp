#include "organisation_details.h"

#include "xbase/table.h"

namespace records {

const QStringList& orgTypeTexts() {
    static const QStringList texts{
        QStringLiteral("Головная организация, на территории Сарвенской области"),
        QStringLiteral("Филиал, на территории Сарвенской области"),
        QStringLiteral("Головная организация, на территории иного субъекта РФ"),
        QStringLiteral("Филиал, на территории иного субъекта РФ"),
    };
    return texts;
}

void StoreOrgType(xbase::Table& mo, int position) {
    mo.setInteger(u"ORG", position + 1);
}

int orgTypePosition(const xbase::Table& mo) {
    if (mo.state() != xbase::Table::State::Edit && mo.state() != xbase::Table::State::Insert)
        return -1;
    const int org = mo.integer(u"ORG");
    return org >= 1 && org <= orgTypeTexts().size() ? org - 1 : -1;
}

} // namespace records
