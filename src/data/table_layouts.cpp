#include "table_layouts.h"

#include <stdexcept>

namespace data {
namespace {

using xbase::FieldDef;

FieldDef c(const char* name, int width) {
    return FieldDef::character(QString::fromLatin1(name), width);
}
FieldDef small(const char* name) {
    return FieldDef::numeric(QString::fromLatin1(name), kSmallWidth);
}
FieldDef integer(const char* name) {
    return FieldDef::numeric(QString::fromLatin1(name), kIntWidth);
}
FieldDef d(const char* name) {
    return FieldDef::date(QString::fromLatin1(name));
}

std::vector<FieldDef> prvs2Fields() {
    std::vector<FieldDef> f{c("M", 1), small("ID"), c("NAME", 135)};
    for (const char* kind : {"11", "12", "13", "14", "15", "21", "22", "23", "24", "31", "32", "33",
                             "34", "35", "41", "42", "71", "72", "73"})
        f.push_back(c((QByteArray("VP_") + kind).constData(), 1));
    return f;
}

std::vector<TableLayout> makeLayouts() {
    return {
        {TableId::Mo,
         QStringLiteral("MO.DBF"),
         {c("MCOD", 6), c("NAM_MOP", 250), c("NAM_MOK", 250), c("INN", 12), c("OGRN", 15),
          c("KPP", 9), small("ORG"), c("FAM_RUK", 40), c("IM_RUK", 40), c("OT_RUK", 40),
          c("PHONE", 40), c("FAX", 40), c("E_MAIL", 50), integer("OKOPF"), c("OKOPF_", 80),
          c("VEDPRI_", 41), small("VEDPRI")},
         {}},
        {TableId::Licen,
         QStringLiteral("LICEN.DBF"),
         {c("OGRN", 15), c("ADDR", 250), c("N_DOC", 20), c("PRVS_", 90), d("D_START"), d("DATA_E"),
          c("INDEX_J", 6), integer("OCATD"), c("OCATD_", 30), small("COD_NP_"), c("COD_NP", 13),
          c("NP", 30), c("ADDR_J", 250), integer("ID"), small("PRVS")},
         {}},
        {TableId::Licen2,
         QStringLiteral("LICEN2.DBF"),
         {integer("ID"), c("OGRN", 15), c("N_DOC", 20), small("PRVS"), small("PRVS2"),
          c("PRVS2_", 135)},
         {}},
        {TableId::Podr,
         QStringLiteral("PODR.dbf"),
         {c("N_PODR", 250), c("C_PODR", 8), c("ADDR", 250), c("FAM_RUK", 40), c("IM_RUK", 40),
          c("OT_RUK", 40), c("PHONE", 40), c("OID", 50), c("OGRN", 15), c("CODE_MO", 6),
          integer("MPCOD"), c("M", 1)},
         {}},
        {TableId::Podr2,
         QStringLiteral("PODR2.DBF"),
         {integer("ID"), c("OGRN", 15), c("N_DOC", 20), small("PRVS"), integer("MPCOD"),
          c("N_PODR", 250), c("OID", 50)},
         {}},
        {TableId::Podr3,
         QStringLiteral("PODR3.DBF"),
         {c("OGRN", 15), c("CODE_MO", 6), integer("MPCOD"), small("PRVS_ID"), c("PRVS_NAME", 90),
          small("PRVS2_ID"), c("PRVS2_NAME", 135)},
         QStringLiteral("PODR3.MDX")},
        {TableId::Prvs2, QStringLiteral("PRVS2.DBF"), prvs2Fields(), QStringLiteral("PRVS2.MDX")},
        {TableId::Prvs, QStringLiteral("PRVS.DBF"), {small("ID"), c("NAME", 90)}, {}},
        {TableId::Okopf, QStringLiteral("OKOPF.DBF"), {integer("ID"), c("NAME", 120)}, {}},
        {TableId::Vedpr, QStringLiteral("VEDPR.DBF"), {small("ID"), c("NAME", 60)}, {}},
        {TableId::Raion, QStringLiteral("RAION.DBF"), {integer("ID"), c("NAME", 30)}, {}},
        {TableId::Kladr,
         QStringLiteral("KLADR.DBF"),
         {integer("ID"), c("NAME", 30), c("CODE", 13), integer("OCATD")},
         QStringLiteral("KLADR.MDX")},
        {TableId::SpPmo,
         QStringLiteral("SP_PMO.DBF"),
         {c("OGRN", 15), c("CODE_MO", 6), c("C_PODR", 8), c("N_PODR", 250), c("ADDR", 250),
          c("FAM_RUK", 40), c("IM_RUK", 40), c("OT_RUK", 40), c("PHONE", 40), c("OID", 50)},
         {}},
        {TableId::MaxKey,
         QStringLiteral("MAXKEY.DBF"),
         {c("NAME_VALUE", 20), integer("INFO_VALUE")},
         QStringLiteral("MAXKEY.MDX")},
    };
}

} // namespace

const std::vector<TableLayout>& allLayouts() {
    static const std::vector<TableLayout> layouts = makeLayouts();
    return layouts;
}

const TableLayout& layout(TableId id) {
    for (const TableLayout& l : allLayouts()) {
        if (l.id == id)
            return l;
    }
    throw std::logic_error("unknown table id");
}

} // namespace data
