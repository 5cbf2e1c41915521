// report.pdf for people: on the first A4 page the conditions, the response
// and THD+N plots on a log frequency axis, and the figures in a table with
// their warnings and limits; on the second the spectra of the signal's
// parts.
#include "report/report_files.h"

#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

namespace qelvar::report {
namespace {

const QColor kLeft(0, 70, 200), kRight(200, 30, 30), kGrid(200, 200, 200), kFail(190, 0, 0);

struct Axis {
    double lo, hi;
};

// A y range holding every value, in whole steps of `step`, at least `span`.
Axis rangeOf(const std::vector<double>& v, double step, double span) {
    double lo = 0, hi = 0;
    bool any = false;
    for (double x : v)
        if (std::isfinite(x)) {
            lo = any ? std::min(lo, x) : x;
            hi = any ? std::max(hi, x) : x;
            any = true;
        }
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;
    if (hi - lo < span) {
        const double mid = (hi + lo) / 2;
        lo = std::floor((mid - span / 2) / step) * step;
        hi = lo + span;
    }
    return {lo, hi};
}

// With `curve`, the curve is drawn and the rows are points on it, placed
// at its level at 1 kHz (the curve is read against that level).
void plot(QPainter& p, const QRectF& box, const QString& title, const QString& unit,
          const std::vector<SweepRow>& rows, double SweepRow::*left, double SweepRow::*right,
          double step, double span, bool markFailed = false, const ResponseCurve* curve = nullptr) {
    double at1k = 0;
    for (const auto& r : rows)
        if (curve && r.hz == 1000)
            at1k = r.*left;
    std::vector<double> all;
    for (const auto& r : rows) {
        all.push_back(r.*left - at1k);
        all.push_back(r.*right - at1k);
    }
    if (curve)
        for (const auto& d : curve->db)
            all.insert(all.end(), d.begin(), d.end());
    {
        // Whole decibels, or fives, where the curve spans more.
        const auto [lo, hi] = std::minmax_element(all.begin(), all.end());
        if (lo != all.end() && *hi - *lo > 20)
            step = 5;
        else if (lo != all.end() && *hi - *lo > 4)
            step = 1;
    }
    const Axis y = rangeOf(all, step, span);
    const QRectF area = box.adjusted(70, 40, -10, -40);
    auto px = [&](double hz) {
        return area.left() + area.width() * std::log10(hz / 20.0) / std::log10(1000.0);
    };
    auto py = [&](double v) { return area.bottom() - area.height() * (v - y.lo) / (y.hi - y.lo); };
    p.setFont(QFont("DejaVu Sans", 9, QFont::Bold));
    p.setPen(Qt::black);
    p.drawText(QRectF(box.left(), box.top(), box.width(), 30), Qt::AlignLeft | Qt::AlignTop, title);
    p.setFont(QFont("DejaVu Sans", 7));
    p.setPen(QPen(kGrid, 1));
    for (double decade : {20.0, 200.0, 2000.0})
        for (int k = 1; k <= 9; ++k) {
            const double hz = decade / 2 * k;
            if (hz >= 20 && hz <= 20000)
                p.drawLine(QPointF(px(hz), area.top()), QPointF(px(hz), area.bottom()));
        }
    const int lines = static_cast<int>(std::lround((y.hi - y.lo) / step));
    for (int k = 0; k <= lines; ++k) {
        const double v = y.lo + k * step;
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(area.left(), py(v)), QPointF(area.right(), py(v)));
        p.setPen(Qt::black);
        p.drawText(QRectF(box.left(), py(v) - 12, 62, 24), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v, 'g', 4));
    }
    for (double hz : {20.0, 100.0, 1000.0, 10000.0, 20000.0})
        p.drawText(QRectF(px(hz) - 40, area.bottom() + 4, 80, 20), Qt::AlignCenter,
                   hz >= 1000 ? QStringLiteral("%1k").arg(hz / 1000) : QString::number(hz));
    p.drawText(QRectF(area.left(), area.bottom() + 20, area.width(), 20), Qt::AlignCenter,
               QStringLiteral("Hz"));
    p.save();
    p.translate(box.left() + 12, area.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-80, -12, 160, 24), Qt::AlignCenter, unit);
    p.restore();
    p.setPen(QPen(Qt::black, 1.5));
    p.drawRect(area);
    // The left wide, the right narrow on top of it: where the channels
    // agree the red runs inside the blue, and both stay seen.
    p.save();
    p.setClipRect(area);
    for (auto [member, colour, width] :
         {std::tuple{left, kLeft, 5.0}, std::tuple{right, kRight, 1.8}}) {
        QPainterPath path;
        bool started = false;
        if (curve) {
            const auto& d = curve->db[member == left ? 0 : 1];
            for (std::size_t i = 0; i < curve->hz.size() && curve->hz[i] <= 20000; ++i) {
                const QPointF pt(px(curve->hz[i]), py(d[i]));
                started ? path.lineTo(pt) : path.moveTo(pt);
                started = true;
            }
        } else {
            for (const auto& r : rows) {
                const QPointF pt(px(r.hz), py(r.*member));
                started ? path.lineTo(pt) : path.moveTo(pt);
                started = true;
            }
        }
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
    if (curve) {
        // The 20 steps as points over the curve.
        p.setBrush(Qt::white);
        for (auto [member, colour] : {std::pair{left, kLeft}, std::pair{right, kRight}}) {
            p.setPen(QPen(colour, 1.5));
            for (const auto& r : rows)
                p.drawEllipse(QPointF(px(r.hz), py(r.*member - at1k)), 4, 4);
        }
        p.setBrush(Qt::NoBrush);
    }
    p.restore();
    if (markFailed) {
        // Steps outside a limits file's response band.
        p.setPen(QPen(kFail, 2));
        for (const auto& r : rows)
            if (r.failed)
                for (double v : {r.*left, r.*right})
                    p.drawEllipse(QPointF(px(r.hz), py(v - at1k)), 6, 6);
    }
    p.setPen(kLeft);
    p.drawText(QRectF(area.right() - 250, box.top(), 160, 30), Qt::AlignRight, "left (wide)");
    p.setPen(kRight);
    p.drawText(QRectF(area.right() - 80, box.top(), 70, 30), Qt::AlignRight, "right");
}

