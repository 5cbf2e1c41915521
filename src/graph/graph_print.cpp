#include "graph/graph_print.h"

#include "common/files.h"
#include "graph/graph_paint.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrintDialog>
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

namespace {

PrinterChooser& chooser() {
    static PrinterChooser c;
    return c;
}

} // namespace

void setPrinterChooser(PrinterChooser c) {
    chooser() = std::move(c);
}

bool noPrinter() {
    return !chooser() && QPrinterInfo::availablePrinters().isEmpty();
}

QString newDataFile(const QString& folder, const QString& base, const QString& ext) {
    QDir().mkpath(folder);
    for (int n = 1; n <= 9999; ++n) {
        const QString name = n == 1 ? QStringLiteral("%1.%2").arg(base, ext)
                                    : QStringLiteral("%1-%2.%3").arg(base).arg(n).arg(ext);
        const QString path = QDir(folder).filePath(name);
        QFile f(path);
        // NewOnly fails on an existing file, so two printouts never share one.
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (f.error() != QFileDevice::OpenError || !QFileInfo::exists(path))
            return {}; // not taken, just not writable: the next name fares no better
    }
    return {};
}

QString printPage(QWidget* parent, const QString& folder, const QString& pdfBase,
                  const PagePainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    QString pdf;
    if (noPrinter()) {
        printer.setPageOrientation(QPageLayout::Landscape);
        pdf = newDataFile(folder, pdfBase, QStringLiteral("pdf"));
        if (pdf.isEmpty())
            return QStringLiteral("No printer, and no new %1 file can be written in %2")
                .arg(pdfBase + QStringLiteral(".pdf"), folder);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    } else {
        bool accepted = false;
        if (chooser()) {
            accepted = chooser()(printer);
        } else {
            QPrintDialog dialog(&printer, parent);
            dialog.setObjectName(QStringLiteral("dlgPrint"));
            accepted = dialog.exec() == QDialog::Accepted;
        }
        if (!accepted)
            return QStringLiteral("Printing cancelled: nothing was printed");
    }
    QPainter p;
    if (!p.begin(&printer)) {
        if (!pdf.isEmpty()) {
            QFile::remove(pdf); // the empty placeholder
            return QStringLiteral("Could not write %1").arg(pdf);
        }
        return QStringLiteral("The printer could not be started");
    }
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    paint(p, QRectF(0, 0, area.width(), area.height()), printer.logicalDpiX(),
          printer.logicalDpiY());
    p.end();
    if (!pdf.isEmpty())
        return QStringLiteral("No printer: written to %1").arg(pdf);
    const QString where = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName()
                                                                        : printer.printerName();
    return QStringLiteral("Printed on %1").arg(where);
}

} // namespace qelvar::graph
