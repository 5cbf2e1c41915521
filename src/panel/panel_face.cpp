// Drawing of the front panel: brushed aluminium, a recessed display glass,
// raised key caps with engraved captions and a knurled memory knob.
#include "panel/panel_face.h"

#include "panel/panel_controls.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace qelvar::panel {
namespace {

const QPointF kKnobCentre(224 + 64.5, 128 + 64.5);
constexpr double kKnobRadius = 47.0;
constexpr double kSkirtRadius = 55.0;
// The pointer sweeps 270 degrees over the 14 memories, 1 at lower left.
constexpr double kFirstAngle = 225.0;
constexpr double kSweep = 270.0;

QFont engraveFont(int pixelSize, bool bold = true, double spacing = 0) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    if (spacing != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return f;
}

// Text cut into the metal: a light lip below, the dark cut on top.
void engrave(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
             QColor ink = QColor(38, 40, 44)) {
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 150));
    p.drawText(r.translated(0, 1), Qt::AlignCenter, text);
    p.setPen(ink);
    p.drawText(r, Qt::AlignCenter, text);
}

void brushedMetal(QPainter& p) {
    const QRectF face(0, 0, kFaceWidth, kFaceHeight);
    QLinearGradient g(0, 0, 0, kFaceHeight);
    g.setColorAt(0.0, QColor(222, 224, 227));
    g.setColorAt(0.45, QColor(200, 203, 207));
    g.setColorAt(1.0, QColor(168, 172, 178));
    p.fillRect(face, g);
    // Fine horizontal grain from a fixed sequence, so every start looks alike.
    quint32 seed = 12345u;
    for (int y = 0; y < kFaceHeight; ++y) {
        for (int run = 0; run < 3; ++run) {
            seed = seed * 1664525u + 1013904223u;
            const int x0 = int(seed % kFaceWidth) - 120;
            const int len = 80 + int((seed >> 10) % 360);
            const bool light = (seed >> 20) & 1u;
            const int a = 10 + int((seed >> 24) % 16);
            p.setPen(light ? QColor(255, 255, 255, a) : QColor(60, 64, 70, a));
            p.drawLine(QPointF(x0, y + 0.5), QPointF(x0 + len, y + 0.5));
        }
    }
    // A soft sheen across the upper half, as light from above would give.
    QRadialGradient sheen(QPointF(kFaceWidth * 0.35, -40), kFaceWidth * 0.8);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 60));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(face, sheen);
    // The bevelled edge of the plate.
    p.setPen(QPen(QColor(255, 255, 255, 170), 1));
    p.drawLine(QPointF(0.5, 0.5), QPointF(kFaceWidth - 0.5, 0.5));
    p.drawLine(QPointF(0.5, 0.5), QPointF(0.5, kFaceHeight - 0.5));
    p.setPen(QPen(QColor(90, 94, 100), 1));
    p.drawLine(QPointF(0.5, kFaceHeight - 0.5), QPointF(kFaceWidth - 0.5, kFaceHeight - 0.5));
    p.drawLine(QPointF(kFaceWidth - 0.5, 0.5), QPointF(kFaceWidth - 0.5, kFaceHeight - 0.5));
}

void screw(QPainter& p, QPointF c, double angle) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawEllipse(c + QPointF(0.4, 0.8), 5.2, 5.2);
    QRadialGradient g(c - QPointF(1.6, 2.0), 6.5);
    g.setColorAt(0.0, QColor(238, 239, 241));
    g.setColorAt(0.6, QColor(170, 173, 178));
    g.setColorAt(1.0, QColor(110, 113, 118));
    p.setBrush(g);
    p.setPen(QPen(QColor(85, 88, 94), 0.8));
    p.drawEllipse(c, 4.8, 4.8);
    p.save();
    p.translate(c);
    p.rotate(angle);
    p.setPen(QPen(QColor(60, 62, 66), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-3.0, 0), QPointF(3.0, 0));
    p.drawLine(QPointF(0, -3.0), QPointF(0, 3.0));
    p.restore();
}

