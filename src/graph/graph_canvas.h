// The graph form's drawing surface: a white area with the graph's user
// coordinate system and a retained image of everything drawn since the
// last clear. The labels and the title box are its child controls.
#pragma once

#include "graph/graph_model.h"
#include "graph/graph_paint.h"

#include <QImage>
#include <QWidget>

namespace qelvar::graph {

class GraphCanvas : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 795, kHeight = 542;

    explicit GraphCanvas(QWidget* parent = nullptr);

    // Repaints the retained image from the model's surface list.
    void render(const std::vector<GraphLine>& surface);
    const QImage& image() const { return image_; }
    GraphMapping mapping() const;
    QPoint toPixel(double x, double y) const;

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage image_;
    std::vector<GraphLine> drawn_; // kept to redraw at a new pixel ratio
};

} // namespace qelvar::graph
