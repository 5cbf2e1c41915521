#include "graph/graph_window.h"

#include "common/files.h"
#include "graph/graph_canvas.h"
#include "ui/registry.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>

#include <cmath>

namespace qelvar::graph {

GraphWindow::GraphWindow(QWidget* parent) : QMainWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Form4"));
    canvas_ = new GraphCanvas(this);
    setCentralWidget(canvas_);
    buildMenus();
    buildControls();
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Status"));
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(false);

    ui::Registry& reg = ui::Registry::instance();
    reg.addWindow(QStringLiteral("graph"), this);
    reg.addControl(QStringLiteral("graph"), QStringLiteral("Status"), status_);

    // Everything is drawn before the window is first shown.
    model_.loadForm();
    sync();
    setStatus(QString::fromStdString(writeProblem(dataDir())));
    // The window keeps the size it opened with: the plot is laid out for it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QAction* GraphWindow::addItem(QMenu* menu, const char* name, const QString& caption) {
    auto* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    ui::Registry::instance().addControl(QStringLiteral("graph"), QString::fromLatin1(name), a);
    actions_.push_back(a);
    return a;
}

void GraphWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    connect(addItem(file, "mnuFileOpen", QStringLiteral("Load")), &QAction::triggered, this,
            &GraphWindow::mnuFileOpen);
    connect(addItem(file, "mnuSave", QStringLiteral("Save")), &QAction::triggered, this,
            &GraphWindow::mnuSave);
    connect(addItem(file, "Exit", QStringLiteral("Exit")), &QAction::triggered, this,
            &GraphWindow::exitForm);

    QMenu* print = menuBar()->addMenu(QStringLiteral("Print"));
    print->setObjectName(QStringLiteral("print"));
    connect(addItem(print, "plottoprint", QStringLiteral("Plot to printer")), &QAction::triggered,
            this, &GraphWindow::plottoprint);
    connect(addItem(print, "printscreen", QStringLiteral("Printscreen")), &QAction::triggered, this,
            &GraphWindow::printscreen);

    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("mnuOption"));
    const struct {
        OptionGroup group;
        const char *name, *caption;
    } groups[] = {{OptionGroup::Color, "Color", "Color"},
                  {OptionGroup::Linewidth, "Linewidth", "Line Width"},
                  {OptionGroup::Reference, "reference", "Reference"},
                  {OptionGroup::Range, "range", "Range"},
                  {OptionGroup::Channels, "channelsel", "Channels"}};
    for (const auto& g : groups) {
        QMenu* sub = options->addMenu(QString::fromLatin1(g.caption));
        sub->setObjectName(QString::fromLatin1(g.name));
        for (const OptionItem& item : kOptionItems) {
            if (item.group != g.group)
                continue;
            QAction* a = addItem(sub, item.name, QString::fromLatin1(item.caption));
            a->setCheckable(true);
            options_.emplace_back(&item, a);
            connect(a, &QAction::triggered, this, [this, &item] { chooseOption(item); });
        }
    }

    auto* clearAct = menuBar()->addAction(QStringLiteral("Clear"));
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
    title_ = new QLineEdit(QString::fromLatin1(GraphModel::kTitle), canvas_);
    title_->setObjectName(QStringLiteral("Text1"));
    title_->setFrame(false);
    title_->setFocusPolicy(Qt::ClickFocus);
    title_->setAlignment(Qt::AlignCenter);
    QFont tf = labelFont(9);
    tf.setBold(true);
    title_->setFont(tf);
    // 2880 twips from the left, 5775 wide, 255 high; above the top line.
    title_->setGeometry(192, 2, 385, 17);
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
}

void GraphWindow::placeLabels() {
    // The dB labels end a few pixels short of the plot, right-aligned, so
    // no caption ever reaches the 10 Hz line.
    const int plotLeft = canvas_->toPixel(1, 0).x();
    for (std::size_t i = 0; i < label1_.size(); ++i) {
        const LabelState& s = model_.label1[i];
        const QPoint at = canvas_->toPixel(s.left, s.top);
        label1_[i]->setText(QString::fromStdString(s.caption));
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
}

void GraphWindow::sync() {
    placeLabels();
    for (auto [item, a] : options_)
        a->setChecked(isChecked(model_.prefs, *item));
    canvas_->render(model_.surface);
}

void GraphWindow::setStatus(const QString& text) {
    status_->setText(text);
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
    // Preferences that could not be saved would be lost unseen: the form
    // stays open once to say so; the next Exit closes it regardless.
    if (!model_.exitSave() && !exitWarned_) {
        exitWarned_ = true;
        setStatus(QStringLiteral("Cannot write %1: Exit again closes without saving")
                      .arg(QString::fromStdString(dataPath("wavgraphsetup"))));
        return;
    }
    close();
}

ScreenScale GraphWindow::screenScale() const {
    const double twipsW = GraphCanvas::kWidth * 1440.0 / canvas_->logicalDpiX();
    const double twipsH = GraphCanvas::kHeight * 1440.0 / canvas_->logicalDpiY();
    return {22000.0 / twipsW, 460.0 / twipsH};
}

void GraphWindow::plottoprint() {
    const GraphModel::Printout out = model_.pemprint();
    const ScreenScale scale = screenScale();
    setStatus(printPage(QStringLiteral("graphplot.pdf"), noPrinter(),
                        [&](QPainter& p, const QRectF& page, double dx, double dy) {
                            paintPemprint(p, page, dx, dy, out, scale);
                        }));
}

void GraphWindow::printscreen() {
    const QImage shot = clientImage();
    const double dpi = canvas_->logicalDpiX();
    setStatus(printPage(QStringLiteral("graphscreen.pdf"), noPrinter(),
                        [&](QPainter& p, const QRectF& page, double dx, double dy) {
                            paintWindowImage(p, page, dx, dy, shot, dpi);
                        }));
}

} // namespace qelvar::graph
