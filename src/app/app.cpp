#include "app/app.h"

#include "audio/sound.h"
#include "common/files.h"
#include "construct/page_window.h"
#include "graph/graph_window.h"
#include "graph/live_window.h"
#include "panel/panel_window.h"
#include "ui/registry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QShortcut>

namespace qelvar::app {

App::App(audio::SoundServices& sound, QObject* parent) : QObject(parent), sound_(sound) {}

void App::start() {
    auto* panel = new panel::PanelWindow(sound_);
    connect(panel, &panel::PanelWindow::userRequested, this, &App::showPage);
    panel->installEventFilter(this);
    // The panel is the program: once it is gone, so is every other window
    // (a help screen left open would keep the program and its lock alive).
    connect(panel, &QObject::destroyed, this, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                w->close();
        QCoreApplication::quit();
    });
    panel_ = panel;
    liveKey(panel_);
    panel_->show();
}

void App::liveKey(QWidget* w) {
    auto* key = new QShortcut(QKeySequence(QStringLiteral("Ctrl+L")), w);
    connect(key, &QShortcut::activated, this, &App::showLive);
}

void App::showLive() {
    if (!live_)
        live_ = new graph::LiveWindow(dataDir());
    live_->show();
    live_->raise();
    live_->activateWindow();
}

void App::showPage() {
    if (!page_) {
        auto* page = new construct::PageWindow(sound_);
        connect(page, &construct::PageWindow::viewGraphRequested, this, &App::showGraph);
        page_ = page;
        liveKey(page_);
    }
    page_->show();
    page_->raise();
    page_->activateWindow();
}

void App::showGraph() {
    std::array<bool, graph::GraphModel::kSteps + 1> suspect{};
    if (auto* page = qobject_cast<construct::PageWindow*>(page_.data()))
        for (int r = 1; r <= graph::GraphModel::kSteps; ++r)
            suspect[static_cast<std::size_t>(r)] =
                page->model().rowMarked(r) && !page->model().rowFailed(r);
    if (!graph_) {
        auto* graph = new graph::GraphWindow();
        connect(graph, &graph::GraphWindow::liveInputRequested, this, &App::showLive);
        graph_ = graph;
        // The graph has no help of its own: F1 there shows the construction
        // page's help, which covers it, or the main help once the page is gone.
        auto* f1 = new QShortcut(QKeySequence::HelpContents, graph_);
        connect(f1, &QShortcut::activated, this, [] {
            auto& names = ui::Registry::instance();
            auto* key = qobject_cast<QAbstractButton*>(names.control("page", "Help"));
            if (!key)
                key = qobject_cast<QAbstractButton*>(names.control("panel", "Label13"));
            if (key)
                key->click();
        });
    }
    if (auto* graph = qobject_cast<graph::GraphWindow*>(graph_.data()))
        graph->showPageData(suspect); // drawn afresh, also when it was open
    graph_->show();
    graph_->raise();
    graph_->activateWindow();
}

void App::bringForward() {
    for (QWidget* w : {graph_.data(), page_.data(), panel_.data()})
        if (w && w->isVisible()) {
            w->showNormal();
            w->raise();
            w->activateWindow();
        }
}

bool App::closeWorkWindows(bool quitting) {
    if (auto* graph = qobject_cast<graph::GraphWindow*>(graph_.data())) {
        graph->setClosingForQuit(quitting);
        if (graph->isVisible() && !graph->close())
            return false;
    }
    if (auto* page = qobject_cast<construct::PageWindow*>(page_.data())) {
        page->setClosingForQuit(quitting);
        if (page->isVisible() && !page->close())
            return false;
    }
    return true;
}

// The panel's Off, its window's close button and Ctrl+Q all come here
// before the panel closes.
bool App::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_ && event->type() == QEvent::Close && !closeWorkWindows(false)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void App::saveEverything() {
    if (auto* graph = qobject_cast<graph::GraphWindow*>(graph_.data()))
        graph->saveAsClosing();
    if (auto* page = qobject_cast<construct::PageWindow*>(page_.data()))
        page->saveAsClosing();
    if (auto* panel = qobject_cast<panel::PanelWindow*>(panel_.data()))
        panel->saveAsClosing();
}

void App::endSession() {
    closeWorkWindows(true);
    if (auto* panel = qobject_cast<panel::PanelWindow*>(panel_.data())) {
        panel->setClosingForQuit(true);
        panel->close();
    }
    // Help screens and anything else still open close with the program.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->close();
    QCoreApplication::quit();
}

} // namespace qelvar::app
