#include "panel/panel_window.h"

#include "common/files.h"
#include "help/help_window.h"
#include "panel/panel_controls.h"
#include "panel/panel_face.h"
#include "ui/registry.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

namespace qelvar::panel {
namespace {

constexpr int kStatusHeight = 20;
// The sound layer may learn only a moment after start-up that there is no
// device; look for its message for a few seconds.
constexpr int kSoundPollMs = 250;
constexpr int kSoundPolls = 20;
constexpr int kSoundLatePollMs = 1000;

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
    soundPoll_ = new QTimer(this);
    soundPoll_->setInterval(kSoundPollMs);
    pollsLeft_ = kSoundPolls;
    connect(soundPoll_, &QTimer::timeout, this, &PanelWindow::pollSound);
    soundPoll_->start();
    soundStatus_ = QString::fromStdString(snd_.statusText());
    refresh();
}

PanelWindow::~PanelWindow() {
    // A help screen nobody can see would keep nothing alive but memory.
    if (help_ && !help_->isVisible())
        delete help_.data();
}

void PanelWindow::buildControls() {
    for (std::size_t i = 0; i < keys_.size(); ++i)
        keys_[i] = new KeyButton(QString::fromLatin1(kKeys[i].control), kKeys[i].area, this);
    for (int i = 1; i <= 7; ++i) {
        const ReadoutSpot& r = kReadouts[i - 1];
        readouts_[static_cast<std::size_t>(i)] =
            new GlowLabel(QStringLiteral("Label%1").arg(i), r.area, r.pixelSize, this);
    }
    freqEdit_ = new DisplayEdit(QStringLiteral("Text1"), QRect(240, 32, 89, 35), 24, this);
    leftEdit_ = new DisplayEdit(QStringLiteral("Text2"), QRect(72, 40, 57, 25), 13, this);
    rightEdit_ = new DisplayEdit(QStringLiteral("Text3"), QRect(440, 40, 57, 25), 13, this);
    lamp1_ = new LampSquare(QStringLiteral("Label38"), QPoint(280, 88), this);
    lamp2_ = new LampSquare(QStringLiteral("Label40"), QPoint(290, 88), this);
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
    auto key = [this](const char* name) {
        for (KeyButton* k : keys_)
            if (k->objectName() == QLatin1String(name))
                return k;
        return static_cast<KeyButton*>(nullptr);
    };
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

void PanelWindow::act(void (PanelModel::*action)()) {
    model_->freqBox().text = freqEdit_->text().toStdString();
    model_->leftBox().text = leftEdit_->text().toStdString();
    model_->rightBox().text = rightEdit_->text().toStdString();
    ((*model_).*action)();
    refresh();
}

void PanelWindow::offKey() {
    // Memories that could not be saved would be lost unseen: the panel
    // stays open once to say so, and the next Off closes it regardless.
    if (!model_->off() && !offWarned_) {
        offWarned_ = true;
        refresh();
        return;
    }
    close();
    if (help_)
        delete help_.data();
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
        readouts_[static_cast<std::size_t>(i)]->setText(QString::fromStdString(model_->label(i)));
    const std::pair<QLineEdit*, const Entry*> boxes[] = {{freqEdit_, &model_->freqBox()},
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
    lamp1_->setVisible(model_->lampShown());
    lamp2_->setVisible(model_->lampShown());
    showStatus();
    update();
}

QString PanelWindow::statusLine() const {
    const QString tone = QString::fromStdString(model_->status());
    return tone.isEmpty() ? soundStatus_ : tone;
}

void PanelWindow::pollSound() {
    soundStatus_ = QString::fromStdString(snd_.statusText());
    // A failed device stays failed. One that works may still go away (a
    // sound server that stops): after the first seconds look now and then.
    if (!soundStatus_.isEmpty())
        soundPoll_->stop();
    else if (--pollsLeft_ == 0)
        soundPoll_->setInterval(kSoundLatePollMs);
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