QString valueText(const Figure& f) {
    // A percentage keeps two significant digits however small (a 24-bit
    // take's THD+N is a few millionths of one); decibels one decimal.
    const QString number = f.unit == "%"
                               ? QString::number(f.value, 'g', 2)
                               : QString::number(std::abs(f.value) < 0.05 ? 0.0 : f.value, 'f', 1);
    QString v = number + ' ' + QString::fromStdString(f.unit);
    return f.failed ? v + QStringLiteral("  FAIL") : v;
}

QString limitsText(const Figure& f) {
    const QString lo = f.hasLowest ? QString::number(f.lowest) : QStringLiteral("-");
    const QString hi = f.hasHighest ? QString::number(f.highest) : QStringLiteral("-");
    return QStringLiteral("limits %1 .. %2").arg(lo, hi);
}

// One line a figure, its two channels side by side (crosstalk: left to
// right, then right to left).
struct TableRow {
    QString label;
    const Figure* side[2] = {nullptr, nullptr};
    bool directions = false; // the columns are directions, not channels
};

std::vector<TableRow> tableRows(const Report& r) {
    std::vector<TableRow> rows;
    for (const auto& f : r.figures) {
        QString label = QString::fromStdString(f.label);
        int side = 0;
        bool directions = false;
        for (auto [suffix, s, d] :
             {std::tuple{", left to right", 0, true}, std::tuple{", right to left", 1, true},
              std::tuple{", left", 0, false}, std::tuple{", right", 1, false}})
            if (label.endsWith(QLatin1String(suffix))) {
                label.chop(static_cast<int>(std::strlen(suffix)));
                side = s;
                directions = d;
                break;
            }
        if (directions)
            label += QStringLiteral(" (L\u2192R | R\u2192L)");
        if (f.unit == "%")
            label += QStringLiteral(" (%)");
        auto it = std::find_if(rows.begin(), rows.end(),
                               [&](const TableRow& t) { return t.label == label; });
        if (it == rows.end())
            it = rows.insert(rows.end(), TableRow{label});
        it->side[side] = &f;
        it->directions = it->directions || directions;
    }
    return rows;
}

