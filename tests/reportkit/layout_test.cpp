#include "reportkit/error.h"
#include "sample_report.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace reportkit;

namespace {

const PreparedItem* findItem(const PreparedPage& page, const QString& text) {
    for (const PreparedItem& item : page.items) {
        if (item.plainText() == text) {
            return &item;
        }
    }
    return nullptr;
}

void expectRect(const PreparedItem* item, QRectF expected) {
    ASSERT_NE(item, nullptr);
    EXPECT_NEAR(item->rect.x(), expected.x(), 0.001);
    EXPECT_NEAR(item->rect.y(), expected.y(), 0.001);
    EXPECT_NEAR(item->rect.width(), expected.width(), 0.001);
    EXPECT_NEAR(item->rect.height(), expected.height(), 0.001);
}

const QString longName = QStringLiteral(
    "Сведения о лицензии на осуществление медицинской деятельности (наименование, номер, дата "
    "выдачи и дата окончания действия лицензии на медицинскую деятельность, сведения о "
    "структурных подразделениях медицинской организации (при наличии)");

} // namespace

TEST(Layout, PlacesTheSampleTextsWhereTheTemplateSays) {
    SampleReport s;
    s.addLines(2);
    const PreparedReport r = s.report.prepare();
    ASSERT_EQ(r.pages.size(), 1u);
    const PreparedPage& p = r.pages[0];
    EXPECT_EQ(p.geometry.width, 210);
    EXPECT_EQ(p.geometry.height, 297);
    // Page header at the top margin, then the title, then the rows, the summary,
    // and the page footer at the bottom margin.
    expectRect(findItem(p, "Страница 1 из 1"), {10, 10, 190, 6});
    expectRect(findItem(p, "Уведомление о включении в реестр"), {10, 18, 190, 10});
    expectRect(findItem(p, "1"), {10, 33, 15, 6});
    expectRect(findItem(p, "Строка 1"), {25, 33, 120, 6});
    expectRect(findItem(p, "Значение 1"), {145, 33, 55, 6});
    expectRect(findItem(p, "Строка 2"), {25, 39, 120, 6});
    expectRect(findItem(p, "Руководитель: Иванов Иван Иванович"), {10, 47, 190, 6});
    const QString printed = QStringLiteral("Напечатано ") +
                            QLocale::system().toString(QDate(2021, 5, 17), QLocale::ShortFormat);
    expectRect(findItem(p, printed), {10, 281, 190, 6});
}

TEST(Layout, LongTextStretchesItsWholeRow) {
    SampleReport s;
    s.addLine(QStringLiteral("13"), longName, QStringLiteral("Приложение к строке 13 уведомления"));
    s.addLine(QStringLiteral("14"), QStringLiteral("коротко"), QStringLiteral("x"));
    const PreparedPage p = s.report.prepare().pages.at(0);
    const PreparedItem* name = findItem(p, longName);
    ASSERT_NE(name, nullptr);
    EXPECT_GE(name->lines.size(), 3u);
    EXPECT_GT(name->rect.height(), 12);
    // The other cells of the row take the same height; the next row follows.
    for (const char* other : {"13", "Приложение к строке 13 уведомления"}) {
        const PreparedItem* cell = findItem(p, QString::fromUtf8(other));
        ASSERT_NE(cell, nullptr);
        EXPECT_DOUBLE_EQ(cell->rect.top(), name->rect.top());
        EXPECT_DOUBLE_EQ(cell->rect.height(), name->rect.height());
    }
    EXPECT_DOUBLE_EQ(findItem(p, "коротко")->rect.top(), name->rect.bottom());
    EXPECT_DOUBLE_EQ(findItem(p, "коротко")->rect.height(), 6);
}

TEST(Layout, ManyRowsBreakPagesWithoutSplittingARow) {
    SampleReport s;
    for (int i = 1; i <= 200; ++i) {
        // Every seventh row stretches, so rows differ in height.
        s.addLine(QString::number(i), i % 7 == 0 ? longName : QStringLiteral("Строка %1").arg(i),
                  QStringLiteral("Значение %1").arg(i));
    }
    const PreparedReport r = s.report.prepare();
    ASSERT_GT(r.pages.size(), 3u);
    const double flowBottom = 297 - 10 - 6; // above the page footer
    std::map<int, int> pageOfRow;
    QStringList numbers;
    for (const PreparedPage& page : r.pages) {
        const PreparedItem* header = findItem(
            page, QStringLiteral("Страница %1 из %2").arg(page.number).arg(r.pages.size()));
        EXPECT_NE(header, nullptr) << "page " << page.number;
        for (const PreparedItem& item : page.items) {
            if (item.bandKind != BandKind::MasterData) {
                continue;
            }
            EXPECT_LE(item.rect.bottom(), flowBottom + 0.01);
            const auto [it, fresh] = pageOfRow.emplace(item.bandSerial, page.number);
            EXPECT_EQ(it->second, page.number) << "row split across pages";
            if (item.rect.left() == 10) {
                numbers << item.plainText();
            }
        }
    }
    QStringList expected;
    for (int i = 1; i <= 200; ++i) {
        expected << QString::number(i);
    }
    EXPECT_EQ(numbers, expected);
    // The summary comes once, after the last row.
    EXPECT_NE(findItem(r.pages.back(), "Руководитель: Иванов Иван Иванович"), nullptr);
}

