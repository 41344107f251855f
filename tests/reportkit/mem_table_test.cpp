#include "reportkit/error.h"
#include "reportkit/mem_table.h"

#include <gtest/gtest.h>

using reportkit::FieldType;
using reportkit::MemTable;

namespace {

MemTable makeTable() {
    MemTable t(QStringLiteral("Result"), {{QStringLiteral("ADRES"), FieldType::Text, 20},
                                          {QStringLiteral("N_DOC"), FieldType::Text, 10},
                                          {QStringLiteral("D_START"), FieldType::Date, 0},
                                          {QStringLiteral("NUM"), FieldType::Integer, 0}});
    t.setCollationLocale(QLocale(QLocale::Russian, QLocale::Russia));
    t.open();
    return t;
}

void add(MemTable& t, const QString& adres, const QString& doc, int num = 0) {
    t.append();
    t.setText(QStringLiteral("ADRES"), adres);
    t.setText(QStringLiteral("N_DOC"), doc);
    t.setInteger(QStringLiteral("NUM"), num);
    t.post();
}

QStringList column(MemTable& t, const QString& field) {
    QStringList out;
    for (t.first(); !t.eof(); t.next()) {
        out << t.valueText(field);
    }
    return out;
}

} // namespace

TEST(MemTable, KeepsRowsInAppendOrderAndWalksThem) {
    MemTable t = makeTable();
    add(t, QStringLiteral("b"), QStringLiteral("1"));
    add(t, QStringLiteral("a"), QStringLiteral("2"));
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_EQ(column(t, QStringLiteral("ADRES")), QStringList({"b", "a"}));
    EXPECT_TRUE(t.eof());
    t.last();
    EXPECT_EQ(t.text(QStringLiteral("adres")), "a"); // names without regard to case
}

TEST(MemTable, SortIsStableOnSeveralFieldsIgnoringCaseInCyrillic) {
    MemTable t = makeTable();
    // Rows equal in both keys (ignoring case) must keep their order: see NUM.
    add(t, QStringLiteral("ярославль"), QStringLiteral("Б"), 1);
    add(t, QStringLiteral("Москва"), QStringLiteral("а"), 2);
    add(t, QStringLiteral("ёлкино"), QStringLiteral("х"), 3);
    add(t, QStringLiteral("москва"), QStringLiteral("А"), 4);
    add(t, QStringLiteral("Ярославль"), QStringLiteral("б"), 5);
    add(t, QStringLiteral("Елизово"), QStringLiteral("х"), 6);
    add(t, QStringLiteral(""), QStringLiteral("х"), 7);
    add(t, QStringLiteral("МОСКВА"), QStringLiteral("а"), 8);
    t.sort({QStringLiteral("ADRES"), QStringLiteral("N_DOC")});
    EXPECT_EQ(column(t, QStringLiteral("NUM")),
              QStringList({"7", "6", "3", "2", "4", "8", "1", "5"}));
}

TEST(MemTable, SortCaseSensitiveWhenAsked) {
    MemTable t = makeTable();
    add(t, QStringLiteral("б"), QStringLiteral("1"), 1);
    add(t, QStringLiteral("Б"), QStringLiteral("1"), 2);
    add(t, QStringLiteral("б"), QStringLiteral("1"), 3);
    t.sort({QStringLiteral("ADRES")}, Qt::CaseSensitive);
    const QStringList order = column(t, QStringLiteral("NUM"));
    // Lower and upper case no longer compare equal: the two "б" rows are together.
    EXPECT_TRUE(order == QStringList({"1", "3", "2"}) || order == QStringList({"2", "1", "3"}))
        << order.join(',').toStdString();
}

TEST(MemTable, SortsDatesAndIntegersByValue) {
    MemTable t = makeTable();
    for (const int n : {10, 9, 100}) {
        t.append();
        t.setInteger(QStringLiteral("NUM"), n);
        t.setDate(QStringLiteral("D_START"), QDate(2020, 1, 1).addDays(-n));
        t.post();
    }
    t.sort({QStringLiteral("NUM")});
    EXPECT_EQ(column(t, QStringLiteral("NUM")), QStringList({"9", "10", "100"}));
    t.sort({QStringLiteral("D_START")});
    EXPECT_EQ(column(t, QStringLiteral("NUM")), QStringList({"100", "10", "9"}));
}

