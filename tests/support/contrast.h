// Is text readable? Reads the colours a widget actually drew, so it holds
// whatever set them: palette, style sheet or paint code.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <vector>

class QWidget;

namespace qelvar::test {

// WCAG contrast ratio of two colours: 1 (same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

struct TextContrast {
    QString widget; // object name, or class name without one
    QString text;
    double ratio; // between the most common drawn colour and the one most unlike it
};

// The drawn contrast of every visible widget with text inside `root`.
std::vector<TextContrast> textContrasts(QWidget* root);

// The application's palette as a dark desktop theme gives it (light text on
// near-black) while it lives; the one before afterwards.
struct DarkDesktop {
    DarkDesktop();
    ~DarkDesktop();
    const QPalette before;
};

} // namespace qelvar::test
