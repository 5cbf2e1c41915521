// The page's controls laid out as an instrument page: the sweep table on
// the left, the sequencer, pulse and measurement groups in the middle, the
// test signals, noise and scratchpad on the right.
#include "construct/indicator_box.h"
#include "construct/page_window.h"
#include "ui/line_ends.h"
#include "ui/registry.h"
#include "ui/window_fit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace qelvar::construct {

namespace {

QLabel* caption(const QString& text, QWidget* parent, Qt::Alignment align = Qt::AlignCenter) {
    auto* l = new QLabel(text, parent);
    l->setAlignment(align);
    return l;
}

QLabel* note(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    QFont f = l->font();
    f.setItalic(true);
    l->setFont(f);
    return l;
}

// A button with its indicator box on the right.
QHBoxLayout* withLamp(QPushButton* b, IndicatorBox* lamp) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    row->addWidget(b, 1);
    row->addWidget(lamp);
    return row;
}

} // namespace

void PageWindow::buildLayout() {
    auto* columns = new QHBoxLayout;
    columns->setSpacing(8);
    columns->addWidget(makeTable(), 0, Qt::AlignTop);

    auto* middle = new QVBoxLayout;
    middle->addWidget(makeSequencer());
    middle->addWidget(makePulse());
    middle->addWidget(makeMeasurement());
    middle->addStretch(1);
    columns->addLayout(middle);

    auto* right = new QVBoxLayout;
    right->addWidget(makeSignals());
    right->addWidget(makeNoise());
    right->addWidget(makeScratchpad(), 1);
    auto* closing = new QHBoxLayout;
    closing->addWidget(button("Help", "HELP", [this] { help(); }));
    closing->addWidget(button("Off", "OFF", [this] { off(); }));
    right->addLayout(closing);
    columns->addLayout(right, 1);

    // The page scrolls where the screen is smaller than the page (a laptop
    // at 150 %); on a screen large enough it opens at its full size.
    auto* inner = new QWidget;
    auto* page = new QVBoxLayout(inner);
    page->setContentsMargins(10, 8, 10, 10);
    page->addWidget(makeTitle());
    page->addLayout(columns, 1);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(inner);
    // What the page says (its status box, the sweep's notes) sits in a bar
    // below the scrolled part: in view whatever part of the page is.
    auto* whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->setSpacing(0);
    whole->addWidget(scroll, 1);
    QWidget* messages = makeMessageBar();
    whole->addWidget(messages);
    makeHidden();
    setTabOrder();
    nameForScreenReaders();
    addShortcuts();
    // The whole page and its bar where the screen has room for them.
    resize(inner->sizeHint() + QSize(0, messages->sizeHint().height()));
    ui::fitToScreen(this);
}

// F1 is the page's HELP; Ctrl+Q closes the page as OFF does. The main keys
// have Alt shortcuts, named in their tooltips, so that a sweep is set up,
// measured and drawn from the keyboard in a few keys; Return presses the
// key that has the focus, as Space does.
void PageWindow::addShortcuts() {
    auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
    connect(helpKey, &QShortcut::activated, this, [this] { help(); });
    auto* quitKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quitKey, &QShortcut::activated, this, &QWidget::close);
    static const struct {
        const char *control, *keys, *what;
    } kKeys[] = {
        {"Play", "Alt+P", "Play the sweep"},
        {"Stop", "Alt+S", "Stop the sweep"},
        {"Loop", "Alt+L", "Play the sweep over and over"},
        {"Step", "Alt+T", "Play the next step"},
        {"AutobuildAll", "Alt+A", "Build every step's file"},
        {"FullDuplex", "Alt+D", "Measure while the sweep plays"},
        {"SetCal", "Alt+C", "Take the last sweep as the calibration"},
        {"UseCal", "Alt+U", "Read against the calibration"},
        {"ViewGraph", "Alt+G", "Draw the measured sweep"},
        {"Help", "F1", "Show the page's help"},
        {"Off", "Alt+O", "Save and close the page"},
    };
    for (const auto& k : kKeys) {
        auto* b = qobject_cast<QPushButton*>(ui::Registry::instance().control(
            QStringLiteral("page"), QString::fromLatin1(k.control)));
        if (!b)
            continue;
        const QKeySequence keys(QString::fromLatin1(k.keys));
        if (keys != QKeySequence(QKeySequence::HelpContents))
            b->setShortcut(keys);
        b->setToolTip(QStringLiteral("%1 (%2)").arg(QString::fromLatin1(k.what),
                                                    keys.toString(QKeySequence::NativeText)));
    }
}

