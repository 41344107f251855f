#include "design_canvas.h"

#include "paint_output.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace reportkit {

namespace {

constexpr double kPad = 20;     // around the sheet, pixels
constexpr double kCaption = 16; // band caption strip, pixels
constexpr double kGap = 2;      // between bands, pixels
constexpr double kHandle = 7;   // the corner handle, pixels
constexpr double kSnapMm = 0.5; // mouse positions snap to this grid

double snap(double mm) {
    return std::round(mm / kSnapMm) * kSnapMm;
}

QString captionOf(const Band& band) {
    QString caption = bandKindTitle(band.kind);
    if (!band.name.isEmpty()) {
        caption += QStringLiteral(" «%1»").arg(band.name);
    }
    if (band.kind == BandKind::MasterData) {
        caption += QStringLiteral(": ") + band.dataSource;
    } else if (band.kind == BandKind::GroupHeader) {
        caption += QStringLiteral(": ") + band.condition;
    }
    return caption;
}

} // namespace

DesignCanvas::DesignCanvas(DesignerWindow& window) : QWidget(&window), m_window(window) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    refresh();
}

double DesignCanvas::pxPerMm() const {
    return logicalDpiX() / 25.4;
}

QRectF DesignCanvas::captionRect(int band) const {
    const Page& page = m_window.model().pages[std::size_t(m_window.currentPage())];
    const double ppm = pxPerMm();
    double y = kPad + page.topMargin * ppm;
    for (int i = 0; i < band; ++i) {
        y += kCaption + page.bands[std::size_t(i)].height * ppm + kGap;
    }
    return {kPad + page.leftMargin * ppm, y, page.contentWidth() * ppm, kCaption};
}

QRectF DesignCanvas::bandRect(int band) const {
    const Page& page = m_window.model().pages[std::size_t(m_window.currentPage())];
    const QRectF caption = captionRect(band);
    return {caption.left(), caption.bottom(), caption.width(),
            page.bands[std::size_t(band)].height * pxPerMm()};
}

QRectF DesignCanvas::objectRect(int band, int object) const {
    const Page& page = m_window.model().pages[std::size_t(m_window.currentPage())];
    const TextObject& o = page.bands[std::size_t(band)].objects[std::size_t(object)];
    const double ppm = pxPerMm();
    const QRectF area = bandRect(band);
    return {area.left() + o.x * ppm, area.top() + o.y * ppm, o.width * ppm, o.height * ppm};
}

QRectF DesignCanvas::handleRect(const QRectF& r) const {
    return {r.right() - kHandle / 2, r.bottom() - kHandle / 2, kHandle, kHandle};
}

void DesignCanvas::refresh() {
    const Page& page = m_window.model().pages[std::size_t(m_window.currentPage())];
    const double ppm = pxPerMm();
    const double bandsBottom = page.bands.empty() ? kPad + page.topMargin * ppm
                                                  : bandRect(int(page.bands.size()) - 1).bottom();
    const double height =
        std::max(page.paperHeight() * ppm, bandsBottom - kPad + page.bottomMargin * ppm);
    setFixedSize(int(page.paperWidth() * ppm + 2 * kPad), int(height + 2 * kPad));
    update();
}

void DesignCanvas::paintObject(QPainter& painter, const TextObject& o, const QRectF& r,
                               bool selected) const {
    painter.setPen(QPen(QColor(190, 190, 190), 1, Qt::DotLine));
    painter.drawRect(r);
    painter.setPen(QPen(Qt::black, std::max(1.0, o.frameWidth * logicalDpiX() / 72)));
    drawFrameLines(painter, r, o.frames);
    QFont font(o.font.family);
    font.setPointSizeF(o.font.size);
    font.setBold(o.font.bold);
    font.setItalic(o.font.italic);
    painter.setFont(font);
    const int align = (o.hAlign == HAlign::Center  ? Qt::AlignHCenter
                       : o.hAlign == HAlign::Right ? Qt::AlignRight
                                                   : Qt::AlignLeft) |
                      (o.vAlign == VAlign::Center   ? Qt::AlignVCenter
                       : o.vAlign == VAlign::Bottom ? Qt::AlignBottom
                                                    : Qt::AlignTop) |
                      (o.wordWrap ? Qt::TextWordWrap : 0);
    const double pad = kTextPaddingMm * pxPerMm();
    painter.save();
    painter.setClipRect(r);
    painter.drawText(r.adjusted(pad, pad, -pad, -pad), align, o.text);
    painter.restore();
    if (selected) {
        painter.setPen(QPen(QColor(0, 90, 200), 1.5));
        painter.drawRect(r);
        painter.fillRect(handleRect(r), QColor(0, 90, 200));
    }
}

void DesignCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    const Page& page = m_window.model().pages[std::size_t(m_window.currentPage())];
    const double ppm = pxPerMm();
    const QRectF sheet(kPad, kPad, page.paperWidth() * ppm, height() - 2 * kPad);
    painter.fillRect(sheet, Qt::white);
    painter.setPen(QPen(QColor(170, 170, 170), 1, Qt::DashLine));
    painter.drawRect(sheet.adjusted(page.leftMargin * ppm, page.topMargin * ppm,
                                    -page.rightMargin * ppm, -page.bottomMargin * ppm));
    const DesignSelection& sel = m_window.selection();
    for (int b = 0; b < int(page.bands.size()); ++b) {
        const Band& band = page.bands[std::size_t(b)];
        const QRectF caption = captionRect(b);
        const bool bandSelected = sel.band == b && sel.object < 0;
        painter.fillRect(caption, bandSelected ? QColor(170, 200, 240) : QColor(225, 225, 225));
        painter.setPen(Qt::black);
        painter.setFont(QFont(QStringLiteral("Arial"), 8));
        painter.drawText(caption.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                         captionOf(band));
        painter.setPen(QPen(bandSelected ? QColor(0, 90, 200) : QColor(210, 210, 210), 1));
        painter.drawRect(bandRect(b));
        for (int o = 0; o < int(band.objects.size()); ++o) {
            paintObject(painter, band.objects[std::size_t(o)], objectRect(b, o),
                        sel.band == b && sel.object == o);
        }
    }
}

void DesignCanvas::mousePressEvent(QMouseEvent* event) {
    setFocus();
    m_pressPos = event->position();
    m_moved = false;
    m_drag = Drag::None;
    ++m_dragSerial;
    const Page& page = m_window.model().pages[std::size_t(m_window.currentPage())];
    const DesignSelection sel = m_window.selection();
    if (sel.band >= 0 && sel.object >= 0 &&
        handleRect(objectRect(sel.band, sel.object)).contains(m_pressPos)) {
        const TextObject& o = *m_window.selectedObject();
        m_drag = Drag::Resize;
        m_orig[0] = o.width;
        m_orig[1] = o.height;
        return;
    }
    for (int b = int(page.bands.size()) - 1; b >= 0; --b) {
        const Band& band = page.bands[std::size_t(b)];
        for (int o = int(band.objects.size()) - 1; o >= 0; --o) {
            if (objectRect(b, o).contains(m_pressPos)) {
                m_window.select({b, o});
                m_drag = Drag::Move;
                m_orig[0] = band.objects[std::size_t(o)].x;
                m_orig[1] = band.objects[std::size_t(o)].y;
                return;
            }
        }
        const QRectF area = bandRect(b);
        if (std::abs(m_pressPos.y() - area.bottom()) <= 3 && area.left() <= m_pressPos.x() &&
            m_pressPos.x() <= area.right()) {
            m_window.select({b, -1});
            m_drag = Drag::BandHeight;
            m_orig[0] = band.height;
            return;
        }
        if (area.contains(m_pressPos) || captionRect(b).contains(m_pressPos)) {
            m_window.select({b, -1});
            return;
        }
    }
    m_window.select({});
}

void DesignCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag == Drag::None || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPointF d = (event->position() - m_pressPos) / pxPerMm();
    if (!m_moved && d.manhattanLength() * pxPerMm() < 3) {
        return; // a click, not a drag
    }
    m_moved = true;
    m_window.beginChange(QStringLiteral("drag %1").arg(m_dragSerial));
    if (m_drag == Drag::BandHeight) {
        m_window.selectedBand()->height = std::max(0.0, snap(m_orig[0] + d.y()));
    } else if (TextObject* o = m_window.selectedObject()) {
        if (m_drag == Drag::Move) {
            o->x = std::max(0.0, snap(m_orig[0] + d.x()));
            o->y = std::max(0.0, snap(m_orig[1] + d.y()));
        } else {
            o->width = std::max(1.0, snap(m_orig[0] + d.x()));
            o->height = std::max(1.0, snap(m_orig[1] + d.y()));
        }
    }
    m_window.modelChanged();
}

void DesignCanvas::mouseReleaseEvent(QMouseEvent*) {
    m_drag = Drag::None;
}

void DesignCanvas::keyPressEvent(QKeyEvent* event) {
    const double step = event->modifiers() & Qt::ControlModifier ? 0.1 : 1.0;
    const bool resize = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        m_window.nudge(-step, 0, resize);
        break;
    case Qt::Key_Right:
        m_window.nudge(step, 0, resize);
        break;
    case Qt::Key_Up:
        m_window.nudge(0, -step, resize);
        break;
    case Qt::Key_Down:
        m_window.nudge(0, step, resize);
        break;
    case Qt::Key_Delete:
        m_window.deleteSelection();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace reportkit
