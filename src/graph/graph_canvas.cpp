#include "graph/graph_canvas.h"

#include <QPainter>

#include <cmath>

namespace qelvar::graph {

GraphCanvas::GraphCanvas(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

GraphMapping GraphCanvas::mapping() const {
    GraphMapping m;
    m.device = QRectF(0, 0, kWidth, kHeight);
    return m;
}

QPoint GraphCanvas::toPixel(double x, double y) const {
    const QPointF p = mapping().map(x, y);
    return {int(std::round(p.x())), int(std::round(p.y()))};
}

void GraphCanvas::render(const std::vector<GraphLine>& surface) {
    drawn_ = surface;
    // Sharp on HiDPI screens: the image holds device pixels.
    const qreal dpr = devicePixelRatioF();
    image_ = QImage(QSize(kWidth, kHeight) * dpr, QImage::Format_RGB32);
    image_.setDevicePixelRatio(dpr);
    image_.fill(Qt::white);
    QPainter p(&image_);
    paintLines(p, surface, mapping());
    p.end();
    update();
}

void GraphCanvas::paintEvent(QPaintEvent*) {
    // Built before the window was shown, or moved to another screen.
    if (image_.devicePixelRatio() != devicePixelRatioF()) {
        const std::vector<GraphLine> lines = drawn_;
        render(lines);
    }
    QPainter p(this);
    p.drawImage(QPoint(0, 0), image_);
}

} // namespace qelvar::graph
