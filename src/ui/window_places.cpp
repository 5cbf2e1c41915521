#include "ui/window_places.h"

#include <QApplication>
#include <QEvent>
#include <QSettings>
#include <QWidget>

namespace qelvar::ui {

namespace {

// A window is known by its title, which never changes; the property marks
// one whose place was already given back in this run.
constexpr const char* kGivenBack = "qelvarPlaceGivenBack";

QString keyOf(const QWidget* window) {
    QString title = window->windowTitle();
    title.replace(QLatin1Char(' '), QLatin1Char('_'));
    return QStringLiteral("windows/") + title;
}

bool watched(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    return w && w->isWindow() && !w->windowTitle().isEmpty() && w->windowType() != Qt::Dialog &&
           w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip;
}

} // namespace

WindowPlaces::WindowPlaces(QString file, QObject* parent)
    : QObject(parent), file_(std::move(file)) {
    qApp->installEventFilter(this);
}

WindowPlaces::~WindowPlaces() {
    qApp->removeEventFilter(this);
}

void WindowPlaces::keep(QWidget* window) {
    QSettings places(file_, QSettings::IniFormat);
    places.setValue(keyOf(window), window->saveGeometry());
    places.sync();
}

void WindowPlaces::giveBack(QWidget* window) {
    window->setProperty(kGivenBack, true);
    QSettings places(file_, QSettings::IniFormat);
    const QByteArray kept = places.value(keyOf(window)).toByteArray();
    // restoreGeometry() keeps the window on the screen it finds now.
    if (!kept.isEmpty())
        window->restoreGeometry(kept);
}

bool WindowPlaces::eventFilter(QObject* o, QEvent* event) {
    // Shown: before it is mapped, so the window manager places it there.
    // Hidden (closing hides too): while it still has its place.
    if (event->type() == QEvent::Show && watched(o)) {
        auto* w = static_cast<QWidget*>(o);
        if (!w->property(kGivenBack).toBool())
            giveBack(w);
    } else if (event->type() == QEvent::Hide && watched(o)) {
        keep(static_cast<QWidget*>(o));
    }
    return QObject::eventFilter(o, event);
}

} // namespace qelvar::ui
