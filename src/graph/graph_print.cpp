#include "graph/graph_print.h"

#include "common/files.h"
#include "graph/graph_paint.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

namespace qelvar::graph {

namespace {
// The coordinate system's centre: left + width / 2, top + height / 2.
constexpr double kCentreX = 9500, kCentreY = 210;
} // namespace

void paintPemprint(QPainter& p, const QRectF& page, double dpiX, double dpiY,
                   const GraphModel::Printout& out, const ScreenScale& scale) {
    const double w = page.width() / dpiX * 1440.0 * scale.x;
    const double h = page.height() / dpiY * 1440.0 * scale.y;
    GraphMapping m;
    m.device = page;
    m.frame =
        GraphFrame{static_cast<float>(kCentreX - w / 2), static_cast<float>(kCentreY - h / 2),
                   static_cast<float>(kCentreX + w / 2), static_cast<float>(kCentreY + h / 2)};
    // A screen pixel's width on paper, so the lines keep their weight.
    m.penScale = dpiX / 96.0;
    p.save();
    p.setClipRect(page);
    paintLines(p, out.lines, m);
    paintTexts(p, out.texts, m, labelFont(8));
    p.restore();
}

void paintWindowImage(QPainter& p, const QRectF& page, double dpiX, double dpiY,
                      const QImage& image, double screenDpi) {
    const double dpr = image.devicePixelRatio();
    const QRectF target(page.left(), page.top(), image.width() / dpr * dpiX / screenDpi,
                        image.height() / dpr * dpiY / screenDpi);
    p.save();
    p.setClipRect(page);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(target, image);
    p.restore();
}

bool noPrinter() {
    return QPrinterInfo::availablePrinters().isEmpty();
}

QString printPage(const QString& pdfName, bool toPdf, const PagePainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    QString pdf;
    if (toPdf) {
        ensureDataDir();
        pdf = QString::fromStdString(dataPath(pdfName.toStdString()));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageOrientation(QPageLayout::Landscape);
    }
    QPainter p;
    if (!p.begin(&printer))
        return toPdf ? QStringLiteral("Could not write %1").arg(pdf)
                     : QStringLiteral("The printer could not be started");
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    paint(p, QRectF(0, 0, area.width(), area.height()), printer.logicalDpiX(),
          printer.logicalDpiY());
    p.end();
    return toPdf ? QStringLiteral("No printer: written to %1").arg(pdf) : QString();
}

} // namespace qelvar::graph
