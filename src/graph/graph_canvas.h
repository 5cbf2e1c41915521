// The graph form's drawing surface: a white area with the graph's user
// coordinate system and a retained image of everything drawn since the
// last clear. The labels and the title box are its child controls.
//
// The surface takes any size from kMinWidth x kMinHeight up. The plot
// (x 0 .. 20000, y 0 .. 400 in graph units) stretches with it while the
// margins round it keep their pixel size, so the captions placed in them
// keep their room; at kWidth x kHeight everything lands where it always has.
#pragma once

#include "graph/graph_model.h"
#include "graph/graph_paint.h"

#include <QImage>
#include <QWidget>

namespace qelvar::graph {

class GraphCanvas : public QWidget {
    Q_OBJECT
  public:
    // The default size, which printing takes as the plot's size on screen.
    static constexpr int kWidth = 795, kHeight = 542;
    static constexpr int kMinWidth = 600, kMinHeight = 340;

    explicit GraphCanvas(QWidget* parent = nullptr);

    // Repaints the retained image from the model's surface list.
    void render(const std::vector<GraphLine>& surface);
    // The retained image, the canvas's size in device pixels.
    const QImage& image() const { return image_; }
    // The lines' mapping at the current size.
    GraphMapping mapping() const;
    // A point in graph units on the canvas: in the plot as mapping() puts
    // it, in the margins at its default distance from the plot.
    QPointF toPixelF(double x, double y) const;
    QPoint toPixel(double x, double y) const;
    // How far a point has moved from where the default size puts it.
    QPointF shift(double x, double y) const;

    QSize sizeHint() const override { return {kWidth, kHeight}; }
    QSize minimumSizeHint() const override { return {kMinWidth, kMinHeight}; }

  signals:
    // After a resize, with the image already redrawn for the new size.
    void resized();

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    QPointF toPixelF(double x, double y, QSizeF size) const;

    QImage image_;
    std::vector<GraphLine> drawn_; // kept to redraw at a new size or pixel ratio
};

} // namespace qelvar::graph
