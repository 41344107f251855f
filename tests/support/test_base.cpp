#include "test_base.h"

#include "xbase/table.h"

#include <QDir>
#include <QFile>

namespace test_support {
namespace {

void openTable(xbase::Table& t, const QString& dir, data::TableId id) {
    t.setDirectory(dir);
    t.setTableName(data::layout(id).fileName);
    t.open();
}

} // namespace

void createEmptyBase(const QString& dir) {
    QDir().mkpath(dir);
    for (const data::TableLayout& l : data::allLayouts())
        xbase::Table::create(dir + QLatin1Char('/') + l.fileName, l.fields);
    createPrvs2Index(dir);
}

void createPrvs2Index(const QString& dir) {
    const data::TableLayout& l = data::layout(data::TableId::Prvs2);
    if (QFile::exists(dir + QLatin1Char('/') + l.indexFile))
        return;
    std::vector<std::pair<QString, QString>> tags;
    for (const xbase::FieldDef& f : l.fields) {
        if (f.name == QLatin1String("ID") || f.name.startsWith(QLatin1String("VP_")))
            tags.emplace_back(f.name, f.name);
    }
    xbase::Table t;
    t.setExclusive(true);
    openTable(t, dir, data::TableId::Prvs2);
    t.createIndex(l.indexFile, tags);
}

std::uint32_t appendRecord(const QString& dir, data::TableId id, const Fields& fields) {
    xbase::Table t;
    openTable(t, dir, id);
    t.append();
    for (const auto& [name, value] : fields)
        t.setText(name, value);
    t.post();
    return t.recNo();
}

void deleteRecord(const QString& dir, data::TableId id, std::uint32_t recNo) {
    xbase::Table t;
    openTable(t, dir, id);
    t.go(recNo);
    t.deleteRecord();
}

std::uint32_t physicalRecords(const QString& dir, data::TableId id) {
    xbase::Table t;
    openTable(t, dir, id);
    return t.physicalRecordCount();
}

void createSmallBase(const QString& dir) {
    using data::TableId;
    createEmptyBase(dir);
    appendRecord(dir, TableId::Mo,
                 {{"MCOD", "331001"},
                  {"NAM_MOP", "Государственное бюджетное учреждение здравоохранения «Городская "
                              "больница № 1»"},
                  {"NAM_MOK", "ГБУЗ «ГБ № 1»"},
                  {"OGRN", "1023301234567"},
                  {"INN", "3301001234"},
                  {"KPP", "330101001"},
                  {"ORG", "3"},
                  {"FAM_RUK", "Петрова"},
                  {"IM_RUK", "Анна"},
                  {"OT_RUK", "Сергеевна"},
                  {"OKOPF_", "Государственные бюджетные учреждения субъектов РФ"},
                  {"VEDPRI_", "Министерство здравоохранения"}});
    const char* addresses[] = {"Сарвенск, ул. Ленина, 1", "Сарвенск, ул. Мира, 12",
                               "пос. Озёрный, ул. Садовая, 3"};
    int n = 0;
    for (const char* a : addresses) {
        ++n;
        appendRecord(dir, TableId::Licen,
                     {{"OGRN", "1023301234567"},
                      {"ADDR", QString::fromUtf8(a)},
                      {"N_DOC", QStringLiteral("ЛО-33-01-00%1").arg(n)},
                      {"PRVS_", "Первичная медико-санитарная помощь"},
                      {"ID", QString::number(n)}});
    }
    appendRecord(dir, TableId::Podr,
                 {{"N_PODR", "Поликлиника № 1"}, {"C_PODR", "33010001"}, {"MPCOD", "1"}});
    appendRecord(dir, TableId::Podr,
                 {{"N_PODR", "Стационар"}, {"C_PODR", "33010002"}, {"MPCOD", "2"}});
}

} // namespace test_support
