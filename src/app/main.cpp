#include "app/app.h"
#include "app/data_lock.h"
#include "app/devices.h"
#include "app/report_command.h"
#include "app/script.h"
#include "app/session_end.h"
#include "audio/portaudio_sound.h"
#include "audio/pulse_sound.h"
#include "audio/sound.h"
#include "common/files.h"
#include "ui/focus_ring.h"
#include "ui/window_places.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSessionManager>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <thread>

namespace {

using qelvar::audio::DeviceInfo;

// The sound server's sinks and sources, or without a server ALSA's devices
// through PortAudio; a hung sound server can hold either for minutes, so
// give up after a while rather than hang the command line.
bool listDevices(std::vector<DeviceInfo>& out) {
    auto job = std::make_shared<std::packaged_task<std::vector<DeviceInfo>()>>([] {
        auto devices = qelvar::audio::PulseSound::listDevices(std::chrono::seconds(10));
        return devices ? *devices : qelvar::audio::PortAudioSound::listDevices();
    });
    auto result = job->get_future();
    std::thread([job] { (*job)(); }).detach();
    if (result.wait_for(std::chrono::seconds(15)) != std::future_status::ready)
        return false;
    out = result.get();
    return true;
}

// Handles --list-devices, --output-device and --input-device. Returns an
// exit status when the program should end now, -1 to go on.
int handleDeviceOptions(const QCommandLineParser& parser, bool listOnly,
                        qelvar::app::DeviceChoice& choice) {
    const std::string path = qelvar::dataPath("wavdevices");
    choice = qelvar::app::loadDeviceChoice(path);
    const bool chooseOut = parser.isSet("output-device");
    const bool chooseIn = parser.isSet("input-device");
    if (!listOnly && !chooseOut && !chooseIn)
        return -1;
    std::vector<DeviceInfo> devices;
    if (!listDevices(devices)) {
        std::fprintf(stderr, "qelvar: the sound system does not answer\n");
        return 1;
    }
    if (devices.empty()) {
        std::fprintf(stderr,
                     "qelvar: no sound device found (is PulseAudio or PipeWire running?)\n");
        if (listOnly)
            return 1;
    }
    if (listOnly) {
        std::fputs(qelvar::app::describeDevices(devices).c_str(), stdout);
        return 0;
    }
    auto pick = [&](const char* option, bool output, std::string& slot) {
        const std::string part = parser.value(option).toStdString();
        using qelvar::audio::Use;
        if (!part.empty() &&
            !qelvar::audio::matchDevice(devices, part, output ? Use::Output : Use::Input)) {
            std::fprintf(stderr, "qelvar: no %s device matches \"%s\" (see --list-devices)\n",
                         output ? "output" : "input", part.c_str());
            return false;
        }
        slot = part;
        return true;
    };
    if ((chooseOut && !pick("output-device", true, choice.output)) ||
        (chooseIn && !pick("input-device", false, choice.input)))
        return 2;
    qelvar::app::saveDeviceChoice(path, choice);
    return -1;
}

void describeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        "Sound-card test-signal generator and frequency-response meter.\n"
        "Files live in $HOME/Qelvarfiles.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"script", "Run the commands in FILE (- for standard input).", "FILE"});
    parser.addOption({"list-devices", "List the usable sound devices and exit."});
    parser.addOption({"report",
                      "Run the sound-card test without a window and write report.json, "
                      "report.csv and report.pdf into DIR. Exit status 0, 1 when a figure fails "
                      "the limits, 2 when the test could not be run.",
                      "DIR"});
    parser.addOption({"check",
                      "Check the set-up without a window: volumes, effects between the program "
                      "and the card, the input's level, hum, DC and the channels. Set-up "
                      "warnings and notes on standard output; exit status 0 when nothing was "
                      "found, 1 when something was, 2 when the check could not be run."});
    parser.addOption({"sweep",
                      "Measure the response with one exponential sine sweep without a window and "
                      "write sweep.csv (level, phase, group delay and harmonics at 1/48 octave), "
                      "sweep.json and impulse.wav into DIR. Exit status 0, 1 when the response "
                      "fails the limits, 2 when it could not be run.",
                      "DIR"});
    parser.addOption({"length", "With --sweep: the sweep's length, 1 to 16 seconds (2).", "S"});
    parser.addOption({"averages", "With --sweep: how many sweeps are averaged, 1 to 8 (1).", "N"});
    parser.addOption({"limits",
                      "With --report or --sweep: hold the figures (a sweep: its response) to the "
                      "limits in FILE.",
                      "FILE"});
    parser.addOption({"output-device",
                      "Play through the device whose name contains NAME (remembered; an empty "
                      "NAME goes back to the default).",
                      "NAME"});
    parser.addOption({"input-device",
                      "Record from the device whose name contains NAME (remembered; an empty "
                      "NAME goes back to the default).",
                      "NAME"});
}