void displayGlass(QPainter& p) {
    const QRectF glass = kDisplayGlass;
    // The bezel cut into the plate: dark above, bright lip below.
    QRectF bezel = glass.adjusted(-5, -5, 5, 5);
    QLinearGradient b(bezel.topLeft(), bezel.bottomLeft());
    b.setColorAt(0.0, QColor(92, 96, 102));
    b.setColorAt(1.0, QColor(236, 238, 240));
    p.setPen(Qt::NoPen);
    p.setBrush(b);
    p.drawRoundedRect(bezel, 6, 6);
    p.setBrush(QColor(28, 30, 32));
    p.drawRoundedRect(glass.adjusted(-2, -2, 2, 2), 4, 4);
    QLinearGradient g(glass.topLeft(), glass.bottomLeft());
    g.setColorAt(0.0, QColor(4, 8, 7));
    g.setColorAt(1.0, QColor(12, 22, 19));
    p.setBrush(g);
    p.drawRoundedRect(glass, 3, 3);
    // Reflection of the room on the glass.
    QLinearGradient r(glass.topLeft(), QPointF(glass.left(), glass.top() + 30));
    r.setColorAt(0.0, QColor(255, 255, 255, 26));
    r.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(r);
    p.drawRoundedRect(glass.adjusted(1, 1, -1, -glass.height() / 2), 3, 3);
}

void unitCaptions(QPainter& p) {
    QFont f = displayFont(9);
    f.setBold(false);
    p.setFont(f);
    p.setPen(displayDim());
    for (const ReadoutSpot& r : kReadouts) {
        const int top = r.pixelSize > 20 ? 66 : 71;
        QRectF under(r.area.center().x() - 40 + 0.5, top, 80, 12);
        p.drawText(under, Qt::AlignHCenter | Qt::AlignTop, QString::fromLatin1(r.unit));
    }
}

void keyCap(QPainter& p, const KeySpot& k) {
    const QRectF r = QRectF(k.area).adjusted(1, 1, -1, -1);
    p.setPen(Qt::NoPen);
    // Shadow thrown on the plate, then the dark well around the cap.
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(r.translated(1.2, 2.2), 4, 4);
    p.setBrush(QColor(70, 74, 80));
    p.drawRoundedRect(r.adjusted(-1, -1, 1, 1), 5, 5);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(246, 247, 248));
    g.setColorAt(0.5, QColor(214, 217, 221));
    g.setColorAt(1.0, QColor(178, 182, 188));
    p.setBrush(g);
    p.drawRoundedRect(r, 4, 4);
    // Bevel: a bright top lip and a darker bottom edge.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.drawLine(r.topLeft() + QPointF(3, 0.5), r.topRight() + QPointF(-3, 0.5));
    p.setPen(QPen(QColor(120, 124, 130), 1));
    p.drawLine(r.bottomLeft() + QPointF(3, -0.5), r.bottomRight() + QPointF(-3, -0.5));
    const QString caption = QString::fromLatin1(k.caption);
    if (caption == QLatin1String("Off") || caption == QLatin1String("Play")) {
        // A coloured stripe marks the keys a hand looks for first.
        const QColor c =
            caption == QLatin1String("Off") ? QColor(196, 36, 28) : QColor(30, 150, 70);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(r.left() + 6, r.bottom() - 6, r.width() - 12, 2.5), 1, 1);
    }
    engrave(p, r.adjusted(0, -2, 0, -2), caption, engraveFont(12));
}

