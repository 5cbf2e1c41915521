#include "graph/sweep_pdf.h"

#include "graph/sweep_window.h"

#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace qelvar::graph {

bool writeSweepPdf(const std::string& path, const SweepCurves& curves,
                   const std::vector<std::string>& lines) {
    SweepCurves c = curves;
    c.name.clear(); // one measurement: its channels need no name
    QPdfWriter pdf(QString::fromStdString(path));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(150);
    pdf.setTitle(QStringLiteral("Sweep measurement"));
    QPainter p;
    if (!p.begin(&pdf))
        return false;
    const QRectF page(60, 40, pdf.width() - 120, pdf.height() - 80);
    p.setFont(QFont("DejaVu Sans", 14, QFont::Bold));
    p.drawText(QRectF(page.left(), page.top(), page.width(), 40), Qt::AlignLeft,
               QStringLiteral("Sweep measurement"));
    p.setFont(QFont("DejaVu Sans", 7));
    QString text;
    for (const auto& l : lines)
        text += QString::fromStdString(l) + '\n';
    const QRectF textBox(page.left(), page.top() + 45, page.width(), page.height() / 4);
    const double textH = p.boundingRect(textBox, Qt::AlignLeft | Qt::TextWordWrap, text).height();
    p.drawText(textBox, Qt::AlignLeft | Qt::TextWordWrap, text);
    // The response across the page, the other four views two by two.
    const double top = page.top() + 55 + textH;
    const double h = (page.bottom() - top) / 3;
    ViewOptions o;
    o.wrapPhase = true;
    p.setFont(QFont("DejaVu Sans", 6));
    const auto view = [&](SweepView v, const QRectF& box) {
        p.setFont(QFont("DejaVu Sans", 8, QFont::Bold));
        p.drawText(box.topLeft() + QPointF(0, p.fontMetrics().ascent()),
                   QString::fromLatin1(viewName(v)));
        p.setFont(QFont("DejaVu Sans", 6));
        // The harmonics at the take's floor are noise: smoothed, as a
        // reader of the page wants them.
        ViewOptions vo = o;
        vo.smoothing = v == SweepView::Distortion ? 12 : 0;
        paintPlot(p, box.adjusted(0, p.fontMetrics().height() + 4, 0, 0), plotView(v, {&c}, vo));
    };
    view(SweepView::Response, QRectF(page.left(), top, page.width(), h));
    const double w = page.width() / 2;
    view(SweepView::Phase, QRectF(page.left(), top + h, w, h));
    view(SweepView::GroupDelay, QRectF(page.left() + w, top + h, w, h));
    view(SweepView::Impulse, QRectF(page.left(), top + 2 * h, w, h));
    view(SweepView::Distortion, QRectF(page.left() + w, top + 2 * h, w, h));
    return p.end();
}

} // namespace qelvar::graph
