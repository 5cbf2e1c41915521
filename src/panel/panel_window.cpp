#include "panel/panel_window.h"

#include "common/files.h"
#include "help/help_window.h"
#include "panel/panel_controls.h"
#include "panel/panel_face.h"
#include "ui/registry.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QShortcut>
#include <QTimer>

#include <cstdio>

namespace qelvar::panel {
namespace {

constexpr int kStatusHeight = 20;
// The sound layer may learn only a moment after start-up that there is no
// device; look for its message for a few seconds.
constexpr int kSoundPollMs = 250;
constexpr int kSoundPolls = 20;
constexpr int kSoundLatePollMs = 1000;

// What each key does, and its keyboard shortcut, in the order Tab visits
// them: the face read left to right, top to bottom. Alt+letter leaves plain
// typing to the entry boxes.
struct KeyUse {
    const char* control;
    const char* what;
    const char* shortcut;
};
const KeyUse kKeyUses[] = {
    {"Label16", "Play the tone", "Alt+P"},
    {"Label17", "Stop the tone", "Alt+S"},
    {"Label34", "Next memory (1 to 14)", "Alt+K"},
    {"Label18", "Save the memories and switch off", "Alt+O"},
    {"Label19", "Minimise the panel; the tone goes on", "Alt+N"},
    {"Label35", "Enter the left attenuation in dB; again to accept", "Alt+L"},
    {"Label37", "Enter the right attenuation in dB; again to accept", "Alt+R"},
    {"Label36", "Enter the frequency in Hz; again to accept", "Alt+F"},
    {"Label13", "Show the help screen", "F1"},
    {"Label12", "Next mode", "Alt+M"},
    {"Label14", "Next sample rate", "Alt+A"},
    {"Label15", "Next sample width", "Alt+B"},
    {"Label21", "Show the construction page", "Alt+U"},
};

// What a screen reader calls the readouts Label1..Label7.
const char* const kReadoutNames[] = {
    "Left attenuation, dB",  "Mode", "Memory", "Frequency, Hz", "Sample rate", "Bits",
    "Right attenuation, dB",
};

} // namespace

PanelWindow::PanelWindow(audio::SoundServices& snd, QWidget* parent) : QWidget(parent), snd_(snd) {
    help_ = help::createMainHelp();
    help_->setAttribute(Qt::WA_DeleteOnClose);
    model_ = std::make_unique<PanelModel>(snd_, dataDir());
    setObjectName(QStringLiteral("panel"));
    setWindowTitle(QStringLiteral("Qelvar"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    registerControls();
    connectKeys();
    setUpKeyboard();
    soundPoll_ = new QTimer(this);
    soundPoll_->setInterval(kSoundPollMs);
    pollsLeft_ = kSoundPolls;
    connect(soundPoll_, &QTimer::timeout, this, &PanelWindow::pollSound);
    soundPoll_->start();
    soundStatus_ = QString::fromStdString(snd_.statusText());
    soundWorked_ = snd_.readiness() == audio::Readiness::Ready;
    refresh();
}

PanelWindow::~PanelWindow() {
    // A help screen nobody can see would keep nothing alive but memory.
    if (help_ && !help_->isVisible())
        delete help_.data();
}

void PanelWindow::buildControls() {
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        keys_[i] = new KeyButton(QString::fromLatin1(kKeys[i].control), kKeys[i].area, this);
        const QString caption = QString::fromLatin1(kKeys[i].caption);
        keys_[i]->setAccessibleName(caption.isEmpty() ? QStringLiteral("Memory") : caption);
    }
    for (int i = 1; i <= 7; ++i) {
        const ReadoutSpot& r = kReadouts[i - 1];
        GlowLabel* l = new GlowLabel(QStringLiteral("Label%1").arg(i), r.area, r.pixelSize, this);
        l->setAccessibleName(QString::fromLatin1(kReadoutNames[i - 1]));
        readouts_[static_cast<std::size_t>(i)] = l;
    }
    freqEdit_ = new DisplayEdit(QStringLiteral("Text1"), QRect(240, 32, 89, 35), 24, this);
    leftEdit_ = new DisplayEdit(QStringLiteral("Text2"), QRect(72, 40, 57, 25), 13, this);
    rightEdit_ = new DisplayEdit(QStringLiteral("Text3"), QRect(440, 40, 57, 25), 13, this);
    freqEdit_->setAccessibleName(QStringLiteral("Frequency entry, Hz"));
    leftEdit_->setAccessibleName(QStringLiteral("Left attenuation entry, dB"));
    rightEdit_->setAccessibleName(QStringLiteral("Right attenuation entry, dB"));
    lamp1_ = new LampSquare(QStringLiteral("Label38"), QPoint(280, 88), this);
    lamp2_ = new LampSquare(QStringLiteral("Label40"), QPoint(290, 88), this);
    lamp1_->setAccessibleName(QStringLiteral("Playing lamp"));
    lamp2_->setAccessibleName(QStringLiteral("Playing lamp"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Status"));
    status_->setGeometry(0, kFaceHeight, kFaceWidth, kStatusHeight);
    status_->setIndent(10);
    status_->setStyleSheet(
        QStringLiteral("QLabel { background: rgb(44,46,50); color: rgb(232,200,120);"
                       " font: 11px 'DejaVu Sans'; }"));
    status_->hide();
    setFixedSize(kFaceWidth, kFaceHeight);
}

void PanelWindow::registerControls() {
    auto& reg = ui::Registry::instance();
    const QString w = QStringLiteral("panel");
    reg.addWindow(w, this);
    for (KeyButton* k : keys_)
        reg.addControl(w, k->objectName(), k);
    for (int i = 1; i <= 7; ++i)
        reg.addControl(w, QStringLiteral("Label%1").arg(i), readouts_[static_cast<std::size_t>(i)]);
    reg.addControl(w, QStringLiteral("Text1"), freqEdit_);
    reg.addControl(w, QStringLiteral("Text2"), leftEdit_);
    reg.addControl(w, QStringLiteral("Text3"), rightEdit_);
    reg.addControl(w, QStringLiteral("Label38"), lamp1_);
    reg.addControl(w, QStringLiteral("Label40"), lamp2_);
    reg.addControl(w, QStringLiteral("Status"), status_);
}

void PanelWindow::connectKeys() {
    using Action = void (PanelModel::*)();
    const std::pair<const char*, Action> modelKeys[] = {
        {"Label16", &PanelModel::play},       {"Label17", &PanelModel::stop},
        {"Label35", &PanelModel::leftVolKey}, {"Label37", &PanelModel::rightVolKey},
        {"Label12", &PanelModel::nextMode},   {"Label14", &PanelModel::nextRate},
        {"Label34", &PanelModel::knob},       {"Label36", &PanelModel::freqKey},
        {"Label15", &PanelModel::nextBits},
    };
    auto key = [this](const char* name) { return this->key(QString::fromLatin1(name)); };
    for (const auto& [name, action] : modelKeys)
        connect(key(name), &QAbstractButton::clicked, this, [this, a = action] { act(a); });
    connect(key("Label18"), &QAbstractButton::clicked, this, &PanelWindow::offKey);
    connect(key("Label19"), &QAbstractButton::clicked, this, &QWidget::showMinimized);
    connect(key("Label13"), &QAbstractButton::clicked, this, &PanelWindow::helpKey);
    connect(key("Label21"), &QAbstractButton::clicked, this, &PanelWindow::userRequested);
    // The model holds the boxes' texts; typing goes straight into it.
    auto track = [this](QLineEdit* edit, Entry& box) {
        connect(edit, &QLineEdit::textChanged, this,
                [&box](const QString& t) { box.text = t.toStdString(); });
    };
    track(freqEdit_, model_->freqBox());
    track(leftEdit_, model_->leftBox());
    track(rightEdit_, model_->rightBox());
}

KeyButton* PanelWindow::key(const QString& name) const {
    for (KeyButton* k : keys_)
        if (k->objectName() == name)
            return k;
    return nullptr;
}

void PanelWindow::setUpKeyboard() {
    QWidget* previous = leftEdit_;
    for (QWidget* w : {static_cast<QWidget*>(freqEdit_), static_cast<QWidget*>(rightEdit_)}) {
        setTabOrder(previous, w);
        previous = w;
    }
    for (const KeyUse& use : kKeyUses) {
        KeyButton* k = key(QString::fromLatin1(use.control));
        const QKeySequence shortcut(QString::fromLatin1(use.shortcut));
        k->setShortcut(shortcut);
        k->setToolTip(QStringLiteral("%1: %2 (%3)")
                          .arg(k->accessibleName(), QString::fromLatin1(use.what),
                               shortcut.toString(QKeySequence::NativeText)));
        k->setAccessibleDescription(QString::fromLatin1(use.what));
        setTabOrder(previous, k);
        previous = k;
    }
    // Ctrl+Q closes the panel, and with it the program, as Off does.
    auto* quitKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quitKey, &QShortcut::activated, this, &QWidget::close);
    // In an entry box Return accepts, as its key pressed again would, and
    // Escape leaves the entry; the keyboard goes back to the entry's key.
    struct EntryUse {
        DisplayEdit* edit;
        Entry* box;
        void (PanelModel::*action)();
        const char* control;
    };
    const EntryUse entries[] = {
        {freqEdit_, &model_->freqBox(), &PanelModel::freqKey, "Label36"},
        {leftEdit_, &model_->leftBox(), &PanelModel::leftVolKey, "Label35"},
        {rightEdit_, &model_->rightBox(), &PanelModel::rightVolKey, "Label37"},
    };
    for (const EntryUse& use : entries) {
        KeyButton* k = key(QString::fromLatin1(use.control));
        Entry* box = use.box;
        DisplayEdit* edit = use.edit;
        connect(edit, &QLineEdit::returnPressed, this, [this, box, a = use.action, k] {
            if (!box->inProgress)
                return;
            act(a);
            k->setFocus(Qt::OtherFocusReason);
        });
        connect(edit, &DisplayEdit::cancelled, this, [this, box, k] {
            model_->cancelEntry(*box);
            refresh();
            k->setFocus(Qt::OtherFocusReason);
        });
    }
}

void PanelWindow::act(void (PanelModel::*action)()) {
    model_->freqBox().text = freqEdit_->text().toStdString();
    model_->leftBox().text = leftEdit_->text().toStdString();
    model_->rightBox().text = rightEdit_->text().toStdString();
    ((*model_).*action)();
    // With the sound device gone a key may ask for a tone, but none plays.
    if (soundLost_)
        model_->soundStopped();
    refresh();
}

void PanelWindow::offKey() {
    close();
}

void PanelWindow::closeEvent(QCloseEvent* e) {
    if (closed_) {
        e->accept();
        return;
    }
    // Memories that could not be saved would be lost unseen: the panel
    // stays open once to say so, and the next close goes regardless. At the
    // session's end nobody is there to read it: standard error says it.
    if (!model_->off()) {
        if (closingForQuit_) {
            std::fprintf(stderr, "qelvar: %s\n", model_->status().c_str());
        } else if (!offWarned_) {
            offWarned_ = true;
            refresh();
            e->ignore();
            return;
        }
    }
    closed_ = true;
    soundPoll_->stop();
    e->accept();
    if (help_)
        delete help_.data();
}

bool PanelWindow::saveAsClosing() {
    return model_->off();
}

void PanelWindow::helpKey() {
    if (!help_) {
        help_ = help::createMainHelp();
        help_->setAttribute(Qt::WA_DeleteOnClose);
    }
    help_->present();
}

void PanelWindow::refresh() {
    for (int i = 1; i <= 7; ++i)
        readouts_[static_cast<std::size_t>(i)]->setReading(
            QString::fromStdString(model_->label(i)));
    const std::pair<DisplayEdit*, const Entry*> boxes[] = {{freqEdit_, &model_->freqBox()},
                                                           {leftEdit_, &model_->leftBox()},
                                                           {rightEdit_, &model_->rightBox()}};
    for (const auto& [edit, box] : boxes) {
        const QString text = QString::fromStdString(box->text);
        if (edit->text() != text)
            edit->setText(text);
        if (box->inProgress && !edit->isVisible()) {
            edit->show();
            edit->setFocus();
            edit->selectAll();
        }
        edit->setVisible(box->inProgress);
    }
    lamp1_->setLit(model_->lampShown());
    lamp2_->setLit(model_->lampShown());
    showStatus();
    update();
}

QString PanelWindow::statusLine() const {
    const QString tone = QString::fromStdString(model_->status());
    return tone.isEmpty() ? soundStatus_ : tone;
}

void PanelWindow::pollSound() {
    soundStatus_ = QString::fromStdString(snd_.statusText());
    // A device that works may go away (a card unplugged, a sound server
    // that stops) and come back: after the first seconds look now and then.
    const audio::Readiness ready = snd_.readiness();
    if (ready == audio::Readiness::Ready) {
        soundWorked_ = true;
        soundLost_ = false;
    }
    if (--pollsLeft_ == 0)
        soundPoll_->setInterval(kSoundLatePollMs);
    // A device that worked and went away took the tone with it: the lamp
    // goes out. Without a device from the start the lamp shows, as it
    // always has, what the keys asked for.
    if (ready == audio::Readiness::Failed && soundWorked_ && !soundLost_) {
        soundLost_ = true;
        model_->soundStopped();
        refresh();
        return;
    }
    showStatus();
}

void PanelWindow::showStatus() {
    const QString line = statusLine();
    if (status_->text() == line && status_->isVisible() == !line.isEmpty())
        return;
    status_->setText(line);
    status_->setVisible(!line.isEmpty());
    setFixedSize(kFaceWidth, kFaceHeight + (line.isEmpty() ? 0 : kStatusHeight));
}

void PanelWindow::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    if (face_.isNull() || face_.devicePixelRatio() != dpr)
        face_ = paintFace(dpr);
    QPainter p(this);
    p.drawPixmap(0, 0, face_);
    paintKnobPointer(p, model_->memories().current);
}

} // namespace qelvar::panel