void table(QPainter& p, QRectF box, const Report& r) {
    const double rowH = 24;
    const double c1 = box.left(), c2 = c1 + box.width() * 0.30, c3 = c1 + box.width() * 0.45,
                 c4 = c1 + box.width() * 0.60;
    double y = box.top();
    p.setFont(QFont("DejaVu Sans", 7, QFont::Bold));
    p.setPen(Qt::black);
    p.drawText(QPointF(c1, y), "Figure");
    p.drawText(QPointF(c2, y), "Left");
    p.drawText(QPointF(c3, y), "Right");
    p.drawText(QPointF(c4, y), "Warnings and limits");
    p.setPen(QPen(kGrid, 1));
    p.drawLine(QPointF(c1, y + 6), QPointF(box.right(), y + 6));
    p.setFont(QFont("DejaVu Sans", 7));
    for (const auto& row : tableRows(r)) {
        y += rowH;
        if (y > box.bottom())
            break;
        p.setPen(Qt::black);
        p.drawText(QPointF(c1, y), row.label);
        QStringList notes;
        for (int s = 0; s < 2; ++s) {
            const Figure* f = row.side[s];
            if (!f)
                continue;
            p.setPen(f->failed ? kFail : Qt::black);
            p.drawText(QPointF(s == 0 ? c2 : c3, y), valueText(*f));
            for (const auto& w : f->warnings)
                if (!notes.contains(QString::fromStdString(w)))
                    notes << QString::fromStdString(w);
        }
        // Limits name what they bound: both columns, or one of them.
        const char* const names[2][2] = {{"left", "right"}, {"L\u2192R", "R\u2192L"}};
        const Figure* const l = row.side[0];
        const Figure* const rt = row.side[1];
        if (l && rt && l->checked && rt->checked && limitsText(*l) == limitsText(*rt)) {
            notes << QStringLiteral("both ") + limitsText(*l);
        } else {
            for (int s = 0; s < 2; ++s)
                if (const Figure* f = row.side[s]; f && f->checked)
                    notes << QString::fromUtf8(names[row.directions ? 1 : 0][s]) +
                                 QLatin1Char(' ') + limitsText(*f);
        }
        p.setPen(QColor(150, 90, 0));
        p.drawText(QPointF(c4, y), p.fontMetrics().elidedText(notes.join("; "), Qt::ElideRight,
                                                              static_cast<int>(box.right() - c4)));
    }
}

// The set-up's findings and notes, wrapped, from the top of `box`; the
// height they took.
double setupBlock(QPainter& p, const QRectF& box, const Report& r) {
    if (r.setup.empty())
        return 0;
    p.setFont(QFont("DejaVu Sans", 7));
    double y = box.top();
    for (const auto& n : r.setup) {
        const QString text =
            (n.finding ? QStringLiteral("Set-up warning: ") : QStringLiteral("Note: ")) +
            QString::fromStdString(n.text) + QLatin1Char('.');
        const QRectF room(box.left(), y, box.width(), box.bottom() - y);
        const QRectF used = p.boundingRect(room, Qt::AlignLeft | Qt::TextWordWrap, text);
        p.setPen(n.finding ? QColor(150, 90, 0) : Qt::black);
        p.drawText(room, Qt::AlignLeft | Qt::TextWordWrap, text);
        y += used.height() + 2;
    }
    p.setPen(Qt::black);
    return y - box.top();
}

} // namespace

// One spectrum: dBFS from -160 to 0 over 10 Hz to the rate's half.
void spectrum(QPainter& p, const QRectF& box, const SpectrumPlot& s) {
    const QRectF area = box.adjusted(70, 30, -10, -30);
    const double lo = 10, hi = 22050, top = 0, bottom = -160;
    auto px = [&](double hz) {
        return area.left() + area.width() * std::log10(hz / lo) / std::log10(hi / lo);
    };
    auto py = [&](double v) {
        return area.top() + area.height() * (top - std::clamp(v, bottom, top)) / (top - bottom);
    };
    p.setFont(QFont("DejaVu Sans", 9, QFont::Bold));
    p.setPen(Qt::black);
    p.drawText(QPointF(box.left(), box.top() + 18), QString::fromStdString(s.title));
    p.setFont(QFont("DejaVu Sans", 6));
    for (double v = bottom; v <= top; v += 20) {
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(area.left(), py(v)), QPointF(area.right(), py(v)));
        p.setPen(Qt::black);
        p.drawText(QRectF(area.left() - 60, py(v) - 8, 55, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v));
    }
    for (double d = 10; d <= hi; d *= 10)
        for (int m : {1, 2, 5}) {
            const double hz = d * m;
            if (hz < lo || hz > hi)
                continue;
            p.setPen(QPen(kGrid, 1));
            p.drawLine(QPointF(px(hz), area.top()), QPointF(px(hz), area.bottom()));
            p.setPen(Qt::black);
            p.drawText(QRectF(px(hz) - 30, area.bottom() + 2, 60, 14), Qt::AlignHCenter,
                       hz >= 1000 ? QString::number(hz / 1000) + "k" : QString::number(hz));
        }
    p.save();
    p.translate(box.left() + 12, area.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-40, -8, 80, 16), Qt::AlignCenter, QStringLiteral("dBFS"));
    p.restore();
    p.setPen(Qt::black);
    p.drawRect(area);
    QPainterPath path;
    for (std::size_t i = 0; i < s.hz.size(); ++i) {
        const QPointF pt(px(s.hz[i]), py(s.dbfs[i]));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kLeft, 1.2));
    p.drawPath(path);
    p.setRenderHint(QPainter::Antialiasing, false);
}

