#include "test_support.h"

#include <QFile>
#include <stdexcept>

namespace xbase::test {

TempDir::TempDir() {
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary directory");
}

std::vector<FieldDef> sampleFields() {
    return {FieldDef::character("NAME", 20),  FieldDef::numeric("ID", 9),
            FieldDef::numeric("SMALL", 4),    FieldDef::date("BORN"),
            FieldDef::numeric("PRICE", 8, 2), FieldDef::logical("OK")};
}

std::unique_ptr<Table> createAndOpen(const QString& dir, const QString& name,
                                     const std::vector<FieldDef>& fields, bool exclusive) {
    Table::create(dir + QLatin1Char('/') + name, fields);
    auto t = std::make_unique<Table>();
    t->setDirectory(dir);
    t->setTableName(name);
    t->setExclusive(exclusive);
    t->open();
    return t;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace xbase::test
