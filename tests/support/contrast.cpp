#include "support/contrast.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QHash>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace qelvar::test {

double contrastRatio(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

namespace {

// The contrast between the widget's most common colour (the background) and
// the one that stands out most from it (the text), less a 2-pixel margin.
double drawnContrast(QWidget* widget) {
    QWidget* surface = widget; // a text box draws on its viewport
    if (auto* a = qobject_cast<QAbstractScrollArea*>(widget))
        surface = a->viewport();
    const QImage image = surface->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect area = image.rect().adjusted(2, 2, -2, -2);
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    if (counts.isEmpty())
        return 21.0;
    const QColor background(std::max_element(counts.cbegin(), counts.cend()).key());
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrastRatio(QColor(it.key()), background));
    return best;
}

} // namespace

std::vector<TextContrast> textContrasts(QWidget* root) {
    std::vector<TextContrast> out;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        // Labels, buttons and line edits say "text"; text boxes "plainText".
        QString text = w->property("text").toString();
        if (text.isEmpty())
            text = w->property("plainText").toString();
        if (text.trimmed().isEmpty() || !w->isVisibleTo(root->window()) || w->size().isEmpty())
            continue;
        const QString name =
            w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName();
        out.push_back({name, text.trimmed().left(40), drawnContrast(w)});
    }
    return out;
}

// Qt works out the rest of a palette from its button and window colours:
// white text on black boxes for a dark window.
DarkDesktop::DarkDesktop() : before(QApplication::palette()) {
    QApplication::setPalette(QPalette(QColor(0x3a3a3a), QColor(0x2b2b2b)));
}

DarkDesktop::~DarkDesktop() {
    QApplication::setPalette(before);
}

} // namespace qelvar::test