// The second page: the spectra of the signal's parts.
void spectraPage(QPainter& p, const QRectF& page, const std::vector<SpectrumPlot>& spectra) {
    p.setFont(QFont("DejaVu Sans", 14, QFont::Bold));
    p.setPen(Qt::black);
    p.drawText(QRectF(page.left(), page.top(), page.width(), 40), Qt::AlignLeft,
               QStringLiteral("Spectra, left channel"));
    p.setFont(QFont("DejaVu Sans", 7));
    p.drawText(QRectF(page.left(), page.top() + 40, page.width(), 20), Qt::AlignLeft,
               QStringLiteral("Each point: what lies within the window's main lobe (a tone "
                              "reads its own level), the highest of each 1/96 octave."));
    const double top = page.top() + 70;
    const double h = (page.bottom() - top) / double(std::max<std::size_t>(1, spectra.size()));
    for (std::size_t k = 0; k < spectra.size(); ++k)
        spectrum(p, QRectF(page.left(), top + h * double(k), page.width(), h - 10), spectra[k]);
}

bool writePdf(const Report& r, const std::string& path) {
    QPdfWriter pdf(QString::fromStdString(path));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(150);
    pdf.setTitle(QStringLiteral("Sound-card report"));
    pdf.setCreator(QString::fromStdString(r.conditions.program));
    QPainter p;
    if (!p.begin(&pdf))
        return false;
    const QRectF page(60, 40, pdf.width() - 120, pdf.height() - 80);
    p.setFont(QFont("DejaVu Sans", 14, QFont::Bold));
    p.drawText(QRectF(page.left(), page.top(), page.width(), 40), Qt::AlignLeft,
               QStringLiteral("Sound-card report"));
    p.setFont(QFont("DejaVu Sans", 7));
    const auto& c = r.conditions;
    QString cond =
        QString::fromStdString(c.date + "   " + c.program + "\n" + c.device) +
        QStringLiteral("\nSignal %1 Hz, %2-bit; device %3 Hz%6; round trip %4 ms%5")
            .arg(c.signalRate)
            .arg(c.bits)
            .arg(c.deviceRate)
            .arg(1000.0 * static_cast<double>(c.latencyFrames) / c.signalRate, 0, 'f', 1)
            .arg(c.latencyMeasured ? "" : " (estimated)")
            .arg(c.deviceBits ? QStringLiteral(", %1-bit").arg(c.deviceBits) : QString());
    if (c.takes > 1 || !r.failure.empty())
        cond += QStringLiteral("; played %1 time%2").arg(c.takes).arg(c.takes == 1 ? "" : "s");
    p.drawText(QRectF(page.left(), page.top() + 45, page.width(), 80), Qt::AlignLeft, cond);
    if (r.limitsApplied) {
        p.setFont(QFont("DejaVu Sans", 9, QFont::Bold));
        p.setPen(r.passed ? QColor(0, 120, 0) : kFail);
        p.drawText(QRectF(page.left(), page.top(), page.width(), 40), Qt::AlignRight,
                   r.passed ? QStringLiteral("Limits: PASSED") : QStringLiteral("Limits: FAILED"));
    }
    p.setPen(Qt::black);
    const double setupH =
        setupBlock(p, QRectF(page.left(), page.top() + 130, page.width(), 200), r);
    if (!r.failure.empty()) {
        p.setFont(QFont("DejaVu Sans", 11, QFont::Bold));
        p.setPen(kFail);
        p.drawText(QRectF(page.left(), page.top() + 160 + setupH, page.width(), 200),
                   Qt::AlignLeft | Qt::TextWordWrap,
                   QStringLiteral("No figures: ") + QString::fromStdString(r.failure));
        return p.end();
    }
    // The set-up's lines come out of the plots' room, not the table's.
    const double plotH = page.height() * 0.25 - setupH / 2;
    double top = page.top() + 140 + setupH;
    if (r.curve.hz.empty())
        plot(p, QRectF(page.left(), top, page.width(), plotH), "Frequency response", "dB", r.sweep,
             &SweepRow::levelL, &SweepRow::levelR, 0.5, 2, true);
    else
        plot(p, QRectF(page.left(), top, page.width(), plotH),
             "Frequency response: the sweep, the 20 steps as points (against 1 kHz)", "dB", r.sweep,
             &SweepRow::levelL, &SweepRow::levelR, 0.5, 2, true, &r.curve);
    top += plotH + 20;
    plot(p, QRectF(page.left(), top, page.width(), plotH), "THD+N", "dB", r.sweep, &SweepRow::thdnL,
         &SweepRow::thdnR, 10, 40);
    top += plotH + 50;
    table(p, QRectF(page.left(), top, page.width(), page.bottom() - top), r);
    if (!r.spectra.empty()) {
        pdf.newPage();
        spectraPage(p, page, r.spectra);
    }
    return p.end();
}

} // namespace qelvar::report
