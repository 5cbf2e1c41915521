#include "support/contrast.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

namespace qelvar::test {

namespace {

double luminance(const QColor& c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

QString textOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->pixmap().isNull() ? l->text() : QString();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    if (auto* t = qobject_cast<QTextEdit*>(w))
        return t->toPlainText();
    return {};
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double drawnContrast(QWidget* widget) {
    QWidget* surface = widget; // a text box draws on its viewport
    if (auto* a = qobject_cast<QAbstractScrollArea*>(widget))
        surface = a->viewport();
    const QImage image = surface->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect area = QRect(QPoint(0, 0), image.size()).adjusted(2, 2, -2, -2);
    if (area.isEmpty())
        return 21.0;
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    const QRgb background = std::max_element(counts.cbegin(), counts.cend()).key(); // most pixels
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrastRatio(QColor(it.key()), QColor(background)));
    return best;
}

std::vector<TextContrast> textContrasts(QWidget* root) {
    std::vector<TextContrast> out;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        const QString text = textOf(w).trimmed();
        if (text.isEmpty() || !w->isVisibleTo(root->window()) || w->size().isEmpty())
            continue;
        const QString name =
            w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName();
        out.push_back({name, text.left(40), drawnContrast(w)});
    }
    return out;
}

void useDarkPalette() {
    QPalette p;
    using P = QPalette;
    const std::pair<QRgb, std::vector<P::ColorRole>> colours[] = {
        {0x2b2b2b, {P::Window, P::AlternateBase}},
        {0xeaeaea, {P::WindowText, P::Text, P::ButtonText, P::ToolTipText}},
        {0x1e1e1e, {P::Base, P::ToolTipBase}},
        {0x3a3a3a, {P::Button}},
        {0x9a9a9a, {P::PlaceholderText}},
        {0x3d6eb4, {P::Highlight}},
        {0xffffff, {P::HighlightedText}}};
    for (const auto& [rgb, roles] : colours)
        for (auto role : roles)
            p.setColor(role, QColor::fromRgb(rgb));
    for (auto role : {P::Text, P::WindowText, P::ButtonText})
        p.setColor(P::Disabled, role, QColor(0x80, 0x80, 0x80));
    QApplication::setPalette(p);
}

} // namespace qelvar::test
