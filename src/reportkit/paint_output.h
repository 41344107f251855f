#pragma once

#include "prepared.h"
#include "text_layout.h"

#include <QString>
#include <memory>

class QPainter;
class QPagedPaintDevice;
class QPageLayout;
class QRectF;

namespace reportkit {

// Draws a page with the painter's unit being one dot (1/1200 inch) from the
// sheet's top-left corner: scale the painter by device dpi / 1200 first.
void paintPage(QPainter& painter, const PreparedPage& page, TextMeasurer& measurer);
constexpr double kDotsPerInch = 1200;

// The frame lines of a rectangle (Frame flags) with the painter's pen.
void drawFrameLines(QPainter& painter, const QRectF& rect, unsigned frames);

QPageLayout pageLayoutOf(const PageGeometry& geometry);

// Draws the pages onto a paged device (a printer or a PDF writer), one sheet
// each, each sheet with its own size and orientation.
class PagedOutput : public PageSink {
public:
    explicit PagedOutput(QPagedPaintDevice& device);
    ~PagedOutput() override;

    void addPage(const PreparedPage& page) override;
    void endDocument() override;

private:
    QPagedPaintDevice& m_device;
    std::unique_ptr<QPainter> m_painter;
    TextMeasurer m_measurer;
};

// A PDF file with the fonts embedded. The file is replaced only when the whole
// document has been written; Error when it cannot be written.
class PdfOutput : public PageSink {
public:
    explicit PdfOutput(const QString& path, const QString& title = QString());
    ~PdfOutput() override;

    void beginDocument(const DocumentInfo& info) override;
    void addPage(const PreparedPage& page) override;
    void endDocument() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace reportkit
