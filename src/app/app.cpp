#include "app/app.h"

#include "construct/page_window.h"
#include "graph/graph_window.h"
#include "panel/panel_window.h"
#include "audio/sound.h"

namespace qelvar::app {

App::App(audio::SoundServices& sound, QObject* parent) : QObject(parent), sound_(sound) {}

void App::start() {
    auto* panel = new panel::PanelWindow(sound_);
    connect(panel, &panel::PanelWindow::userRequested, this, &App::showPage);
    panel_ = panel;
    panel_->show();
}

void App::showPage() {
    if (!page_) {
        auto* page = new construct::PageWindow(sound_);
        connect(page, &construct::PageWindow::viewGraphRequested, this, &App::showGraph);
        page_ = page;
    }
    page_->show();
    page_->raise();
    page_->activateWindow();
}

void App::showGraph() {
    if (!graph_)
        graph_ = new graph::GraphWindow();
    graph_->show();
    graph_->raise();
    graph_->activateWindow();
}

} // namespace qelvar::app