TEST(Layout, BandTallerThanAPageIsCutBetweenLines) {
    SampleReport s;
    QStringList words;
    for (int i = 0; i < 1500; ++i) {
        words << QStringLiteral("слово%1").arg(i);
    }
    s.addLine(QStringLiteral("1"), words.join(' '), QStringLiteral("x"));
    const PreparedReport r = s.report.prepare();
    ASSERT_GE(r.pages.size(), 2u);
    QString joined;
    for (const PreparedPage& page : r.pages) {
        for (const PreparedItem& item : page.items) {
            if (item.bandKind == BandKind::MasterData && item.rect.left() == 25) {
                EXPECT_LE(item.rect.bottom(), 281.01);
                for (const TextLine& line : item.lines) {
                    joined += line.text;
                }
            }
        }
    }
    // Every word once, in order.
    EXPECT_EQ(joined.size(), words.join(' ').size());
    EXPECT_TRUE(joined == words.join(' '));
}

TEST(Layout, GroupHeadersAndFootersFollowTheCondition) {
    SampleReport s;
    Band& rows = s.report.model().pages[0].bands[2];
    Band header{
        BandKind::GroupHeader, QStringLiteral("G"), 5, {}, QStringLiteral("[Lines.\"VALUE\"]"),
        {TextObject{}}};
    header.objects[0].text = QStringLiteral("Группа [Lines.\"VALUE\"]");
    Band footer{BandKind::GroupFooter, QStringLiteral("GF"), 5, {}, {}, {TextObject{}}};
    footer.objects[0].text = QStringLiteral("Конец [Lines.\"VALUE\"] после [Lines.\"NUM\"]");
    Band master = rows;
    auto& bands = s.report.model().pages[0].bands;
    bands.erase(bands.begin() + 2);
    bands.insert(bands.begin() + 2, {header, master, footer});
    s.addLine(QStringLiteral("1"), QStringLiteral("a"), QStringLiteral("A"));
    s.addLine(QStringLiteral("2"), QStringLiteral("b"), QStringLiteral("A"));
    s.addLine(QStringLiteral("3"), QStringLiteral("c"), QStringLiteral("B"));
    QStringList texts;
    const PreparedReport r = s.report.prepare();
    for (const PreparedItem& item : r.pages.at(0).items) {
        if (item.bandKind == BandKind::GroupHeader || item.bandKind == BandKind::GroupFooter ||
            (item.bandKind == BandKind::MasterData && item.rect.left() == 25)) {
            texts << item.plainText();
        }
    }
    EXPECT_EQ(texts, QStringList({"Группа A", "a", "b", "Конец A после 2", "Группа B", "c",
                                  "Конец B после 3"}));
}

TEST(Layout, UnknownSourcesFieldsAndExpressionsAreErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {"[Nope.\"X\"]", "источник данных «Nope» не подключён к отчёту"},
        {"[Lines.\"NOPE\"]", "у источника данных «Lines» нет поля «NOPE»"},
        {"[1+2]", "непонятное выражение [1+2]"},
    };
    for (const auto& [text, fault] : cases) {
        SampleReport s;
        s.report.model().pages[0].bands[0].objects[0].text = QString::fromUtf8(text);
        try {
            s.report.prepare();
            ADD_FAILURE() << text;
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("объект «PageNo»"))) << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(fault))) << e.what();
        }
    }
}

TEST(Layout, EmptySourcePrintsNoRowsAndPageCountIsOne) {
    SampleReport s;
    const PreparedReport r = s.report.prepare();
    ASSERT_EQ(r.pages.size(), 1u);
    for (const PreparedItem& item : r.pages[0].items) {
        EXPECT_NE(item.bandKind, BandKind::MasterData);
    }
}
