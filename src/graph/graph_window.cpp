#include "graph/graph_window.h"

#include "common/files.h"
#include "graph/graph_canvas.h"
#include "graph/sweep_window.h"
#include "ui/registry.h"
#include "ui/window_fit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>

#include <cmath>
#include <cstdio>
#include <utility>

namespace qelvar::graph {

GraphWindow::GraphWindow(const std::string& folder, QWidget* parent) : QMainWindow(parent) {
    model_.folder = folder;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Form4"));
    canvas_ = new GraphCanvas(this);
    setCentralWidget(canvas_);
    buildMenus();
    buildControls();
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Status"));
    status_->setAccessibleName(QStringLiteral("Status"));
    // A long message (a path) must not widen the window: it is cut at the
    // window's edge and shown whole as the tooltip.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(status_, 1);
    // The window manager's frame resizes it; no grip, so the default look stays.
    statusBar()->setSizeGripEnabled(false);
    buildRunControls();

    ui::Registry& reg = ui::Registry::instance();
    reg.addWindow(QStringLiteral("graph"), this);
    reg.addControl(QStringLiteral("graph"), QStringLiteral("Status"), status_);

    // Everything is drawn before the window is first shown.
    model_.loadForm();
    sync();
    setStatus(QString::fromStdString(writeProblem(folder)));
    connect(canvas_, &GraphCanvas::resized, this, &GraphWindow::placeLabels);
}

void GraphWindow::setVisible(bool visible) {
    // Fitted before it is shown, while the window manager can still place
    // it: a shown window that is not mapped yet would be moved to where
    // its frame is guessed to be.
    if (visible && !isVisible()) {
        // The default size, then as much of it as the screen has room for
        // (show() would cut it to two thirds of the screen).
        if (!testAttribute(Qt::WA_Resized))
            resize(sizeHint());
        ui::fitToScreen(this);
    }
    QMainWindow::setVisible(visible);
}

void GraphWindow::closeEvent(QCloseEvent* event) {
    // Every close saves as File > Exit does. Preferences that could not be
    // saved would be lost unseen: the form stays open once to say so; the
    // next close closes it regardless. At the session's end nobody is
    // there to see it: the reason goes to standard error and it closes.
    const bool exiting = std::exchange(exiting_, false);
    // A desktop session that ends closes its windows too.
    const bool quitting = closingForQuit_ || qApp->isSavingSession();
    if (!model_.exitSave()) {
        const QString file = QString::fromStdString(model_.folder + "/wavgraphsetup");
        if (quitting) {
            std::fprintf(stderr, "qelvar: graph preferences not saved: cannot write %s\n",
                         qPrintable(file));
        } else if (!exitWarned_) {
            exitWarned_ = true;
            const QString again =
                exiting ? QStringLiteral("Exit again") : QStringLiteral("closing again");
            setStatus(QStringLiteral("Cannot write %1: %2 closes without saving").arg(file, again));
            event->ignore();
            return;
        }
    }
    // A test run dies with the window; its sound stops with it.
    cancelReport();
    QMainWindow::closeEvent(event);
    event->accept();
}

namespace {

// The shortcut of a standard key, or `fallback` where the desktop has none
// (Quit on some platforms).
QList<QKeySequence> shortcutOf(QKeySequence::StandardKey key, const char* fallback) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty())
        keys.append(QKeySequence(QString::fromLatin1(fallback)));
    return keys;
}

// Menu captions with their mnemonics; the words are the captions'.
const struct {
    const char *name, *text;
} kMnemonics[] = {
    {"Mono", "&Mono"},     {"Redblue", "&Red Blue"}, {"Normal", "&Normal"}, {"Wide", "&Wide"},
    {"ref20", "&20"},      {"ref0", "&0"},           {"refneg20", "&-20"},  {"refneg40", "-&40"},
    {"range4", "&4"},      {"range8", "&8"},         {"range20", "&20"},    {"range40", "&40"},
    {"range80", "8&0"},    {"range120", "&120"},     {"Lonly", "&L only"},  {"Ronly", "&R only"},
    {"LandR", "L &and R"},
};

