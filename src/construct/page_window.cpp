#include "construct/page_window.h"

#include "construct/indicator_box.h"
#include "ui/registry.h"

#include "help/help_window.h"
#include "ui/line_ends.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>

namespace qelvar::construct {

namespace {

const QString kWindow = QStringLiteral("page");
// A take's result comes a round trip (0.1 to 0.5 s) after its step ends.
constexpr int kPollMs = 20;

void showText(QLineEdit* box, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (box->text() != t)
        box->setText(t);
}

void showText(QPlainTextEdit* box, const std::string& text) {
    const QString t = ui::fromCrLf(QString::fromStdString(text));
    if (box->toPlainText() != t)
        box->setPlainText(t);
}

void showText(QLabel* label, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (label->text() != t)
        label->setText(t);
}

void showColour(IndicatorBox* box, unsigned colour) {
    if (box->colour() != colour)
        box->setColour(colour);
}

} // namespace

PageWindow::PageWindow(audio::SoundServices& snd, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(snd) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(kWindow);
    setWindowTitle(QStringLiteral("Tessaly"));
    ui::Registry::instance().addWindow(kWindow, this);
    model_.open();
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PageWindow::onTick);
    pollTimer_.setInterval(kPollMs);
    connect(&pollTimer_, &QTimer::timeout, this, &PageWindow::onPoll);
    buildLayout();
    refresh();
}

QLineEdit* PageWindow::numberBox(const QString& name, std::string* text, int chars) {
    auto* box = new QLineEdit(this);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int w = box->fontMetrics().horizontalAdvance(QString(chars, QChar('0')));
    box->setFixedWidth(w + 14);
    connect(box, &QLineEdit::textChanged, this,
            [text](const QString& t) { *text = t.toStdString(); });
    ui::Registry::instance().addControl(kWindow, name, box);
    return box;
}

QPushButton* PageWindow::button(const QString& name, const QString& caption,
                                std::function<void()> action) {
    auto* b = new QPushButton(caption, this);
    // Return presses the key that has the focus (Space does anyway).
    b->setAutoDefault(true);
    if (action)
        connect(b, &QPushButton::clicked, this, [this, action] { act(action); });
    ui::Registry::instance().addControl(kWindow, name, b);
    return b;
}

IndicatorBox* PageWindow::lamp(const QString& name) {
    auto* box = new IndicatorBox(this);
    ui::Registry::instance().addControl(kWindow, name, box);
    return box;
}

QCheckBox* PageWindow::includeBox(int element) {
    auto* box = new QCheckBox(this);
    box->setToolTip(tr("Check box to include in play sequence."));
    bool* state = &model_.controls().include[element];
    connect(box, &QCheckBox::toggled, this, [state](bool on) { *state = on; });
    ui::Registry::instance().addControl(kWindow, QStringLiteral("Include(%1)").arg(element), box);
    return box;
}

// Every click runs to its end, then the window shows the model again and
// sets the sequencer clock from it.
void PageWindow::act(const std::function<void()>& action) {
    action();
    refresh();
    syncTimer(false);
    syncPoll();
}

void PageWindow::onTick() {
    model_.tick();
    refresh();
    syncTimer(true);
    syncPoll();
}

void PageWindow::onPoll() {
    model_.pollTakes();
    refresh();
    syncPoll();
}

void PageWindow::syncPoll() {
    if (!model_.takesPending())
        pollTimer_.stop();
    else if (!pollTimer_.isActive())
        pollTimer_.start();
}

// A button leaves a running clock alone unless the interval changed; a tick
// always starts the next interval from now.
void PageWindow::syncTimer(bool restart) {
    const int ms = model_.interval();
    if (ms <= 0)
        timer_.stop();
    else if (restart || !timer_.isActive() || timer_.interval() != ms)
        timer_.start(ms);
}

void PageWindow::refresh() {
    const PageControls& c = model_.controls();
    for (std::size_t e = 0; e < freq_.size(); ++e) {
        showText(freq_[e], c.freq[e]);
        showText(attL_[e], c.attL[e]);
        showText(length_[e], c.length[e]);
    }
    for (std::size_t e = 0; e < attR_.size(); ++e) {
        showText(attR_[e], c.attR[e]);
        if (include_[e]->isChecked() != c.include[e])
            include_[e]->setChecked(c.include[e]);
    }
    for (std::size_t e = 0; e < indicator_.size(); ++e)
        showColour(indicator_[e], c.indicator[e]);
    for (int r = 1; r <= kRows; ++r) {
        showText(left_[r], c.left[r]);
        showText(right_[r], c.right[r]);
    }
    for (int i = 0; i < kLampCount; ++i)
        showColour(lamps_[i], c.lamps[i]);
    for (int i = 0; i < kSignalCount; ++i)
        showColour(signalLamps_[i], c.signalLamps[i]);
    showText(offset_, c.offset);
    showText(scratchpad_, c.scratchpad);
    showText(status_, c.status);
    showText(notes_, c.measureNotes);
}

void PageWindow::off() {
    timer_.stop();
    pollTimer_.stop();
    if (model_.off()) {
        saved_ = true;
        close();
    }
}

bool PageWindow::saveAsClosing() {
    timer_.stop();
    pollTimer_.stop();
    saved_ = model_.off();
    return saved_;
}

void PageWindow::closeEvent(QCloseEvent* event) {
    if (!saved_) {
        timer_.stop();
        pollTimer_.stop();
        saved_ = model_.off();
        refresh();
        if (!saved_ && quitting_)
            std::fprintf(stderr, "qelvar: the construction page's settings could not be saved\n");
        if (!saved_ && !quitting_ && !warned_) {
            warned_ = true; // the status line says why; the next close closes
            event->ignore();
            return;
        }
    }
    event->accept();
}

bool PageWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scratchpad_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::ControlModifier) {
            scratchpad_->insertPlainText(QStringLiteral("\t"));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PageWindow::help() {
    if (!help_) {
        auto* w = help::createPageHelp(nullptr);
        w->setAttribute(Qt::WA_DeleteOnClose);
        help_ = w;
    }
    static_cast<help::HelpWindow*>(help_.data())->present();
}

} // namespace qelvar::construct
