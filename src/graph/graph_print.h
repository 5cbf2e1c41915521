// "Plot to printer" and "Printscreen": both on the default printer, or,
// on a machine without any printer, into a PDF file in the data directory.
#pragma once

#include "graph/graph_model.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <functional>

namespace qelvar::graph {

// Graph units per twip (1/1440 inch) on screen, from the drawing area's
// size; the default is the 795 x 542 pixel area at 96 dots an inch.
struct ScreenScale {
    double x = 22000.0 / 11925.0;
    double y = 460.0 / 8130.0;
};

// The printed plot on a page whose printable area is `page` (device
// pixels, dpiX x dpiY): the graph at its on-screen size, centred on the
// point (9500, 210) of the screen's coordinate system.
void paintPemprint(QPainter& p, const QRectF& page, double dpiX, double dpiY,
                   const GraphModel::Printout& out, const ScreenScale& scale = {});

// The window image, one screen pixel to its size on screen, from the
// printable area's top-left corner.
void paintWindowImage(QPainter& p, const QRectF& page, double dpiX, double dpiY,
                      const QImage& image, double screenDpi = 96);

using PagePainter = std::function<void(QPainter&, const QRectF&, double, double)>;

// One page on the default printer; with `toPdf` (or no printer at all)
// the page goes to dataPath(pdfName) instead, in landscape. Returns the
// status line's text: empty after a normal printout.
QString printPage(const QString& pdfName, bool toPdf, const PagePainter& paint);

// True when the machine knows no printer.
bool noPrinter();

} // namespace qelvar::graph
