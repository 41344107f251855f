// dbfdump: prints a dBase table's header facts, its fields and its records as
// UTF-8 CSV, deleted records included and flagged in the first column. With an
// index file it lists the file's tags, and prints the visible records in the
// order of one tag, optionally within a key range.
#include "xbase/dbf_format.h"
#include "xbase/error.h"
#include "xbase/field_codec.h"
#include "xbase/mdx_file.h"
#include "xbase/native_file.h"
#include "xbase/table.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QtEndian>
#include <cstdio>

namespace {

QString csvCell(const QString& value) {
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) &&
        !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString languageDriverName(std::uint8_t id) {
    switch (id) {
    case 0x26:
    case 0x65:
        return QStringLiteral("cp866");
    case 0xC9:
        return QStringLiteral("cp1251");
    case 0x03:
    case 0x57:
        return QStringLiteral("cp1252");
    case 0x00:
        return QStringLiteral("not set");
    default:
        return QStringLiteral("unknown");
    }
}

struct Options {
    QString path;
    bool header = true;
    bool translate = true;
    std::uint32_t from = 1;
    std::uint32_t to = 0xFFFFFFFFu;
    QString index; // a file name beside the table, or a path
    QString tag;
    QString low;
    QString high;
};

QString keyTypeName(xbase::KeyType t) {
    switch (t) {
    case xbase::KeyType::Character:
        return QStringLiteral("character");
    case xbase::KeyType::Numeric:
        return QStringLiteral("numeric");
    case xbase::KeyType::Date:
        return QStringLiteral("date");
    }
    return {};
}

void listTags(const QString& indexPath, const std::vector<xbase::FieldDef>& fields,
              QTextStream& out) {
    const xbase::MdxFile index = xbase::MdxFile::open(
        indexPath, fields, xbase::FileAccess::ReadOnly, xbase::Sharing::Shared);
    out << "# index: " << QDir::toNativeSeparators(indexPath) << '\n';
    for (const xbase::IndexTag& t : index.tags()) {
        out << "#   tag " << t.name << ": " << keyTypeName(t.keyType) << ' ' << t.keyLength
            << ", key " << t.expression.text();
        if (t.descending)
            out << ", descending";
        if (t.unique)
            out << ", unique";
        out << '\n';
    }
}

// The visible records in the order of the tag, within the range when one is given.
std::vector<std::uint32_t> tagOrder(const Options& o, const QString& indexPath) {
    xbase::Table t;
    const QFileInfo table(o.path);
    t.setDirectory(table.absolutePath());
    t.setTableName(table.fileName());
    t.setReadOnly(true);
    t.setTranslate(o.translate);
    t.setIndexFiles({indexPath});
    t.setActiveTag(o.tag);
    t.open();
    if (!t.tagNames().contains(o.tag, Qt::CaseInsensitive))
        throw xbase::Error(
            QStringLiteral("%1: нет тега %2").arg(QDir::toNativeSeparators(indexPath), o.tag));
    if (!o.low.isEmpty() || !o.high.isEmpty())
        t.setRange(o.low, o.high);
    return t.visibleRecords();
}

int dump(const Options& o, QTextStream& out) {
    xbase::NativeFile file =
        xbase::NativeFile::open(o.path, xbase::FileAccess::ReadOnly, xbase::Sharing::Shared);
    const std::int64_t size = file.size();
    QByteArray head(static_cast<qsizetype>(std::min<std::int64_t>(size, 0xFFFF)), '\0');
    file.read(0, head.data(), head.size());
    const xbase::TableHeader h = xbase::parseHeader(head, size, o.path);
    const std::uint32_t count =
        xbase::TableHeader::recordsInFile(size, h.headerLength, h.recordLength);

    if (o.header) {
        out << "# file: " << QDir::toNativeSeparators(o.path) << '\n';
        out << "# version: 0x" << QString::number(h.version, 16).rightJustified(2, u'0') << '\n';
        out << "# last update: " << h.lastUpdate.toString(Qt::ISODate) << '\n';
        out << "# records: " << count << " (header says " << h.headerRecordCount << ")\n";
        out << "# header length: " << h.headerLength << ", record length: " << h.recordLength
            << '\n';
        out << "# language driver: 0x"
            << QString::number(h.languageDriver, 16).rightJustified(2, u'0') << " ("
            << languageDriverName(h.languageDriver) << ")\n";
        out << "# production index: " << (h.productionIndex ? "yes" : "no") << '\n';
        out << "# fields:\n";
        for (const xbase::FieldDef& f : h.fields) {
            out << "#   " << f.name << ' ' << QChar::fromLatin1(static_cast<char>(f.type)) << ' '
                << f.length;
            if (f.decimals)
                out << '.' << f.decimals;
            out << '\n';
        }
    }
    // A bare file name is looked up beside the table; a path is taken as given.
    const QString indexPath =
        o.index.isEmpty() ? QString()
        : o.index.contains(QLatin1Char('/')) || o.index.contains(QLatin1Char('\\'))
            ? QFileInfo(o.index).absoluteFilePath()
            : xbase::resolveFileName(QFileInfo(o.path).absolutePath(), o.index);
    if (o.header && !indexPath.isEmpty())
        listTags(indexPath, h.fields, out);
    std::vector<std::uint32_t> order;
    if (o.tag.isEmpty()) {
        const std::uint32_t last = std::min(o.to, count);
        for (std::uint32_t r = std::max<std::uint32_t>(o.from, 1); r <= last; ++r)
            order.push_back(r);
    } else {
        order = tagOrder(o, indexPath);
    }
    out << "DELETED";
    for (const xbase::FieldDef& f : h.fields)
        out << ',' << csvCell(f.name);
    out << '\n';

    QByteArray record(h.recordLength, '\0');
    for (std::uint32_t r : order) {
        file.readExact(h.headerLength + static_cast<std::int64_t>(r - 1) * h.recordLength,
                       record.data(), record.size());
        out << (record.at(0) == xbase::kDeletedFlag ? "*" : "");
        for (const xbase::FieldDef& f : h.fields)
            out << ',' << csvCell(xbase::decodeText(f, xbase::fieldBytes(record, f), o.translate));
        out << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dbfdump"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints a dBase table's header, fields and records as UTF-8 CSV."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("table"), QStringLiteral("the .DBF file"));
    const QCommandLineOption noHeader(QStringLiteral("no-header"),
                                      QStringLiteral("Print the CSV only."));
    const QCommandLineOption raw(QStringLiteral("raw"),
                                 QStringLiteral("Do not translate code page 866."));
    const QCommandLineOption records(
        QStringLiteral("records"),
        QStringLiteral("Only records FROM-TO (physical numbers, 1-based)."),
        QStringLiteral("FROM-TO"));
    const QCommandLineOption index(
        QStringLiteral("index"), QStringLiteral("Index file (.MDX) of the table: lists its tags."),
        QStringLiteral("FILE"));
    const QCommandLineOption tag(
        QStringLiteral("tag"),
        QStringLiteral("Print the visible records in the order of this tag of --index."),
        QStringLiteral("NAME"));
    const QCommandLineOption low(QStringLiteral("low"),
                                 QStringLiteral("Lowest key of the range (with --tag)."),
                                 QStringLiteral("KEY"));
    const QCommandLineOption high(
        QStringLiteral("high"),
        QStringLiteral("Highest key of the range (with --tag); a trailing \"\\xFF\" stands for "
                       "the byte 0xFF, which takes every key starting with the rest."),
        QStringLiteral("KEY"));
    parser.addOptions({noHeader, raw, records, index, tag, low, high});
    parser.process(app);

    QTextStream err(stderr);
    if (parser.positionalArguments().size() != 1) {
        err << parser.helpText();
        return 2;
    }
    Options o;
    o.path = parser.positionalArguments().constFirst();
    o.header = !parser.isSet(noHeader);
    o.translate = !parser.isSet(raw);
    if (parser.isSet(records)) {
        const QStringList range = parser.value(records).split(QLatin1Char('-'));
        bool okFrom = false;
        bool okTo = true;
        o.from = range.value(0).toUInt(&okFrom);
        if (range.size() > 1 && !range[1].isEmpty())
            o.to = range[1].toUInt(&okTo);
        else if (range.size() == 1)
            o.to = o.from;
        if (!okFrom || !okTo || range.size() > 2) {
            err << "dbfdump: --records takes FROM-TO, for example 10-20\n";
            return 2;
        }
    }
    o.index = parser.value(index);
    o.tag = parser.value(tag);
    o.low = parser.value(low);
    o.high = parser.value(high);
    if (o.high.endsWith(QLatin1String("\\xFF"))) {
        o.high.chop(4);
        o.high += QChar(0xFF);
    }
    if ((!o.tag.isEmpty() && o.index.isEmpty()) ||
        ((parser.isSet(low) || parser.isSet(high)) && o.tag.isEmpty()) ||
        (!o.tag.isEmpty() && parser.isSet(records))) {
        err << "dbfdump: --tag needs --index, --low and --high need --tag, and --records "
               "does not go with --tag\n";
        return 2;
    }
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    try {
        return dump(o, out);
    } catch (const xbase::Error& e) {
        out.flush();
        err << "dbfdump: " << e.message() << '\n';
        return 1;
    }
}
