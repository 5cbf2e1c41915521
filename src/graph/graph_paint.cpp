#include "graph/graph_paint.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace qelvar::graph {

namespace {

QColor colourOf(std::uint32_t rgb) {
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

// A bar `w` pixels thick centred on `c`, starting on a whole pixel.
double barStart(double c, double w) {
    return std::round(c - w / 2.0);
}

void paintBar(QPainter& p, QPointF a, QPointF b, double w, const QColor& c) {
    if (a.x() == b.x()) {
        const double top = std::floor(std::min(a.y(), b.y()));
        const double bottom = std::ceil(std::max(a.y(), b.y()));
        p.fillRect(QRectF(barStart(a.x(), w), top, w, bottom - top + 1), c);
    } else {
        const double left = std::floor(std::min(a.x(), b.x()));
        const double right = std::ceil(std::max(a.x(), b.x()));
        p.fillRect(QRectF(left, barStart(a.y(), w), right - left + 1, w), c);
    }
}

} // namespace

void paintLines(QPainter& p, const std::vector<GraphLine>& lines, const GraphMapping& m) {
    p.save();
    for (const GraphLine& l : lines) {
        const QPointF a = m.map(l.x1, l.y1), b = m.map(l.x2, l.y2);
        const double w = std::max(1.0, std::round(std::max(l.width, 1) * m.penScale));
        const QColor c = colourOf(l.rgb);
        if (l.x1 == l.x2 || l.y1 == l.y2) {
            p.setRenderHint(QPainter::Antialiasing, false);
            paintBar(p, a, b, w, c);
        } else {
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(a, b);
        }
    }
    p.restore();
}

void paintTexts(QPainter& p, const std::vector<GraphText>& texts, const GraphMapping& m,
                const QFont& font) {
    p.save();
    p.setFont(font);
    p.setPen(Qt::black);
    const double ascent = QFontMetricsF(font, p.device()).ascent();
    for (const GraphText& t : texts) {
        const QPointF at = m.map(t.left, t.top);
        p.drawText(QPointF(at.x(), at.y() + ascent), QString::fromStdString(t.text));
    }
    p.restore();
}

QFont labelFont(double points) {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    f.setPointSizeF(points);
    return f;
}

} // namespace qelvar::graph
