// "Plot to printer" and "Printscreen": both on the printer chosen in the
// print dialog, or, on a machine without any printer, into a new PDF file
// in the data directory.
#pragma once

#include "graph/graph_model.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include <functional>

class QPrinter;
class QWidget;

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

// One page. Where the machine has a printer, the desktop's print dialog
// (over `parent`) chooses it and its paper, and cancel prints nothing. Without a printer the page
// goes, in landscape, to a new PDF file in the data folder: newDataFile(pdfBase, "pdf"), so no
// earlier printout is overwritten. Returns the status line's text, which names the printer or the
// file.
QString printPage(QWidget* parent, const QString& folder, const QString& pdfBase,
                  const PagePainter& paint);

// A file in the data folder no earlier file has: base.ext, else base-2.ext,
// base-3.ext and so on. It is created empty, so it stays taken; an empty
// string when none can be created.
QString newDataFile(const QString& folder, const QString& base, const QString& ext);

// True when the machine knows no printer (and no chooser pretends one).
bool noPrinter();

// Stands in for the print dialog, for tests and machines without a
// desktop: it is given the printer set up as the dialog would get it and
// returns false for cancel, or true to print on the printer as it leaves
// it (a test points it at a PDF file). While one is set, a printer counts
// as present. An empty chooser restores the dialog and the printer list.
using PrinterChooser = std::function<bool(QPrinter& printer)>;
void setPrinterChooser(PrinterChooser chooser);

} // namespace qelvar::graph