// The command line is read before any window system is needed, so --help,
// --version and the device options work without a display.
struct ReportRequest {
    QString dir; // empty: no report run
    bool check = false;
    QString sweepDir; // empty: no sweep
    double seconds = 2;
    int averages = 1;
    std::optional<qelvar::report::Limits> limits;
};

int readCommandLine(int argc, char** argv, QStringList& script, qelvar::app::DeviceChoice& choice,
                    ReportRequest& report) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName("qelvar");
    QCoreApplication::setApplicationVersion(QELVAR_VERSION);
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(core); // answers --help and --version, rejects unknown options
    if (parser.isSet("script") &&
        !qelvar::app::ScriptRunner::readScript(parser.value("script"), script)) {
        std::fprintf(stderr, "qelvar: cannot read script %s\n",
                     parser.value("script").toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet("limits") && !parser.isSet("report") && !parser.isSet("sweep")) {
        std::fprintf(stderr, "qelvar: --limits goes with --report or --sweep\n");
        return 2;
    }
    report.check = parser.isSet("check");
    if (parser.isSet("sweep")) {
        report.sweepDir = parser.value("sweep");
        bool ok = true;
        if (parser.isSet("length"))
            report.seconds = parser.value("length").toDouble(&ok);
        if (!ok || report.seconds < 1 || report.seconds > 16) {
            std::fprintf(stderr, "qelvar: --length wants 1 to 16 seconds\n");
            return 2;
        }
        if (parser.isSet("averages"))
            report.averages = parser.value("averages").toInt(&ok);
        if (!ok || report.averages < 1 || report.averages > 8) {
            std::fprintf(stderr, "qelvar: --averages wants 1 to 8\n");
            return 2;
        }
        if (report.sweepDir.isEmpty() || report.check || parser.isSet("report")) {
            std::fprintf(stderr, "qelvar: --sweep wants a folder, and runs alone\n");
            return 2;
        }
    } else if (parser.isSet("length") || parser.isSet("averages")) {
        std::fprintf(stderr, "qelvar: --length and --averages go with --sweep\n");
        return 2;
    }
    if (report.check && parser.isSet("report")) {
        std::fprintf(stderr, "qelvar: --check and --report run apart\n");
        return 2;
    }
    if (parser.isSet("report")) {
        report.dir = parser.value("report");
        if (report.dir.isEmpty()) {
            std::fprintf(stderr, "qelvar: --report wants a folder\n");
            return 2;
        }
    }
    if (parser.isSet("limits") &&
        !(report.limits = qelvar::app::readLimitsFile(parser.value("limits"))))
        return 2;
    qelvar::ensureDataDir();
    qelvar::removeStaleTemporaries(qelvar::dataDir()); // left by saves that were killed
    return handleDeviceOptions(parser, parser.isSet("list-devices"), choice);
}

// Qt ends the program with an abort and a screenful of advice when it finds
// no display. Until the application exists, its messages are held back and
// a fatal one becomes a single line and exit status 1.
QtMessageHandler defaultHandler = nullptr;
QStringList heldMessages;

void holdUntilStarted(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "qelvar: cannot open a window: no display could be reached "
                             "(is DISPLAY or WAYLAND_DISPLAY set?)\n");
        std::_Exit(1);
    }
    if (type != QtDebugMsg)
        heldMessages << text;
    (void)context;
}

// A second copy on the same data folder: say so, and offer to bring the
// first one forward. Scripts get the line on standard error only.
int refuseSecondCopy(qelvar::app::DataFolderLock& lock, bool scripted) {
    const QString folder = QString::fromStdString(qelvar::dataDir());
    const QString why = QStringLiteral("the data folder %1 is in use by another copy of qelvar "
                                       "(process %2)")
                            .arg(folder)
                            .arg(lock.ownerPid());
    std::fprintf(stderr, "qelvar: %s\n", why.toLocal8Bit().constData());
    const QString platform = QGuiApplication::platformName();
    if (scripted || platform == "offscreen" || platform == "minimal")
        return 1;
    QMessageBox box(QMessageBox::Information, QStringLiteral("qelvar"),
                    why.left(1).toUpper() + why.mid(1) + QStringLiteral("."));
    box.setInformativeText(
        QStringLiteral("Two copies on one folder would overwrite each other's files."));
    QPushButton* forward =
        box.addButton(QStringLiteral("Bring It Forward"), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Close);
    box.setDefaultButton(forward);
    box.exec();
    if (box.clickedButton() == forward && lock.askOwnerToShow())
        return 0;
    return 1;
}

