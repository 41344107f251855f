#include "xbase/codepage.h"

#include <gtest/gtest.h>

using namespace xbase;

namespace {

struct OemCase {
    const char* text; // UTF-8
    QByteArray oem;

    friend void PrintTo(const OemCase& c, std::ostream* os) { *os << c.text; }
};

class CodePage : public ::testing::TestWithParam<OemCase> {};

TEST_P(CodePage, EncodesAsCp866) {
    EXPECT_EQ(toOem(QString::fromUtf8(GetParam().text)), GetParam().oem);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CodePage,
    ::testing::Values(OemCase{"ABC xyz 123", "ABC xyz 123"},
                      OemCase{"АЯая", QByteArray("\x80\x9F\xA0\xEF")},
                      OemCase{"пр", QByteArray("\xAF\xE0")},
                      OemCase{"Ёё№", QByteArray("\xF0\xF1\xFC")},
                      // Characters cp866 lacks: near equivalents, one byte each.
                      OemCase{"«ОАО»", QByteArray("\"\x8E\x80\x8E\"")}, OemCase{"a—b–c", "a-b-c"},
                      OemCase{"“x” ‘y’", "\"x\" 'y'"}, OemCase{"é€", "e?"},
                      // A character outside the basic plane is one '?', not two.
                      OemCase{"a\xF0\x9F\x98\x80z", "a?z"}));

TEST(CodePageRoundTrip, EveryByteSurvives) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = fromOem(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toOem(text), all);
}

TEST(CodePageRoundTrip, EveryCyrillicLetterSurvives) {
    QString letters;
    for (char16_t u = 0x0410; u <= 0x044F; ++u)
        letters.append(QChar(u));
    letters += QStringLiteral("Ёё");
    EXPECT_EQ(fromOem(toOem(letters)), letters);
}

} // namespace