QString optionText(const OptionItem& item) {
    for (const auto& m : kMnemonics)
        if (std::string_view(m.name) == item.name)
            return QString::fromLatin1(m.text);
    return QString::fromLatin1(item.caption);
}

} // namespace

QAction* GraphWindow::addItem(QMenu* menu, const char* name, const QString& caption) {
    auto* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    ui::Registry::instance().addControl(QStringLiteral("graph"), QString::fromLatin1(name), a);
    actions_.push_back(a);
    return a;
}

void GraphWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* load = addItem(file, "mnuFileOpen", QStringLiteral("&Load"));
    load->setShortcuts(shortcutOf(QKeySequence::Open, "Ctrl+O"));
    connect(load, &QAction::triggered, this, &GraphWindow::mnuFileOpen);
    QAction* save = addItem(file, "mnuSave", QStringLiteral("&Save"));
    save->setShortcuts(shortcutOf(QKeySequence::Save, "Ctrl+S"));
    connect(save, &QAction::triggered, this, &GraphWindow::mnuSave);
    connect(addItem(file, "mnuExportCsv", QStringLiteral("&Export CSV...")), &QAction::triggered,
            this, &GraphWindow::mnuExportCsv);
    file->addSeparator();
    QAction* exit = addItem(file, "Exit", QStringLiteral("E&xit"));
    exit->setShortcuts(shortcutOf(QKeySequence::Quit, "Ctrl+Q"));
    connect(exit, &QAction::triggered, this, &GraphWindow::exitForm);

    QMenu* print = menuBar()->addMenu(QStringLiteral("&Print"));
    print->setObjectName(QStringLiteral("print"));
    QAction* plot = addItem(print, "plottoprint", QStringLiteral("&Plot to printer"));
    plot->setShortcuts(shortcutOf(QKeySequence::Print, "Ctrl+P"));
    connect(plot, &QAction::triggered, this, &GraphWindow::plottoprint);
    connect(addItem(print, "printscreen", QStringLiteral("Print&screen")), &QAction::triggered,
            this, &GraphWindow::printscreen);

    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuOption"));
    const struct {
        OptionGroup group;
        const char *name, *caption;
    } groups[] = {{OptionGroup::Color, "Color", "&Color"},
                  {OptionGroup::Linewidth, "Linewidth", "&Line Width"},
                  {OptionGroup::Reference, "reference", "&Reference"},
                  {OptionGroup::Range, "range", "R&ange"},
                  {OptionGroup::Channels, "channelsel", "C&hannels"}};
    for (const auto& g : groups) {
        QMenu* sub = options->addMenu(QString::fromLatin1(g.caption));
        sub->setObjectName(QString::fromLatin1(g.name));
        for (const OptionItem& item : kOptionItems) {
            if (item.group != g.group)
                continue;
            QAction* a = addItem(sub, item.name, optionText(item));
            a->setCheckable(true);
            options_.emplace_back(&item, a);
            connect(a, &QAction::triggered, this, [this, &item] { chooseOption(item); });
        }
    }

    QMenu* analysis = menuBar()->addMenu(QStringLiteral("A&nalysis"));
    analysis->setObjectName(QStringLiteral("mnuAnalysis"));
    QAction* thdn = addItem(analysis, "mnuThdN", QStringLiteral("Plot &THD+N"));
    thdn->setCheckable(true);
    connect(thdn, &QAction::toggled, this, &GraphWindow::mnuThdN);
    analysis->addSeparator();
    connect(addItem(analysis, "mnuReport", QStringLiteral("Sound-card &report...")),
            &QAction::triggered, this, &GraphWindow::mnuReport);
    connect(addItem(analysis, "mnuCheckSetup", QStringLiteral("Check &set-up")),
            &QAction::triggered, this, &GraphWindow::mnuCheckSetup);
    QAction* live = addItem(analysis, "mnuLiveInput", QStringLiteral("&Live input..."));
    live->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    connect(live, &QAction::triggered, this, &GraphWindow::liveInputRequested);
    connect(addItem(analysis, "mnuSweep", QStringLiteral("S&weep analysis...")),
            &QAction::triggered, this, &GraphWindow::mnuSweep);

    auto* clearAct = menuBar()->addAction(QStringLiteral("&Clear"));
    clearAct->setObjectName(QStringLiteral("Clear"));
    ui::Registry::instance().addControl(QStringLiteral("graph"), QStringLiteral("Clear"), clearAct);
    actions_.push_back(clearAct);
    connect(clearAct, &QAction::triggered, this, &GraphWindow::clear);
}