// While the windows run: who to save and what to let go should the
// program end without returning from the event loop.
qelvar::app::App* endingWindows = nullptr;
qelvar::app::DataFolderLock* endingLock = nullptr;

void saveOnUnexpectedExit() {
    if (!endingWindows)
        return;
    std::fprintf(stderr, "qelvar: ending without a display; saving the windows' settings\n");
    endingWindows->saveEverything();
    endingWindows = nullptr;
    if (endingLock)
        endingLock->release();
    endingLock = nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QStringList script;
    qelvar::app::DeviceChoice choice;
    ReportRequest report;
    if (int rc = readCommandLine(argc, argv, script, choice, report); rc >= 0)
        return rc;
    // The report needs no window, only fonts for its PDF.
    const bool headless = !report.dir.isEmpty() || report.check || !report.sweepDir.isEmpty();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bool scripted = false;
    for (int i = 1; i < argc; ++i)
        scripted = scripted || QByteArray(argv[i]).startsWith("--script");

    defaultHandler = qInstallMessageHandler(holdUntilStarted);
    QApplication app(argc, argv);
    qInstallMessageHandler(defaultHandler);
    // The keyboard's focus as clear on every window as on the panel.
    QApplication::setStyle(new qelvar::ui::FocusRingStyle);
    for (const QString& m : heldMessages)
        qWarning("%s", qPrintable(m));
    // Qt adopts the desktop's locale for C functions; every number the
    // program writes must not.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("qelvar");
    QApplication::setApplicationVersion(QELVAR_VERSION);
    // Docks and task bars match the windows to the desktop entry by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.qelvar.Qelvar"));
    // Small sizes only: X servers refuse a window icon of 256 x 256 in one
    // request, and docks draw at most 128.
    QIcon icon;
    for (const char* file : {":/icons/qelvar-48.png", ":/icons/qelvar-128.png"})
        icon.addFile(QString::fromLatin1(file));
    QApplication::setWindowIcon(icon);

    qelvar::app::DataFolderLock lock(QString::fromStdString(qelvar::dataDir()));
    if (!lock.acquire()) {
        const int rc = refuseSecondCopy(lock, scripted || headless);
        return headless ? qelvar::app::kReportCouldNotRun : rc;
    }

    auto sound = std::make_unique<qelvar::audio::SystemSound>(
        qelvar::audio::SoundOptions{choice.output, choice.input});
    qelvar::audio::setServices(sound.get());
    if (headless) {
        const int rc = report.check ? qelvar::app::runCheck(*sound)
                       : !report.sweepDir.isEmpty()
                           ? qelvar::app::runSweep(*sound, report.sweepDir, report.seconds,
                                                   report.averages, report.limits)
                           : qelvar::app::runReport(*sound, report.dir, report.limits);
        qelvar::audio::setServices(nullptr);
        return rc;
    }

    // Every window opens where it was left, at the size it had.
    qelvar::ui::WindowPlaces places(QString::fromStdString(qelvar::dataPath("qelvarwindows")));
    qelvar::app::App windows(qelvar::audio::services());
    windows.start();
    QObject::connect(&lock, &qelvar::app::DataFolderLock::showRequested, &windows,
                     &qelvar::app::App::bringForward);
    qelvar::app::onSessionEnd(&windows, [&windows](int) { windows.endSession(); });
    // A logout's save request saves every window as its close would.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &windows,
                     [&windows](QSessionManager&) { windows.saveEverything(); });
    // The display connection lost (the X server gone) ends the program
    // from inside Qt, without returning here: what the windows hold is
    // saved on the way out, and the folder let go.
    endingWindows = &windows;
    endingLock = &lock;
    std::atexit(saveOnUnexpectedExit);

    std::unique_ptr<qelvar::app::ScriptRunner> runner;
    if (scripted) {
        runner = std::make_unique<qelvar::app::ScriptRunner>(script);
        runner->start();
    }
    const int rc = app.exec();
    endingWindows = nullptr;
    endingLock = nullptr;
    qelvar::audio::setServices(nullptr);
    return rc;
}
