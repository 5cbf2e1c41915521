// Is text readable? Reads the colours a widget actually drew, so it holds
// whatever set them: palette, style sheet or paint code.
#pragma once

#include <QColor>
#include <QString>

#include <vector>

class QWidget;

namespace qelvar::test {

// WCAG contrast ratio of two colours: 1 (same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// Draws `widget` and returns the contrast between its most common colour
// (the background) and the colour that stands out most from it (the text),
// over the widget's contents less a 2-pixel margin.
double drawnContrast(QWidget* widget);

struct TextContrast {
    QString widget; // object name, or class name without one
    QString text;
    double ratio;
};

// drawnContrast() of every visible label, button, line edit and text box
// with text inside `root` (root included).
std::vector<TextContrast> textContrasts(QWidget* root);

// A palette as dark desktop themes give: light text on near-black.
void useDarkPalette();

} // namespace qelvar::test