void knurledKnob(QPainter& p) {
    const QPointF c = kKnobCentre;
    // Scale: a tick per memory around the skirt, 1 and 14 numbered.
    for (int m = 1; m <= 14; ++m) {
        const double a = qDegreesToRadians(kFirstAngle - kSweep * (m - 1) / 13.0);
        const QPointF dir(std::cos(a), -std::sin(a));
        const bool major = m == 1 || m == 14;
        p.setPen(QPen(QColor(40, 42, 46), major ? 1.6 : 1.1, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c + dir * (kSkirtRadius + 2.5), c + dir * (kSkirtRadius + (major ? 8.0 : 6.0)));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawEllipse(c + QPointF(1.5, 3), kSkirtRadius + 1, kSkirtRadius + 1);
    // The skirt.
    QConicalGradient skirt(c, 45);
    skirt.setColorAt(0.0, QColor(220, 222, 226));
    skirt.setColorAt(0.25, QColor(120, 124, 130));
    skirt.setColorAt(0.5, QColor(200, 203, 208));
    skirt.setColorAt(0.75, QColor(110, 114, 120));
    skirt.setColorAt(1.0, QColor(220, 222, 226));
    p.setBrush(skirt);
    p.setPen(QPen(QColor(70, 72, 78), 1));
    p.drawEllipse(c, kSkirtRadius, kSkirtRadius);
    // Knurled rim: dark grip body with fine ridges.
    p.setBrush(QColor(34, 36, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(c, kKnobRadius, kKnobRadius);
    for (int i = 0; i < 72; ++i) {
        const double a = 2 * M_PI * i / 72.0;
        const QPointF dir(std::cos(a), std::sin(a));
        const int shade = 70 + int(60 * (0.5 + 0.5 * std::cos(a + M_PI / 4)));
        p.setPen(QPen(QColor(shade, shade + 2, shade + 6), 1.2));
        p.drawLine(c + dir * (kKnobRadius - 6), c + dir * (kKnobRadius - 0.8));
    }
    // The cap: machined face with concentric sheen.
    const double capR = kKnobRadius - 7;
    QConicalGradient cap(c, 30);
    cap.setColorAt(0.0, QColor(70, 73, 78));
    cap.setColorAt(0.15, QColor(120, 124, 130));
    cap.setColorAt(0.35, QColor(52, 54, 58));
    cap.setColorAt(0.6, QColor(104, 108, 114));
    cap.setColorAt(0.8, QColor(46, 48, 52));
    cap.setColorAt(1.0, QColor(70, 73, 78));
    p.setBrush(cap);
    p.setPen(QPen(QColor(20, 21, 24), 1));
    p.drawEllipse(c, capR, capR);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, capR - 1.5, capR - 1.5);
}

void legends(QPainter& p) {
    engrave(p, QRectF(224, 258, 129, 16), QStringLiteral("MEMORY"), engraveFont(9, true, 1.5),
            QColor(60, 63, 68));
    engrave(p, QRectF(40, 258, 160, 20), QStringLiteral("QELVAR"), engraveFont(15, true, 4));
    engrave(p, QRectF(368, 258, 160, 20), QStringLiteral("WAV OSCILLATOR"),
            engraveFont(10, true, 1.6), QColor(60, 63, 68));
    // Thin rules that group the keys either side of the knob.
    p.setPen(QPen(QColor(120, 124, 130, 160), 1));
    p.drawLine(QPointF(48, 124.5), QPointF(193, 124.5));
    p.drawLine(QPointF(376, 124.5), QPointF(521, 124.5));
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(QPointF(48, 125.5), QPointF(193, 125.5));
    p.drawLine(QPointF(376, 125.5), QPointF(521, 125.5));
}

} // namespace

QPixmap paintFace(qreal dpr) {
    QPixmap pm(QSize(qCeil(kFaceWidth * dpr), qCeil(kFaceHeight * dpr)));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    brushedMetal(p);
    screw(p, QPointF(12, 12), 20);
    screw(p, QPointF(kFaceWidth - 12, 12), 65);
    screw(p, QPointF(12, kFaceHeight - 12), 110);
    screw(p, QPointF(kFaceWidth - 12, kFaceHeight - 12), 5);
    displayGlass(p);
    unitCaptions(p);
    for (const KeySpot& k : kKeys)
        if (*k.caption)
            keyCap(p, k);
    knurledKnob(p);
    legends(p);
    return pm;
}

void paintKnobPointer(QPainter& p, int memory) {
    if (memory < 1 || memory > 14)
        memory = 1;
    const double a = qDegreesToRadians(kFirstAngle - kSweep * (memory - 1) / 13.0);
    const QPointF dir(std::cos(a), -std::sin(a));
    const QPointF c = kKnobCentre;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 0, 120), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + dir * 14 + QPointF(0.6, 1.2), c + dir * (kKnobRadius - 11) + QPointF(0.6, 1.2));
    p.setPen(QPen(QColor(246, 246, 240), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + dir * 14, c + dir * (kKnobRadius - 11));
    p.restore();
}

} // namespace qelvar::panel
