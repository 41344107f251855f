#include "reportkit/error.h"
#include "reportkit/report.h"
#include "reportkit/template_file.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace reportkit;

namespace {

QString fixture(const char* name) {
    return QStringLiteral(REPORTKIT_FIXTURES "/") + QString::fromLatin1(name);
}

} // namespace

TEST(TemplateFile, LoadsTheSample) {
    const std::optional<Template> t = loadTemplateFile(fixture("sample.fr3"));
    ASSERT_TRUE(t);
    ASSERT_EQ(t->pages.size(), 1u);
    const Page& page = t->pages[0];
    EXPECT_EQ(page.paper, PaperSize::a4());
    EXPECT_EQ(page.leftMargin, 10);
    ASSERT_EQ(page.bands.size(), 5u);
    const Band& rows = page.bands[2];
    EXPECT_EQ(rows.kind, BandKind::MasterData);
    EXPECT_EQ(rows.dataSource, "Lines");
    ASSERT_EQ(rows.objects.size(), 3u);
    const TextObject& name = rows.objects[1];
    EXPECT_EQ(name.text, "[Lines.\"NAME\"]");
    EXPECT_EQ(name.x, 15);
    EXPECT_EQ(name.width, 120);
    EXPECT_EQ(name.frames, unsigned(FrameAll));
    EXPECT_TRUE(name.stretch);
    EXPECT_EQ(name.font, FontStyle()); // Arial, 13 px
    EXPECT_TRUE(page.bands[1].objects[0].font.bold);
    EXPECT_EQ(page.bands[1].objects[0].hAlign, HAlign::Center);
}

TEST(TemplateFile, WritesWhatItReadsAndIsStable) {
    Template t = *loadTemplateFile(fixture("sample.fr3"));
    TextObject odd;
    odd.text = QStringLiteral("  ведущие пробелы,\r\nперевод строки; <&\"'> \t");
    odd.frames = FrameLeft | FrameBottom;
    odd.font = {QStringLiteral("Times New Roman"), 12.5, false, true};
    odd.hAlign = HAlign::Right;
    odd.vAlign = VAlign::Bottom;
    odd.wordWrap = false;
    odd.frameWidth = 1.25;
    t.pages[0].bands[0].objects.push_back(odd);
    Page second;
    second.paper = {QString(), 100.5, 150};
    second.orientation = Orientation::Landscape;
    second.bands.push_back(
        {BandKind::GroupHeader, QStringLiteral("G"), 5, {}, QStringLiteral("[Lines.\"NUM\"]"), {}});
    t.pages.push_back(second);

    const QByteArray once = serializeTemplate(t);
    const Template back = parseTemplate(once, QStringLiteral("x.fr3"));
    EXPECT_EQ(back, t);
    EXPECT_EQ(serializeTemplate(back), once);
}

TEST(TemplateFile, MissingFileFailsSoftly) {
    EXPECT_FALSE(loadTemplateFile(fixture("no-such-template.fr3")));
    Report report;
    report.model().pages[0].name = QStringLiteral("kept");
    EXPECT_FALSE(report.loadFromFile(fixture("no-such-template.fr3")));
    EXPECT_EQ(report.model().pages[0].name, "kept");
    EXPECT_TRUE(report.loadFromFile(fixture("sample.fr3")));
    EXPECT_EQ(report.fileName(), fixture("sample.fr3"));
}

TEST(TemplateFile, DamagedTemplatesNameFileLineAndFault) {
    struct Case {
        const char* file;
        int line;
        const char* fault;
    };
    const Case cases[] = {
        {"not_xml.fr3", 6, "ошибка разметки XML"},
        {"entity.fr3", 5, "DTD и сущности не допускаются"},
        {"bad_number.fr3", 5, "атрибут width=«abc»: нужно число"},
        {"unknown_band.fr3", 4, "атрибут kind=«detail»: допустимо reportTitle"},
        {"wrong_element.fr3", 5, "элемент <picture> здесь недопустим, ожидался <text>"},
        {"no_source.fr3", 5, "не задан источник данных"},
        {"margins.fr3", 3, "поля не оставляют места"},
        {"empty.fr3", 1, "ошибка разметки XML"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        try {
            loadTemplateFile(fixture(c.file));
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            const QString expected = QStringLiteral("Шаблон отчёта «%1», строка %2: ")
                                         .arg(QString::fromLatin1(c.file))
                                         .arg(c.line);
            EXPECT_TRUE(e.message().startsWith(expected)) << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.fault))) << e.what();
        }
    }
}

TEST(TemplateFile, SaveReplacesTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Report.fr3"));
    Report report;
    report.saveToFile(path);
    ASSERT_TRUE(report.loadFromFile(path));
    EXPECT_EQ(report.model(), Template::blank());
    EXPECT_THROW(
        saveTemplateFile(report.model(), dir.filePath(QStringLiteral("no/such/dir/x.fr3"))), Error);
}
