#include "graph/graph_canvas.h"

#include <QPainter>

#include <cmath>

namespace qelvar::graph {

namespace {

// The plot's extent in graph units; the frame's rest is margin.
constexpr double kPlotRight = 20000, kPlotBottom = 400;

// The mapping for a surface of `size`: the frame stretched so that the
// margins keep their default pixel size. At the default size the scale
// factors are exactly 1, and the device rectangle exactly the surface.
GraphMapping mappingFor(QSizeF size) {
    GraphMapping m;
    const GraphFrame f = m.frame;
    const double w0 = GraphCanvas::kWidth, h0 = GraphCanvas::kHeight;
    const double unitsX = f.right - f.left, unitsY = f.bottom - f.top;
    const double marginX = w0 * (unitsX - kPlotRight) / unitsX; // pixels, both sides
    const double marginY = h0 * (unitsY - kPlotBottom) / unitsY;
    const double left0 = w0 * (0 - f.left) / unitsX, top0 = h0 * (0 - f.top) / unitsY;
    const double kx = (size.width() - marginX) / (w0 - marginX);
    const double ky = (size.height() - marginY) / (h0 - marginY);
    m.device = QRectF(left0 * (1 - kx), top0 * (1 - ky), w0 * kx, h0 * ky);
    return m;
}

} // namespace

GraphCanvas::GraphCanvas(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(kMinWidth, kMinHeight);
    // Drawn at the default size before the window is laid out.
    resize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The plot is white whatever the desktop's colours: the title box and
    // the captions on it take these colours from it.
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, Qt::white);
        pal.setColor(group, QPalette::Base, Qt::white);
        pal.setColor(group, QPalette::WindowText, Qt::black);
        pal.setColor(group, QPalette::Text, Qt::black);
        pal.setColor(group, QPalette::PlaceholderText, Qt::darkGray);
    }
    setPalette(pal);
    setAutoFillBackground(true);
}

GraphMapping GraphCanvas::mapping() const {
    return mappingFor(size());
}

QPointF GraphCanvas::toPixelF(double x, double y, QSizeF size) const {
    const GraphMapping m = mappingFor(size), d = mappingFor(QSizeF(kWidth, kHeight));
    QPointF p = m.map(x, y);
    const double unitsX = m.frame.right - m.frame.left, unitsY = m.frame.bottom - m.frame.top;
    // Pixels per unit now and at the default size: equal there, so these
    // corrections are exactly 0.
    const double dx = d.device.width() / unitsX - m.device.width() / unitsX;
    const double dy = d.device.height() / unitsY - m.device.height() / unitsY;
    if (x < 0)
        p.rx() += x * dx;
    else if (x > kPlotRight)
        p.rx() += (x - kPlotRight) * dx;
    if (y < 0)
        p.ry() += y * dy;
    else if (y > kPlotBottom)
        p.ry() += (y - kPlotBottom) * dy;
    return p;
}

QPointF GraphCanvas::toPixelF(double x, double y) const {
    return toPixelF(x, y, size());
}

QPoint GraphCanvas::toPixel(double x, double y) const {
    const QPointF p = toPixelF(x, y);
    return {int(std::round(p.x())), int(std::round(p.y()))};
}

QPointF GraphCanvas::shift(double x, double y) const {
    return toPixelF(x, y) - toPixelF(x, y, QSizeF(kWidth, kHeight));
}

void GraphCanvas::render(const std::vector<GraphLine>& surface) {
    if (&surface != &drawn_)
        drawn_ = surface;
    // Sharp on HiDPI screens: the image holds device pixels.
    const qreal dpr = devicePixelRatioF();
    image_ = QImage(size() * dpr, QImage::Format_RGB32);
    image_.setDevicePixelRatio(dpr);
    image_.fill(Qt::white);
    QPainter p(&image_);
    paintLines(p, drawn_, mapping());
    p.end();
    update();
}

void GraphCanvas::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    render(drawn_);
    emit resized();
}

void GraphCanvas::paintEvent(QPaintEvent*) {
    // Built before the window was shown, or moved to another screen.
    if (image_.devicePixelRatio() != devicePixelRatioF() ||
        image_.size() != size() * devicePixelRatioF())
        render(drawn_);
    QPainter p(this);
    p.drawImage(QPoint(0, 0), image_);
}

} // namespace qelvar::graph
