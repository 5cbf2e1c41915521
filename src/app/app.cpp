#include "app/app.h"

#include "panel/sound/sound.h"
#include "ui/registry.h"

#if __has_include("panel/panel_window.h")
#include "panel/panel_window.h"
#define QELVAR_HAVE_PANEL 1
#endif
#if __has_include("construct/page_window.h")
#include "construct/page_window.h"
#define QELVAR_HAVE_PAGE 1
#endif
#if __has_include("graph/graph_window.h")
#include "graph/graph_window.h"
#define QELVAR_HAVE_GRAPH 1
#endif

#include <QLabel>

namespace qelvar::app {

App::App(sound::SoundServices& sound, QObject* parent) : QObject(parent), sound_(sound) {}

void App::start() {
#ifdef QELVAR_HAVE_PANEL
    auto* panel = new panel::PanelWindow(sound_);
    connect(panel, &panel::PanelWindow::userRequested, this, &App::showPage);
    panel_ = panel;
#else
    auto* placeholder = new QLabel("qelvar");
    placeholder->setAttribute(Qt::WA_DeleteOnClose);
    panel_ = placeholder;
    ui::Registry::instance().addWindow("panel", placeholder);
#endif
    panel_->show();
}

void App::showPage() {
#ifdef QELVAR_HAVE_PAGE
    if (!page_) {
        auto* page = new construct::PageWindow(sound_);
        connect(page, &construct::PageWindow::viewGraphRequested, this, &App::showGraph);
        page_ = page;
    }
    page_->show();
    page_->raise();
    page_->activateWindow();
#endif
}

void App::showGraph() {
#ifdef QELVAR_HAVE_GRAPH
    if (!graph_)
        graph_ = new graph::GraphWindow();
    graph_->show();
    graph_->raise();
    graph_->activateWindow();
#endif
}

} // namespace qelvar::app
