#include "paint_output.h"

#include "error.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace reportkit {

namespace {

double dots(double mm) {
    return mm * kDotsPerMm;
}

void paintFrames(QPainter& painter, const PreparedItem& item, const QRectF& r) {
    if (item.frames == FrameNone) {
        return;
    }
    QPen pen(Qt::black);
    pen.setWidthF(item.frameWidth * kDotsPerInch / 72);
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    drawFrameLines(painter, r, item.frames);
}

void paintText(QPainter& painter, const PreparedItem& item, const QRectF& r, TextMeasurer& m) {
    if (item.lines.empty()) {
        return;
    }
    const double pad = dots(kTextPaddingMm);
    const double lineHeight = dots(m.lineHeightMm(item.font));
    const double textHeight = lineHeight * double(item.lines.size());
    double top = r.top() + pad;
    if (item.vAlign == VAlign::Center) {
        top = r.top() + (r.height() - textHeight) / 2;
    } else if (item.vAlign == VAlign::Bottom) {
        top = r.bottom() - pad - textHeight;
    }
    painter.save();
    painter.setClipRect(r, Qt::IntersectClip); // text that does not fit is cut at the edge
    painter.setPen(Qt::black);
    painter.setFont(m.font(item.font));
    const double ascent = dots(m.ascentMm(item.font));
    for (std::size_t i = 0; i < item.lines.size(); ++i) {
        QString text = item.lines[i].text;
        while (text.endsWith(QLatin1Char(' '))) {
            text.chop(1);
        }
        if (text.isEmpty()) {
            continue;
        }
        double x = r.left() + pad;
        if (item.hAlign != HAlign::Left) {
            const double free = r.width() - 2 * pad - dots(m.widthMm(item.font, text));
            x += item.hAlign == HAlign::Center ? free / 2 : free;
        }
        painter.drawText(QPointF(x, top + ascent + lineHeight * double(i)), text);
    }
    painter.restore();
}

} // namespace

void drawFrameLines(QPainter& painter, const QRectF& r, unsigned frames) {
    if (frames & FrameLeft) {
        painter.drawLine(r.topLeft(), r.bottomLeft());
    }
    if (frames & FrameTop) {
        painter.drawLine(r.topLeft(), r.topRight());
    }
    if (frames & FrameRight) {
        painter.drawLine(r.topRight(), r.bottomRight());
    }
    if (frames & FrameBottom) {
        painter.drawLine(r.bottomLeft(), r.bottomRight());
    }
}

void paintPage(QPainter& painter, const PreparedPage& page, TextMeasurer& measurer) {
    for (const PreparedItem& item : page.items) {
        const QRectF r(dots(item.rect.x()), dots(item.rect.y()), dots(item.rect.width()),
                       dots(item.rect.height()));
        paintText(painter, item, r, measurer);
        paintFrames(painter, item, r);
    }
}

QPageLayout pageLayoutOf(const PageGeometry& g) {
    const bool landscape = g.orientation == Orientation::Landscape;
    const QSizeF portrait = landscape ? QSizeF(g.height, g.width) : QSizeF(g.width, g.height);
    const QPageSize size(portrait, QPageSize::Millimeter, g.paperName,
                         QPageSize::FuzzyOrientationMatch);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

PagedOutput::PagedOutput(QPagedPaintDevice& device) : m_device(device) {}

PagedOutput::~PagedOutput() = default;

void PagedOutput::addPage(const PreparedPage& page) {
    const QPageLayout layout = pageLayoutOf(page.geometry);
    if (!m_painter) {
        m_device.setPageLayout(layout);
        m_painter = std::make_unique<QPainter>();
        if (!m_painter->begin(&m_device)) {
            m_painter.reset();
            throw Error(QStringLiteral("Не удалось начать вывод отчёта"));
        }
    } else {
        m_device.setPageLayout(layout);
        m_device.newPage();
    }
    m_painter->save();
    const double scale = m_device.logicalDpiX() / kDotsPerInch;
    m_painter->scale(scale, m_device.logicalDpiY() / kDotsPerInch);
    paintPage(*m_painter, page, m_measurer);
    m_painter->restore();
}

void PagedOutput::endDocument() {
    if (m_painter) {
        m_painter->end();
        m_painter.reset();
    }
}

struct PdfOutput::Impl {
    QSaveFile file;
    std::unique_ptr<QPdfWriter> writer;
    std::unique_ptr<PagedOutput> output;
    QString title;
};

PdfOutput::PdfOutput(const QString& path, const QString& title) : m_impl(std::make_unique<Impl>()) {
    m_impl->file.setFileName(path);
    m_impl->title = title;
}

PdfOutput::~PdfOutput() = default;

void PdfOutput::beginDocument(const DocumentInfo& /*info*/) {
    if (!m_impl->file.open(QIODevice::WriteOnly)) {
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2")
                        .arg(m_impl->file.fileName(), m_impl->file.errorString()));
    }
    m_impl->writer = std::make_unique<QPdfWriter>(&m_impl->file);
    m_impl->writer->setResolution(int(kDotsPerInch));
    m_impl->writer->setTitle(m_impl->title);
    m_impl->writer->setCreator(QStringLiteral("Квелларий"));
    m_impl->output = std::make_unique<PagedOutput>(*m_impl->writer);
}

void PdfOutput::addPage(const PreparedPage& page) {
    m_impl->output->addPage(page);
}

void PdfOutput::endDocument() {
    if (!m_impl->output) {
        return;
    }
    m_impl->output->endDocument();
    m_impl->output.reset();
    m_impl->writer.reset();
    if (!m_impl->file.commit()) {
        throw Error(QStringLiteral("Не удалось записать файл «%1»: %2")
                        .arg(m_impl->file.fileName(), m_impl->file.errorString()));
    }
}

} // namespace reportkit
