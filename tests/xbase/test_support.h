#pragma once

#include "xbase/dbf_format.h"
#include "xbase/table.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <ostream>
#include <vector>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace xbase::test {

// A fresh directory per test.
class TempDir {
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

std::vector<FieldDef> sampleFields();

// Creates `name` in `dir` with the sample fields and opens a cursor on it.
std::unique_ptr<Table> createAndOpen(const QString& dir, const QString& name,
                                     const std::vector<FieldDef>& fields = sampleFields(),
                                     bool exclusive = false);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace xbase::test
