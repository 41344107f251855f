#include "test_support.h"
#include "xbase/error.h"
#include "xbase/field_codec.h"
#include "xbase/index_key.h"
#include "xbase/key_expression.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>

using namespace xbase;

namespace {

// Fields at their record offsets, as a table header lays them out.
std::vector<FieldDef> fields() {
    std::vector<FieldDef> f = {FieldDef::character("OGRN", 15), FieldDef::numeric("MPCOD", 9),
                               FieldDef::numeric("PRVS_ID", 4), FieldDef::character("NAME", 10),
                               FieldDef::date("BORN"),          FieldDef::numeric("PRICE", 8, 2),
                               FieldDef::logical("FLAG")};
    int offset = 1;
    for (FieldDef& d : f) {
        d.offset = offset;
        offset += d.length;
    }
    return f;
}

QByteArray record(const std::map<QString, QString>& values) {
    const auto fs = fields();
    QByteArray r(fs.back().offset + fs.back().length, ' ');
    for (const auto& [name, value] : values) {
        const auto f =
            std::find_if(fs.begin(), fs.end(), [&](const FieldDef& d) { return d.name == name; });
        encodeText(*f, r, value, true, QStringLiteral("T"));
    }
    return r;
}

QByteArray hex(const char* text) {
    QByteArray bytes = QByteArray::fromHex(text);
    return bytes.leftJustified(kNumericKeyLength, '\0');
}

QByteArray dateKey(double julian) {
    QByteArray key(8, '\0');
    quint64 bits = 0;
    std::memcpy(&bits, &julian, sizeof bits);
    qToLittleEndian<quint64>(bits, key.data());
    return key;
}

struct ExpressionCase {
    const char* expression;
    std::map<QString, QString> values;
    KeyType type;
    QByteArray key;
};

class Expressions : public ::testing::TestWithParam<ExpressionCase> {};

TEST_P(Expressions, GiveTheKeyBytes) {
    const ExpressionCase& c = GetParam();
    const KeyExpression e = KeyExpression::compile(QString::fromUtf8(c.expression), fields());
    EXPECT_EQ(e.type(), c.type);
    EXPECT_EQ(e.length(), c.key.size());
    EXPECT_EQ(e.evaluate(record(c.values)).toHex(' '), c.key.toHex(' '));
}

const QByteArray kPodr3Key = QByteArray("1023301234567  ") + "    42" + "11";

INSTANTIATE_TEST_SUITE_P(
    Cases, Expressions,
    ::testing::Values(
        ExpressionCase{"Substr(OGRN,1,15)+Str(MPCOD,6,0)+Str(PRVS_ID,2,0)",
                       {{"OGRN", "1023301234567"}, {"MPCOD", "42"}, {"PRVS_ID", "11"}},
                       KeyType::Character,
                       kPodr3Key},
        ExpressionCase{"SUBSTR ( ogrn , 1 , 15 ) + str(mpcod, 6) + STR(Prvs_Id,2,0)",
                       {{"OGRN", "1023301234567"}, {"MPCOD", "42"}, {"PRVS_ID", "11"}},
                       KeyType::Character,
                       kPodr3Key},
        ExpressionCase{"Str(MPCOD,2,0)", {{"MPCOD", "123"}}, KeyType::Character, "**"},
        ExpressionCase{"Str(MPCOD,6,0)", {{"MPCOD", "-5"}}, KeyType::Character, "    -5"},
        ExpressionCase{"Str(MPCOD)", {{"MPCOD", "42"}}, KeyType::Character, "        42"},
        ExpressionCase{"Str(MPCOD,4)", {}, KeyType::Character, "   0"},
        ExpressionCase{"Str(PRICE,6,2)", {{"PRICE", "3.45"}}, KeyType::Character, "  3.45"},
        ExpressionCase{"Str(PRICE,5,1)", {{"PRICE", "2.25"}}, KeyType::Character, "  2.3"},
        ExpressionCase{"Str(PRICE,4,0)", {{"PRICE", "-2.5"}}, KeyType::Character, "  -3"},
        ExpressionCase{"Str(PRICE,3,1)", {{"PRICE", "-2.5"}}, KeyType::Character, "***"},
        ExpressionCase{"Upper(NAME)",
                       {{"NAME", "ёлка abc"}},
                       KeyType::Character,
                       QByteArray("\xF0\x8B\x8A\x80 ABC  ")},
        ExpressionCase{"Substr(NAME,3)", {{"NAME", "abcdef"}}, KeyType::Character, "cdef    "},
        ExpressionCase{"Substr(NAME,2,3)", {{"NAME", "abcdef"}}, KeyType::Character, "bcd"},
        ExpressionCase{"Substr(NAME,9,5)", {{"NAME", "abcdefghij"}}, KeyType::Character, "ij"},
        ExpressionCase{"NAME+'-'+Substr(OGRN,1,2)",
                       {{"NAME", "x"}, {"OGRN", "77"}},
                       KeyType::Character,
                       "x         -77"},
        ExpressionCase{"Dtos(BORN)", {{"BORN", "20240131"}}, KeyType::Character, "20240131"},
        ExpressionCase{
            "Dtos(BORN)+NAME", {{"NAME", "a"}}, KeyType::Character, "        a         "},
        ExpressionCase{"(NAME)", {{"NAME", "a"}}, KeyType::Character, "a         "},
        ExpressionCase{"PODR3->NAME", {{"NAME", "b"}}, KeyType::Character, "b         "},
        ExpressionCase{"MPCOD", {{"MPCOD", "42"}}, KeyType::Numeric, hex("362942")},
        ExpressionCase{"MPCOD", {}, KeyType::Numeric, hex("3401")},
        ExpressionCase{
            "MPCOD+PRVS_ID", {{"MPCOD", "42"}, {"PRVS_ID", "11"}}, KeyType::Numeric, hex("362953")},
        ExpressionCase{"Val(OGRN)", {{"OGRN", "  12ab"}}, KeyType::Numeric, hex("362912")},
        ExpressionCase{"Val(NAME)", {{"NAME", "-3.5x"}}, KeyType::Numeric, hex("35D135")},
        ExpressionCase{"Val(NAME)", {{"NAME", "abc"}}, KeyType::Numeric, hex("3401")},
        ExpressionCase{"PRICE", {{"PRICE", "12.5"}}, KeyType::Numeric, hex("36511250")},
        ExpressionCase{"BORN", {{"BORN", "20000101"}}, KeyType::Date, dateKey(2451545.0)},
        ExpressionCase{"BORN", {}, KeyType::Date, dateKey(1.0e100)}));

struct ErrorCase {
    const char* expression;
    int position;
    const char* fault;
};

class ExpressionErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ExpressionErrors, NameTheExpressionAndThePosition) {
    const ErrorCase& c = GetParam();
    try {
        KeyExpression::compile(QString::fromUtf8(c.expression), fields());
        FAIL() << "compiled";
    } catch (const Error& e) {
        const QString m = e.message();
        EXPECT_TRUE(m.contains(QStringLiteral("«%1»").arg(QString::fromUtf8(c.expression))))
            << m.toStdString();
        EXPECT_TRUE(m.contains(QStringLiteral("позиция %1:").arg(c.position))) << m.toStdString();
        EXPECT_TRUE(m.contains(QString::fromUtf8(c.fault))) << m.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExpressionErrors,
                         ::testing::Values(ErrorCase{"Substr(OGRN,1", 14, "ожидается «)»"},
                                           ErrorCase{"Foo(OGRN)", 1, "неизвестная функция FOO"},
                                           ErrorCase{"OGRN+NOSUCH", 6, "нет поля NOSUCH"},
                                           ErrorCase{"OGRN+MPCOD", 6, "разных типов"},
                                           ErrorCase{"Str(OGRN,6)", 5, "неверного типа"},
                                           ErrorCase{"Substr(OGRN,MPCOD,2)", 13, "целое число"},
                                           ErrorCase{"Upper(OGRN,NAME)", 1, "число аргументов"},
                                           ErrorCase{"OGRN $", 6, "лишний текст"},
                                           ErrorCase{"'abc", 1, "не закрыта"},
                                           ErrorCase{"FLAG", 1, "этого типа"},
                                           ErrorCase{"Substr(NAME,1,0)", 1, "длина ключа 0"},
                                           ErrorCase{"BORN+BORN", 1, "даты нельзя складывать"},
                                           ErrorCase{"", 1, "обрывается"}));

struct BcdCase {
    double value;
    const char* bytes;
};

class NumericKeys : public ::testing::TestWithParam<BcdCase> {};

TEST_P(NumericKeys, AreWrittenInTheDbaseFormAndReadBack) {
    const BcdCase& c = GetParam();
    const QByteArray key = encodeNumericKey(c.value);
    EXPECT_EQ(key.toHex(' '), hex(c.bytes).toHex(' '));
    EXPECT_DOUBLE_EQ(decodeNumericKey(key.constData()), c.value);
}

INSTANTIATE_TEST_SUITE_P(Cases, NumericKeys,
                         ::testing::Values(BcdCase{0, "3401"}, BcdCase{1, "352910"},
                                           BcdCase{42, "362942"}, BcdCase{-5, "35A950"},
                                           BcdCase{100, "372910"}, BcdCase{123456, "3A29123456"},
                                           BcdCase{12.5, "36511250"}, BcdCase{0.05, "335150"},
                                           BcdCase{999999999, "3D299999999990"}));

TEST(NumericKeys, SortByValueWhateverDigitCountAnotherWriterUsed) {
    const std::vector<double> values = {-123456, -100, -42, -5, -0.5, 0,
                                        0.05,    0.5,  1,   42, 100,  123456};
    for (std::size_t i = 0; i + 1 < values.size(); ++i) {
        const QByteArray a = encodeNumericKey(values[i]);
        const QByteArray b = encodeNumericKey(values[i + 1]);
        EXPECT_LT(compareNumericKeys(a.constData(), b.constData()), 0) << values[i];
        EXPECT_GT(compareNumericKeys(b.constData(), a.constData()), 0) << values[i];
    }
    // 42 with the significant-digit count (CodeBase style) and zero as xBaseJ writes it.
    EXPECT_EQ(compareNumericKeys(hex("360942").constData(), encodeNumericKey(42).constData()), 0);
    EXPECT_EQ(compareNumericKeys(hex("3510").constData(), encodeNumericKey(0).constData()), 0);
}

TEST(DateKeys, HoldTheJulianDayAndSortBlankLast) {
    EXPECT_EQ(encodeDateKey(QDate(2000, 1, 1)), dateKey(2451545.0));
    EXPECT_EQ(encodeDateKey(QDate(1999, 12, 31)), dateKey(2451544.0));
    EXPECT_EQ(encodeDateKey(QDate(2024, 1, 31)), dateKey(2460341.0));
    EXPECT_EQ(decodeDateKey(dateKey(2460341.0).constData()), QDate(2024, 1, 31));
    const QByteArray blank = encodeDateKey(QDate());
    EXPECT_GT(compareDateKeys(blank.constData(), encodeDateKey(QDate(9999, 12, 31)).constData()),
              0);
    // Byte-wise the little-endian doubles would sort wrong; by value they do not.
    EXPECT_LT(compareDateKeys(encodeDateKey(QDate(1999, 12, 31)).constData(),
                              encodeDateKey(QDate(2000, 1, 1)).constData()),
              0);
}

} // namespace