QWidget* PageWindow::makeTitle() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("Quorlane Laboratories Tessaly"), bar);
    QFont f = title->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    title->setFont(f);
    row->addWidget(title);
    row->addStretch(1);
    return bar;
}

QWidget* PageWindow::makeMessageBar() {
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("MessageBar"));
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setFrameShadow(QFrame::Sunken);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(10, 4, 10, 4);
    row->addWidget(makeNotes(), 1);
    status_ = new QPlainTextEdit(bar);
    status_->setReadOnly(true);
    status_->setFocusPolicy(Qt::ClickFocus);
    status_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    status_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    status_->setFixedHeight(status_->fontMetrics().height() + 12);
    status_->setFixedWidth(status_->fontMetrics().horizontalAdvance(QString(44, 'x')));
    connect(status_, &QPlainTextEdit::textChanged, this, [this] {
        model_.controls().status = ui::toCrLf(status_->toPlainText()).toStdString();
    });
    ui::Registry::instance().addControl("page", "Status", status_);
    row->addWidget(status_, 0, Qt::AlignTop);
    return bar;
}

QGroupBox* PageWindow::makeTable() {
    auto* group = new QGroupBox(tr("Sweep table"), this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    PageControls& c = model_.controls();
    grid->addWidget(caption("FREQUENCY", group), 0, 1);
    grid->addWidget(caption("Left   ATT(-dB)   Right", group), 0, 2, 1, 2);
    grid->addWidget(caption("LENGTH (ms)", group), 0, 4);
    grid->addWidget(caption("- Relative dB -", group), 0, 8, 1, 2);
    grid->addWidget(caption("LEFT", group), 1, 8);
    grid->addWidget(caption("RIGHT", group), 1, 9);
    for (int r = 1; r <= kRows; ++r) {
        const int e = r - 1, row = r + 1;
        const QString el = QString::number(e);
        grid->addWidget(
            caption(QStringLiteral("Freq %1").arg(r), group, Qt::AlignLeft | Qt::AlignVCenter), row,
            0);
        grid->addWidget(freq_[e] = numberBox("Freq(" + el + ")", &c.freq[e], 5), row, 1);
        grid->addWidget(attL_[e] = numberBox("AttL(" + el + ")", &c.attL[e], 4), row, 2);
        grid->addWidget(attR_[e] = numberBox("AttR(" + el + ")", &c.attR[e], 4), row, 3);
        grid->addWidget(length_[e] = numberBox("Length(" + el + ")", &c.length[e], 5), row, 4);
        grid->addWidget(include_[e] = includeBox(e), row, 5, Qt::AlignCenter);
        grid->addWidget(indicator_[e] = lamp("Indicator(" + el + ")"), row, 6, Qt::AlignCenter);
        build_[e] = button("Build(" + el + ")", "BUILD", [this, r] { model_.build(r); });
        build_[e]->setFixedWidth(build_[e]->fontMetrics().horizontalAdvance("BUILD") + 28);
        grid->addWidget(build_[e], row, 7);
        const QString rr = QString::number(r);
        grid->addWidget(left_[r] = numberBox("Left(" + rr + ")", &c.left[r], 6), row, 8);
        grid->addWidget(right_[r] = numberBox("Right(" + rr + ")", &c.right[r], 6), row, 9);
    }
    auto* box = new QVBoxLayout(group);
    box->addLayout(grid);
    box->addWidget(note("Check box to include in play sequence.", group));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(
        button("AutobuildAll", "AUTOBUILD ALL FREQS", [this] { model_.autobuildAll(); }), 2);
    buttons->addWidget(button("LOff", "L  OFF", [this] { model_.lOff(); }), 1);
    buttons->addWidget(button("ROff", "R OFF", [this] { model_.rOff(); }), 1);
    buttons->addWidget(button("LOn", "L ON", [this] { model_.lOn(); }), 1);
    buttons->addWidget(button("ROn", "R ON", [this] { model_.rOn(); }), 1);
    box->addLayout(buttons);
    return group;
}

QGroupBox* PageWindow::makeSequencer() {
    auto* group = new QGroupBox(tr("Sequencer"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(button("Play", "PLAY", [this] { model_.play(); }), 0, 0);
    auto* stop = button("Stop", "STOP", [this] { model_.stop(); });
    grid->addLayout(withLamp(stop, lamps_[int(Lamp::Play)] = lamp("PlayLamp")), 0, 1);
    auto* loop = button("Loop", "LOOP", [this] { model_.loop(); });
    grid->addLayout(withLamp(loop, lamps_[int(Lamp::Loop)] = lamp("LoopLamp")), 1, 0);
    auto* step = button("Step", "STEP", [this] { model_.step(); });
    grid->addLayout(withLamp(step, lamps_[int(Lamp::Step)] = lamp("StepLamp")), 1, 1);
    return group;
}

QGroupBox* PageWindow::makePulse() {
    auto* group = new QGroupBox(tr("Pulse"), this);
    auto* grid = new QGridLayout(group);
    PageControls& c = model_.controls();
    const QStringList labels{"Freq-on", "Att-on", "T-on", "T-off", "Att-off"};
    for (int i = 0; i < labels.size(); ++i)
        grid->addWidget(caption(labels[i], group), 0, i);
    grid->addWidget(freq_[20] = numberBox("Freq(20)", &c.freq[20], 5), 1, 0);
    grid->addWidget(attL_[20] = numberBox("AttL(20)", &c.attL[20], 4), 1, 1);
    grid->addWidget(length_[20] = numberBox("Length(20)", &c.length[20], 5), 1, 2);
    grid->addWidget(length_[21] = numberBox("Length(21)", &c.length[21], 5), 1, 3);
    grid->addWidget(attL_[21] = numberBox("AttL(21)", &c.attL[21], 4), 1, 4);
    grid->addWidget(caption("(ms)", group), 2, 2, 1, 2);
    grid->addWidget(build_[20] = button("Build(20)", "BUILD", [this] { model_.build(kPulseOn); }),
                    3, 0, 1, 2);
    auto* pulse = button("Pulse", "PULSE", [this] { model_.pulse(); });
    grid->addLayout(withLamp(pulse, lamps_[int(Lamp::Pulse)] = lamp("PulseLamp")), 3, 2, 1, 3);
    return group;
}

QGroupBox* PageWindow::makeMeasurement() {
    auto* group = new QGroupBox(tr("Measurement"), this);
    auto* grid = new QGridLayout(group);
    auto lampRow = [&](int row, const QString& name, const QString& text, Lamp l,
                       std::function<void()> action) {
        grid->addWidget(button(name, text, std::move(action)), row, 0);
        grid->addWidget(lamps_[int(l)] = lamp(name + "Lamp"), row, 1);
    };
    lampRow(0, "FullDuplex", "FULL DUPLEX", Lamp::FullDuplex, [this] { model_.fullDuplex(); });
    lampRow(1, "UseCal", "USE CAL", Lamp::UseCal, [this] { model_.useCal(); });
    grid->addWidget(button("OffsetDb", "OFFSET DB", [this] { model_.offsetDb(); }), 2, 0);
    grid->addWidget(lamps_[int(Lamp::Offset)] = lamp("OffsetLamp"), 2, 1);
    grid->addWidget(offset_ = numberBox("Offset", &model_.controls().offset, 5), 2, 2);
    grid->addWidget(button("SetCal", "SET CAL", [this] { model_.setCal(); }), 3, 0);
    grid->addWidget(button("ViewGraph", "VIEW GRAPH",
                           [this] {
                               if (model_.viewGraph())
                                   emit viewGraphRequested();
                           }),
                    4, 0);
    grid->addWidget(note("Note: Full Duplex initiates frequency response measurements.", group), 5,
                    0, 1, 3);
    return group;
}

// What went wrong with the last sweep's takes, in the user's words; empty
// (and taking no room) after a clean sweep.
QLabel* PageWindow::makeNotes() {
    notes_ = new QLabel(this);
    notes_->setWordWrap(true);
    notes_->setTextFormat(Qt::PlainText);
    notes_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notes_->setContentsMargins(4, 2, 4, 2);
    // Brick red on a light page, a light coral on a dark one.
    QPalette p = notes_->palette();
    const bool dark = p.color(QPalette::Window).lightness() < 128;
    p.setColor(QPalette::WindowText, dark ? QColor(0xff, 0x8a, 0x7a) : QColor(0x9a, 0x1c, 0x10));
    notes_->setPalette(p);
    ui::Registry::instance().addControl("page", "MeasureNotes", notes_);
    return notes_;
}

QGroupBox* PageWindow::makeSignals() {
    auto* group = new QGroupBox(tr("Test signals"), this);
    auto* grid = new QGridLayout(group);
    struct Entry {
        const char* name;
        const char* text;
        Signal s;
    };
    const Entry entries[] = {{"Command20", "SQUARE", Signal::Square},
                             {"Command30", "TRIANGLE", Signal::Triangle},
                             {"Command24", "SMPTE", Signal::Smpte},
                             {"Command25", "CCIF", Signal::Ccif}};
    int i = 0;
    for (const Entry& e : entries) {
        const int k = int(e.s);
        auto* b = button(e.name, e.text, [this, s = e.s] { model_.testSignal(s); });
        auto* l = signalLamps_[k] = lamp(QStringLiteral("Text%1").arg(18 + k));
        grid->addLayout(withLamp(b, l), i / 2, i % 2);
        ++i;
    }
    return group;
}

QGroupBox* PageWindow::makeNoise() {
    auto* group = new QGroupBox(tr("NOISE"), this);
    auto* grid = new QGridLayout(group);
    // The run holds the page until it ends; the cursor says so.
    grid->addWidget(button("Command29", "NOISE FILE CREATION",
                           [this] {
                               QApplication::setOverrideCursor(Qt::WaitCursor);
                               model_.noiseFileCreation();
                               QApplication::restoreOverrideCursor();
                           }),
                    0, 0);
    grid->addWidget(note("Allow 2-3 minutes to create.", group), 0, 1);
    struct Entry {
        const char* name;
        const char* text;
        Signal s;
    };
    const Entry entries[] = {
        {"Command21", "WHT", Signal::White}, {"Command28", "PINK", Signal::Pink},
        {"Command23", "UL", Signal::Ul},     {"Command22", "IEC", Signal::Iec},
        {"Command27", "SUB", Signal::Sub},   {"Command26", "CSA", Signal::Csa}};
    int i = 0;
    for (const Entry& e : entries) {
        const int k = int(e.s);
        auto* b = button(e.name, e.text, [this, s = e.s] { model_.testSignal(s); });
        auto* l = signalLamps_[k] = lamp(QStringLiteral("Text%1").arg(18 + k));
        grid->addLayout(withLamp(b, l), 1 + i / 2, i % 2);
        ++i;
    }
    return group;
}

QGroupBox* PageWindow::makeScratchpad() {
    auto* group = new QGroupBox(tr("Scratchpad"), this);
    auto* box = new QVBoxLayout(group);
    scratchpad_ = new QPlainTextEdit(group);
    scratchpad_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    scratchpad_->setMinimumHeight(120);
    // Tab leaves the scratchpad like any other box; Ctrl+Tab types a tab.
    scratchpad_->setTabChangesFocus(true);
    scratchpad_->installEventFilter(this);
    connect(scratchpad_, &QPlainTextEdit::textChanged, this, [this] {
        model_.controls().scratchpad = ui::toCrLf(scratchpad_->toPlainText()).toStdString();
    });
    ui::Registry::instance().addControl("page", "Scratchpad", scratchpad_);
    box->addWidget(scratchpad_, 1);
    box->addWidget(button("PasteToNotes", "PASTE TO NOTES", [this] { model_.pasteToNotes(); }));
    return group;
}

// The hidden elements of the control arrays: they hold values the sweep
// table carries but the page never shows.
void PageWindow::makeHidden() {
    PageControls& c = model_.controls();
    freq_[21] = numberBox("Freq(21)", &c.freq[21]);
    freq_[21]->hide();
    for (int e = 20; e <= 24; ++e) {
        const QString el = QString::number(e);
        attR_[e] = numberBox("AttR(" + el + ")", &c.attR[e]);
        attR_[e]->hide();
        include_[e] = includeBox(e);
        include_[e]->hide();
        if (e <= 23) {
            indicator_[e] = lamp("Indicator(" + el + ")");
            indicator_[e]->hide();
        }
    }
}

// Tab follows the groups: the table row by row and its buttons, then the
// sequencer, pulse and measurement groups, the test signals, the noise
// buttons, the scratchpad, HELP and OFF.
void PageWindow::setTabOrder() {
    QWidget* prev = nullptr;
    auto next = [&](QWidget* w) {
        if (prev)
            QWidget::setTabOrder(prev, w);
        prev = w;
    };
    auto named = [&](std::initializer_list<const char*> names) {
        for (const char* n : names)
            next(qobject_cast<QWidget*>(ui::Registry::instance().control("page", n)));
    };
    for (int e = 0; e < kRows; ++e)
        for (QWidget* w :
             std::initializer_list<QWidget*>{freq_[e], attL_[e], attR_[e], length_[e], include_[e],
                                             build_[e], left_[e + 1], right_[e + 1]})
            next(w);
    named({"AutobuildAll", "LOff", "ROff", "LOn", "ROn", "Play", "Stop", "Loop", "Step"});
    for (QWidget* w : std::initializer_list<QWidget*>{freq_[20], attL_[20], length_[20],
                                                      length_[21], attL_[21], build_[20]})
        next(w);
    named({"Pulse", "FullDuplex", "UseCal", "OffsetDb", "Offset", "SetCal", "ViewGraph",
           "Command20", "Command30", "Command24", "Command25", "Command29", "Command21",
           "Command28", "Command23", "Command22", "Command27", "Command26"});
    next(scratchpad_);
    named({"PasteToNotes", "Help", "Off"});
}

// Names a screen reader speaks for the boxes and lamps that have no text of
// their own.
void PageWindow::nameForScreenReaders() {
    for (int r = 1; r <= kRows; ++r) {
        const int e = r - 1;
        const QString step = QStringLiteral(", step %1").arg(r);
        freq_[e]->setAccessibleName(tr("Frequency (Hz)") + step);
        attL_[e]->setAccessibleName(tr("Left attenuation (dB)") + step);
        attR_[e]->setAccessibleName(tr("Right attenuation (dB)") + step);
        length_[e]->setAccessibleName(tr("Length (ms)") + step);
        include_[e]->setAccessibleName(tr("Include in play sequence") + step);
        indicator_[e]->setAccessibleName(tr("Indicator") + step);
        build_[e]->setAccessibleName(tr("Build") + step);
        left_[r]->setAccessibleName(tr("Left relative dB") + step);
        right_[r]->setAccessibleName(tr("Right relative dB") + step);
    }
    freq_[20]->setAccessibleName(tr("Pulse frequency on (Hz)"));
    attL_[20]->setAccessibleName(tr("Pulse attenuation on (dB)"));
    length_[20]->setAccessibleName(tr("Pulse time on (ms)"));
    length_[21]->setAccessibleName(tr("Pulse time off (ms)"));
    attL_[21]->setAccessibleName(tr("Pulse attenuation off (dB)"));
    build_[20]->setAccessibleName(tr("Build pulse"));
    offset_->setAccessibleName(tr("Offset (dB)"));
    scratchpad_->setAccessibleName(tr("Scratchpad"));
    status_->setAccessibleName(tr("Status"));
    notes_->setAccessibleName(tr("Measurement notes"));
    const std::pair<Lamp, const char*> lamps[] = {{Lamp::Play, "Playing"},
                                                  {Lamp::Loop, "Loop"},
                                                  {Lamp::Step, "Step"},
                                                  {Lamp::FullDuplex, "Full duplex"},
                                                  {Lamp::UseCal, "Use calibration"},
                                                  {Lamp::Offset, "Offset"},
                                                  {Lamp::Pulse, "Pulse"}};
    for (const auto& [l, name] : lamps)
        lamps_[int(l)]->setAccessibleName(tr(name) + tr(" lamp"));
    const char* signalNames[] = {"SQUARE", "SMPTE", "CCIF", "IEC", "WHT",
                                 "UL",     "PINK",  "CSA",  "SUB", "TRIANGLE"};
    for (int i = 0; i < kSignalCount; ++i)
        signalLamps_[i]->setAccessibleName(QString::fromLatin1(signalNames[i]) + tr(" lamp"));
}

} // namespace qelvar::construct