QLabel* GraphWindow::addLabel(const QString& name, double points) {
    auto* l = new QLabel(canvas_);
    l->setObjectName(name);
    l->setFont(labelFont(points));
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui::Registry::instance().addControl(QStringLiteral("graph"), name, l);
    return l;
}

void GraphWindow::buildControls() {
    canvas_->setObjectName(QStringLiteral("Picture1"));
    canvas_->setAccessibleName(QStringLiteral("Frequency response plot"));

    // The controls on the plot take the plot's colours (black on white,
    // GraphCanvas) whatever the desktop's palette.
    title_ = new QLineEdit(QString::fromLatin1(GraphModel::kTitle), canvas_);
    title_->setObjectName(QStringLiteral("Text1"));
    title_->setAccessibleName(QStringLiteral("Graph title"));
    title_->setFrame(false);
    title_->setFocusPolicy(Qt::ClickFocus);
    title_->setAlignment(Qt::AlignCenter);
    QFont tf = labelFont(9);
    tf.setBold(true);
    title_->setFont(tf);
    connect(title_, &QLineEdit::textChanged, this,
            [this](const QString& t) { model_.title = t.toStdString(); });
    ui::Registry::instance().addControl(QStringLiteral("graph"), QStringLiteral("Text1"), title_);

    for (int i = 0; i <= 10; ++i) {
        label1_[std::size_t(i)] = addLabel(QStringLiteral("Label1(%1)").arg(i), 8);
        label1_[std::size_t(i)]->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    label8_ = addLabel(QStringLiteral("Label8"), 8);
    label2_ = addLabel(QStringLiteral("Label2"), 8);
    label6_ = addLabel(QStringLiteral("Label6"), 8);
    label7_ = addLabel(QStringLiteral("Label7"), 8);
    label3_ = addLabel(QStringLiteral("Label3"), 10);
    label4_ = addLabel(QStringLiteral("Label4"), 10);
    label3_->setAccessibleName(QStringLiteral("Level axis: dB"));
    label4_->setAccessibleName(QStringLiteral("Frequency axis: hertz"));
}

void GraphWindow::placeLabels() {
    // 2880 twips from the left, 5775 wide, 255 high; above the top line,
    // centred over the same point of the plot at any size.
    title_->setGeometry(QRect(192, 2, 385, 17).translated(canvas_->shift(9140, -20).toPoint()));
    // The dB labels end a few pixels short of the plot, right-aligned, so
    // no caption ever reaches the 10 Hz line.
    const int plotLeft = canvas_->toPixel(1, 0).x();
    for (std::size_t i = 0; i < label1_.size(); ++i) {
        const LabelState& s = model_.label1[i];
        const QPoint at = canvas_->toPixel(s.left, s.top);
        const QString caption = QString::fromStdString(s.caption);
        label1_[i]->setText(caption);
        label1_[i]->setAccessibleName(QStringLiteral("%1 dB").arg(caption));
        // A mark the span does not use is not there, for a screen reader too.
        label1_[i]->setVisible(!caption.isEmpty());
        label1_[i]->setGeometry(at.x(), at.y(), plotLeft - 5 - at.x(), 14);
    }
    const std::pair<QLabel*, const LabelState*> fixed[] = {
        {label8_, &model_.label8}, {label2_, &model_.label2}, {label6_, &model_.label6},
        {label7_, &model_.label7}, {label3_, &model_.label3}, {label4_, &model_.label4}};
    for (auto [label, s] : fixed) {
        label->setText(QString::fromStdString(s->caption));
        label->adjustSize();
        label->move(canvas_->toPixel(s->left, s->top));
    }
    for (QLabel* hz : {label8_, label2_, label6_, label7_})
        hz->setAccessibleName(QStringLiteral("%1 Hz").arg(hz->text()));
}

void GraphWindow::describePlot() {
    const GraphPrefs& p = model_.prefs;
    const char* channels = p.chanL && p.chanR ? "left and right channels"
                           : p.chanL          ? "left channel"
                           : p.chanR          ? "right channel"
                                              : "no channel";
    int steps = 0;
    for (int i = 1; i <= GraphModel::kSteps; ++i)
        steps += model_.freq[std::size_t(i)] > 0 ? 1 : 0;
    canvas_->setAccessibleDescription(
        QStringLiteral("Level in dB against frequency from 10 Hz to 20 kHz, logarithmic; "
                       "top line at %1 dB, %2 dB from top to bottom; %3; %4 sweep steps")
            .arg(p.refdb)
            .arg(p.rangedb)
            .arg(QString::fromLatin1(channels))
            .arg(steps));
}

void GraphWindow::showPageData(const std::array<bool, GraphModel::kSteps + 1>& suspect) {
    model_.reloadData(suspect);
    sync();
}

void GraphWindow::sync() {
    placeLabels();
    describePlot();
    for (auto [item, a] : options_)
        a->setChecked(isChecked(model_.prefs, *item));
    canvas_->render(model_.surface);
}

void GraphWindow::setStatus(const QString& text) {
    status_->setText(text);
    status_->setToolTip(text);
}

QString GraphWindow::statusText() const {
    return status_->text();
}

QImage GraphWindow::image() const {
    return canvas_->image();
}

QImage GraphWindow::clientImage() const {
    return canvas_->grab().toImage();
}

QAction* GraphWindow::action(const QString& name) const {
    for (QAction* a : actions_)
        if (a->objectName() == name)
            return a;
    return nullptr;
}

void GraphWindow::chooseOption(const OptionItem& item) {
    model_.choose(item);
    sync();
}

void GraphWindow::clear() {
    model_.clearLevels();
    sync();
}

void GraphWindow::exitForm() {
    // The save and its rule are the close's (closeEvent).
    exiting_ = true;
    close();
    exiting_ = false;
}

ScreenScale GraphWindow::screenScale() const {
    const double twipsW = GraphCanvas::kWidth * 1440.0 / canvas_->logicalDpiX();
    const double twipsH = GraphCanvas::kHeight * 1440.0 / canvas_->logicalDpiY();
    return {22000.0 / twipsW, 460.0 / twipsH};
}

void GraphWindow::plottoprint() {
    const GraphModel::Printout out = model_.pemprint();
    const ScreenScale scale = screenScale();
    setStatus(printPage(this, QString::fromStdString(model_.folder), QStringLiteral("graphplot"),
                        [&](QPainter& p, const QRectF& page, double dx, double dy) {
                            paintPemprint(p, page, dx, dy, out, scale);
                        }));
}

void GraphWindow::printscreen() {
    const QImage shot = clientImage();
    const double dpi = canvas_->logicalDpiX();
    setStatus(printPage(this, QString::fromStdString(model_.folder), QStringLiteral("graphscreen"),
                        [&](QPainter& p, const QRectF& page, double dx, double dy) {
                            paintWindowImage(p, page, dx, dy, shot, dpi);
                        }));
}

// The page's steps as drawn on this form (included, on the axis), for the
// sweep window's response.
StepPoints GraphWindow::stepPoints() const {
    StepPoints p;
    for (std::size_t i = 1; i <= GraphModel::kSteps; ++i) {
        float x = 0;
        if (model_.rowflag[i] != 1 || !frequencyX(model_.freq[i], x))
            continue;
        p.hz.push_back(model_.freq[i]);
        p.db[0].push_back(model_.levelL[i]);
        p.db[1].push_back(model_.levelR[i]);
    }
    return p;
}

void GraphWindow::mnuSweep() {
    if (!sweep_)
        sweep_ = new SweepWindow(
            model_.folder, [this] { return stepPoints(); }, this);
    sweep_->show();
    sweep_->raise();
    sweep_->activateWindow();
}

} // namespace qelvar::graph
