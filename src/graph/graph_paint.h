// Painting the model's line and text lists on any QPainter: the window's
// retained image, a printer page, a test image.
#pragma once

#include "graph/graph_model.h"

#include <QFont>
#include <QPainter>
#include <QRectF>

#include <vector>

namespace qelvar::graph {

// Where graph units land on the device: `frame` is stretched over
// `device`. Pen widths are screen pixels times `penScale`.
struct GraphMapping {
    QRectF device;
    GraphFrame frame;
    double penScale = 1.0;

    QPointF map(double x, double y) const {
        return {device.left() + (x - frame.left) * device.width() / (frame.right - frame.left),
                device.top() + (y - frame.top) * device.height() / (frame.bottom - frame.top)};
    }
};

// Grid lines are axis-aligned and are painted as whole-pixel bars, so a
// one-pixel line stays one crisp pixel; sloped curve segments are smoothed.
void paintLines(QPainter& p, const std::vector<GraphLine>& lines, const GraphMapping& m);

// Each text with its top-left corner at its position.
void paintTexts(QPainter& p, const std::vector<GraphText>& texts, const GraphMapping& m,
                const QFont& font);

// The number labels' face: a plain sans-serif of about 8 points.
QFont labelFont(double points = 8);

} // namespace qelvar::graph
