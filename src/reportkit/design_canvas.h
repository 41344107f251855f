#pragma once

#include "designer_window.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>

namespace reportkit {

// The designer's page: bands stacked from the top margin, each under a caption
// strip, with their objects at their places. Mouse: click selects, drag moves,
// the corner handle sizes an object, a band's lower edge sizes the band.
class DesignCanvas : public QWidget {
public:
    explicit DesignCanvas(DesignerWindow& window);

    void refresh();
    double pxPerMm() const;
    QRectF bandRect(int band) const; // the band's own area, below its caption
    QRectF objectRect(int band, int object) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Drag { None, Move, Resize, BandHeight };

    QRectF captionRect(int band) const;
    QRectF handleRect(const QRectF& object) const;
    void paintObject(QPainter& painter, const TextObject& object, const QRectF& r,
                     bool selected) const;

    DesignerWindow& m_window;
    Drag m_drag = Drag::None;
    QPointF m_pressPos;
    double m_orig[2] = {0, 0}; // what the drag changes, as it was at the press
    bool m_moved = false;
    int m_dragSerial = 0;
};

} // namespace reportkit
