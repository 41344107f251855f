#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace reportkit {

// The one object model of a template: the file reader and writer and the
// designer all work on it. Lengths are millimetres; an object's position is
// relative to the top-left corner of its band.

enum class BandKind {
    ReportTitle,
    PageHeader,
    GroupHeader,
    MasterData,
    GroupFooter,
    ReportSummary,
    PageFooter
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

enum Frame : unsigned {
    FrameNone = 0,
    FrameLeft = 1,
    FrameTop = 2,
    FrameRight = 4,
    FrameBottom = 8,
    FrameAll = 15
};

enum class Orientation { Portrait, Landscape };

struct FontStyle {
    QString family = QStringLiteral("Arial");
    double size = 9.75; // points; 13 pixels at 96 dpi
    bool bold = false;
    bool italic = false;

    bool operator==(const FontStyle&) const = default;
};

struct TextObject {
    QString name;
    double x = 0;
    double y = 0;
    double width = 50;
    double height = 5;
    QString text;
    FontStyle font;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    unsigned frames = FrameNone;
    double frameWidth = 0.5; // points
    bool wordWrap = true;
    bool stretch = false;

    bool operator==(const TextObject&) const = default;
};

struct Band {
    BandKind kind = BandKind::MasterData;
    QString name;
    double height = 10;
    QString dataSource; // master data: the data source read row by row
    QString condition;  // group header: a new group starts where this text changes
    std::vector<TextObject> objects;

    bool operator==(const Band&) const = default;
};

struct PaperSize {
    QString name; // "A4", "A3", "A5", "Letter", "Legal" or empty for a custom size
    double width = 210;
    double height = 297; // of the sheet in portrait

    bool operator==(const PaperSize&) const = default;
    static PaperSize a4() { return {QStringLiteral("A4"), 210, 297}; }
    // Empty name when the name is not one of the known sizes.
    static PaperSize named(const QString& name);
};

struct Page {
    QString name;
    PaperSize paper = PaperSize::a4();
    Orientation orientation = Orientation::Portrait;
    double leftMargin = 10;
    double topMargin = 10;
    double rightMargin = 10;
    double bottomMargin = 10;
    std::vector<Band> bands; // top to bottom as in the designer; this is also print order

    bool operator==(const Page&) const = default;
    double paperWidth() const {
        return orientation == Orientation::Portrait ? paper.width : paper.height;
    }
    double paperHeight() const {
        return orientation == Orientation::Portrait ? paper.height : paper.width;
    }
    double contentWidth() const { return paperWidth() - leftMargin - rightMargin; }
};

struct Template {
    std::vector<Page> pages;

    bool operator==(const Template&) const = default;
    // What the designer starts from: one A4 portrait page, 10 mm margins.
    static Template blank();
    // Every font family used by the text objects, first use first.
    QStringList fontFamilies() const;
};

QString bandKindTitle(BandKind kind);

} // namespace reportkit
