#pragma once

#include "report_template.h"
#include "text_layout.h"

#include <QRectF>
#include <QStringList>
#include <vector>

namespace reportkit {

// A prepared report: pages of positioned text, measured once, drawn or written
// by every output the same way. Rectangles are millimetres from the sheet's
// top-left corner.

struct PreparedItem {
    QRectF rect;
    std::vector<TextLine> lines;
    FontStyle font;
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Top;
    unsigned frames = FrameNone;
    double frameWidth = 0.5;
    BandKind bandKind = BandKind::MasterData;
    int bandSerial = 0; // items of one printed band share it

    QString plainText() const; // the lines joined, line breaks of the text kept
};

struct PageGeometry {
    double width = 210;
    double height = 297;
    double leftMargin = 10;
    double topMargin = 10;
    double rightMargin = 10;
    double bottomMargin = 10;
    Orientation orientation = Orientation::Portrait;
    QString paperName = QStringLiteral("A4");

    bool operator==(const PageGeometry&) const = default;
};

struct PreparedPage {
    int number = 0; // 1-based
    PageGeometry geometry;
    std::vector<PreparedItem> items; // in the order the bands were placed
};

struct DocumentInfo {
    int pageCount = 0; // 0 when the pages are not counted in advance
    QStringList fontFamilies;
};

// Receives the pages of a report one at a time, so that an output can write a
// page and forget it.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual void beginDocument(const DocumentInfo& info) { (void)info; }
    virtual void addPage(const PreparedPage& page) = 0;
    virtual void endDocument() {}
};

// Every page kept, for the preview and for outputs chosen afterwards.
struct PreparedReport : PageSink {
    DocumentInfo info;
    std::vector<PreparedPage> pages;

    void beginDocument(const DocumentInfo& i) override;
    void addPage(const PreparedPage& page) override;
    void replay(PageSink& sink) const;
};

} // namespace reportkit