TEST(MemTable, CloseDiscardsEveryRow) {
    MemTable t = makeTable();
    add(t, QStringLiteral("a"), QStringLiteral("1"));
    add(t, QStringLiteral("b"), QStringLiteral("2"));
    t.close();
    EXPECT_FALSE(t.isOpen());
    EXPECT_TRUE(t.eof());
    t.open();
    EXPECT_EQ(t.recordCount(), 0);
    EXPECT_TRUE(t.eof());
}

TEST(MemTable, EditCancelDeleteAndCutToWidth) {
    MemTable t = makeTable();
    add(t, QStringLiteral("a"), QStringLiteral("1234567890ABC"));
    add(t, QStringLiteral("b"), QStringLiteral("2"));
    add(t, QStringLiteral("c"), QStringLiteral("3"));
    t.first();
    EXPECT_EQ(t.text(QStringLiteral("N_DOC")), "1234567890");

    t.edit();
    t.setText(QStringLiteral("ADRES"), QStringLiteral("changed"));
    t.cancel();
    EXPECT_EQ(t.text(QStringLiteral("ADRES")), "a");
    t.edit();
    t.setText(QStringLiteral("ADRES"), QStringLiteral("kept"));
    t.next(); // moving posts
    EXPECT_EQ(column(t, QStringLiteral("ADRES")), QStringList({"kept", "b", "c"}));

    t.append();
    t.cancel();
    EXPECT_EQ(t.recordCount(), 3);

    t.first();
    t.next();
    t.deleteRecord();
    EXPECT_EQ(t.text(QStringLiteral("ADRES")), "c");
    t.deleteRecord();
    EXPECT_EQ(t.text(QStringLiteral("ADRES")),
              "kept"); // the last row went: the new last is current
    EXPECT_EQ(column(t, QStringLiteral("ADRES")), QStringList({"kept"}));
}

TEST(MemTable, ValuesAsTextAndMisuseIsAnError) {
    MemTable t = makeTable();
    t.append();
    t.setDate(QStringLiteral("D_START"), QDate(2021, 3, 4));
    t.post();
    EXPECT_EQ(t.valueText(QStringLiteral("D_START")),
              QLocale::system().toString(QDate(2021, 3, 4), QLocale::ShortFormat));
    EXPECT_EQ(t.valueText(QStringLiteral("NUM")), "");
    EXPECT_EQ(t.valueText(QStringLiteral("ADRES")), "");
    EXPECT_THROW(t.valueText(QStringLiteral("NOPE")), reportkit::Error);
    EXPECT_THROW(t.setText(QStringLiteral("ADRES"), QStringLiteral("x")),
                 reportkit::Error); // not editing
    t.edit();
    EXPECT_THROW(t.setText(QStringLiteral("NUM"), QStringLiteral("x")), reportkit::Error);
    t.close();
    EXPECT_THROW(t.append(), reportkit::Error);
}

TEST(MemTable, WalksBackAndRemovesTheRowBeforeTheCurrentOne) {
    // Removing repeats keeps the last row of each run: on a repeat, step back,
    // delete, and carry on from the row that follows.
    MemTable t = makeTable();
    for (const char* adres : {"a", "a", "a", "b", "c", "c"}) {
        add(t, QString::fromLatin1(adres), QStringLiteral("1"));
    }
    t.first();
    EXPECT_EQ(t.recNo(), 0);
    EXPECT_TRUE(t.bof());
    QString remembered = t.text(QStringLiteral("ADRES"));
    for (t.next(); !t.eof();) {
        const QString current = t.text(QStringLiteral("ADRES"));
        if (current == remembered) {
            t.prior();
            t.deleteRecord(); // the repeat we were on is current again
            t.next();
        } else {
            remembered = current;
            t.next();
        }
    }
    EXPECT_EQ(column(t, QStringLiteral("ADRES")), QStringList({"a", "b", "c"}));
    t.last();
    t.prior();
    EXPECT_EQ(t.recNo(), 1);
    t.edit();
    t.clearValue(QStringLiteral("ADRES"));
    t.post();
    EXPECT_TRUE(t.isNull(QStringLiteral("ADRES")));
    EXPECT_FALSE(t.isNull(QStringLiteral("N_DOC")));
}
