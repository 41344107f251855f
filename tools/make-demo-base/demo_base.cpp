#include "demo_base.h"

#include "csv_reader.h"
#include "data/table_files.h"
#include "data/table_layouts.h"
#include "xbase/table.h"

#include <QDir>
#include <QFile>
#include <map>
#include <stdexcept>

namespace demo {
namespace {

using data::TableId;
using Tables = std::map<TableId, std::unique_ptr<xbase::Table>>;

CsvTable loadCsv(const QString& fileName) {
    QFile f(QStringLiteral(":/demo/") + fileName);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing demonstration data " + fileName.toStdString());
    return parseCsv(QString::fromUtf8(f.readAll()), fileName);
}

std::unique_ptr<xbase::Table> createTable(const QString& directory, TableId id) {
    const data::TableLayout& l = data::layout(id);
    xbase::Table::create(data::TableFilePath(directory, l.fileName), l.fields);
    auto t = std::make_unique<xbase::Table>();
    t->setDirectory(directory);
    t->setTableName(l.fileName);
    t->setExclusive(true);
    t->open();
    return t;
}

void setValue(xbase::Table& t, const QString& field, const QString& value) {
    if (t.field(field).type == xbase::FieldType::Date)
        t.setDate(field, QDate::fromString(value, Qt::ISODate));
    else
        t.setText(field, value);
}

// The table's rows from its CSV file of the same name, e.g. PODR.dbf from podr.csv.
void loadRows(xbase::Table& t, TableId id) {
    const QString base = QFileInfo(data::layout(id).fileName).completeBaseName().toLower();
    const CsvTable csv = loadCsv(base + QStringLiteral(".csv"));
    for (const QStringList& row : csv.rows) {
        t.append();
        for (qsizetype c = 0; c < csv.header.size(); ++c)
            setValue(t, csv.header[c], row[c]);
        t.post();
    }
}

int maxOf(xbase::Table& t, const QString& field) {
    int m = 0;
    for (t.first(); !t.eof(); t.next())
        m = std::max(m, t.integer(field));
    return m;
}

// A large organisation on top of the demonstration one: the same OGRN, more of
// everything, names and numbers made up from the row number.
void addScaledRows(int scale, Tables& tables) {
    xbase::Table& mo = *tables[TableId::Mo];
    mo.first();
    const QString ogrn = mo.text(u"OGRN");
    const QString mcod = mo.text(u"MCOD");

    xbase::Table& kladr = *tables[TableId::Kladr];
    int settlement = maxOf(kladr, QStringLiteral("ID"));
    for (int i = 0; i < scale * 10000; ++i) {
        ++settlement;
        const int unit = i % 19 + 1;
        kladr.append();
        kladr.setInteger(u"ID", settlement);
        kladr.setText(u"NAME", QStringLiteral("д. Посёлок-%1").arg(settlement));
        kladr.setText(u"CODE", QStringLiteral("33%1%2%300")
                                   .arg(unit, 3, 10, QLatin1Char('0'))
                                   .arg(settlement / 1000 % 1000, 3, 10, QLatin1Char('0'))
                                   .arg(settlement % 1000, 3, 10, QLatin1Char('0')));
        kladr.setInteger(u"OCATD", unit);
        kladr.post();
    }

    xbase::Table& podr = *tables[TableId::Podr];
    const int firstPodr = maxOf(podr, QStringLiteral("MPCOD")) + 1;
    for (int i = 0; i < scale * 1000; ++i) {
        podr.append();
        podr.setText(u"N_PODR", QStringLiteral("Фельдшерско-акушерский пункт № %1").arg(i + 1));
        podr.setText(u"ADDR", QStringLiteral("333%1, Сарвенская обл., д. Посёлок-%2")
                                  .arg(i % 1000, 3, 10, QLatin1Char('0'))
                                  .arg(i + 1));
        podr.setText(u"FAM_RUK", QStringLiteral("Иванова"));
        podr.setText(u"IM_RUK", QStringLiteral("Мария"));
        podr.setText(u"OT_RUK", QStringLiteral("Петровна"));
        podr.setText(u"PHONE",
                     QStringLiteral("8-4922-%1").arg(i % 1000000, 6, 10, QLatin1Char('0')));
        podr.setText(u"OID", QStringLiteral("1.2.643.5.1.13.13.12.2.33.3104.0.%1").arg(200000 + i));
        podr.setText(u"OGRN", ogrn);
        podr.setText(u"CODE_MO", mcod);
        podr.setInteger(u"MPCOD", firstPodr + i);
        podr.post();
    }

    xbase::Table& licen = *tables[TableId::Licen];
    xbase::Table& licen2 = *tables[TableId::Licen2];
    xbase::Table& podr2 = *tables[TableId::Podr2];
    xbase::Table& prvs2 = *tables[TableId::Prvs2];
    const int firstLicen = maxOf(licen, QStringLiteral("ID")) + 1;
    const int works = maxOf(prvs2, QStringLiteral("ID"));
    const int kinds[] = {11, 12, 13, 14, 15, 21, 22, 31, 41, 71};
    for (int i = 0; i < scale * 1000; ++i) {
        const int id = firstLicen + i;
        const int kind = kinds[i % std::size(kinds)];
        const QString doc =
            QStringLiteral("ЛО-33-01-%1").arg(2000 + i / 10, 6, 10, QLatin1Char('0'));
        licen.append();
        licen.setText(u"OGRN", ogrn);
        licen.setText(u"N_DOC", doc);
        licen.setText(u"PRVS_", QStringLiteral("Вид помощи %1").arg(kind));
        licen.setDate(u"D_START", QDate(2015, 1, 1).addDays(i % 3000));
        licen.setText(u"INDEX_J", QStringLiteral("333001"));
        licen.setInteger(u"OCATD", i % 19 + 1);
        licen.setText(u"OCATD_", QStringLiteral("Район %1").arg(i % 19 + 1));
        licen.setInteger(u"COD_NP_", i % 200 + 1);
        licen.setText(u"NP", QStringLiteral("д. Посёлок-%1").arg(i % 200 + 1));
        licen.setText(u"ADDR_J", QStringLiteral("ул. Центральная, д. %1").arg(i % 150 + 1));
        licen.setText(u"ADDR", QStringLiteral("д. Посёлок-%1, ул. Центральная, д. %2")
                                   .arg(i % 200 + 1)
                                   .arg(i % 150 + 1));
        licen.setInteger(u"ID", id);
        licen.setInteger(u"PRVS", kind);
        licen.post();
        for (int w = 0; w < 10; ++w) {
            licen2.append();
            licen2.setInteger(u"ID", id);
            licen2.setText(u"OGRN", ogrn);
            licen2.setText(u"N_DOC", doc);
            licen2.setInteger(u"PRVS", kind);
            licen2.setInteger(u"PRVS2", (i * 10 + w) % works + 1);
            licen2.setText(u"PRVS2_", QStringLiteral("работа %1").arg((i * 10 + w) % works + 1));
            licen2.post();
        }
        podr2.append();
        podr2.setInteger(u"ID", id);
        podr2.setText(u"OGRN", ogrn);
        podr2.setText(u"N_DOC", doc);
        podr2.setInteger(u"PRVS", kind);
        podr2.setInteger(u"MPCOD", firstPodr + i);
        podr2.setText(u"N_PODR", QStringLiteral("Фельдшерско-акушерский пункт № %1").arg(i + 1));
        podr2.setText(u"OID",
                      QStringLiteral("1.2.643.5.1.13.13.12.2.33.3104.0.%1").arg(200000 + i));
        podr2.post();
    }
}

// One counter per table whose keys the program issues, at the highest key in use.
void writeCounters(xbase::Table& maxkey, Tables& tables) {
    const std::pair<TableId, const char*> keyed[] = {
        {TableId::Licen, "ID"}, {TableId::Podr, "MPCOD"}, {TableId::Prvs, "ID"},
        {TableId::Prvs2, "ID"}, {TableId::Okopf, "ID"},   {TableId::Vedpr, "ID"},
        {TableId::Raion, "ID"}, {TableId::Kladr, "ID"}};
    for (const auto& [id, field] : keyed) {
        maxkey.append();
        maxkey.setText(u"NAME_VALUE", data::layout(id).fileName.toUpper());
        maxkey.setInteger(u"INFO_VALUE", maxOf(*tables[id], QString::fromLatin1(field)));
        maxkey.post();
    }
}

// The tags of the index files supplied with a base, each keyed on the field of
// its name. PODR3.MDX is not supplied: the program builds it when it needs it.
QStringList suppliedTags(const data::TableLayout& l) {
    switch (l.id) {
    case TableId::Prvs2: {
        QStringList tags{QStringLiteral("ID")};
        for (const xbase::FieldDef& f : l.fields) {
            if (f.name.startsWith(QLatin1String("VP_")))
                tags << f.name;
        }
        return tags;
    }
    case TableId::Kladr:
        return {QStringLiteral("OCATD")};
    case TableId::MaxKey:
        return {QStringLiteral("NAME_VALUE")};
    default:
        return {};
    }
}

} // namespace

void buildDemoBase(const QString& directory, int scale) {
    if (!QDir().mkpath(directory))
        throw std::runtime_error("cannot create " + directory.toStdString());
    Tables tables;
    for (const data::TableLayout& l : data::allLayouts()) {
        QFile::remove(data::TableFilePath(directory, l.fileName));
        if (!l.indexFile.isEmpty())
            QFile::remove(data::TableFilePath(directory, l.indexFile));
        tables[l.id] = createTable(directory, l.id);
        if (l.id != TableId::Podr3 && l.id != TableId::MaxKey)
            loadRows(*tables[l.id], l.id);
    }
    if (scale > 0)
        addScaledRows(scale, tables);
    writeCounters(*tables[TableId::MaxKey], tables);
    tables.clear();
    createIndexFiles(directory);
}

void createIndexFiles(const QString& directory) {
    for (const data::TableLayout& l : data::allLayouts()) {
        const QStringList fields = suppliedTags(l);
        if (fields.isEmpty())
            continue;
        std::vector<std::pair<QString, QString>> tags;
        for (const QString& f : fields)
            tags.emplace_back(f, f);
        xbase::Table t;
        t.setDirectory(directory);
        t.setTableName(l.fileName);
        t.setExclusive(true);
        t.open();
        t.createIndex(l.indexFile, tags);
    }
}

} // namespace demo
