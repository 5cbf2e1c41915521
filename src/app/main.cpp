#include "app/app.h"
#include "app/devices.h"
#include "app/script.h"
#include "common/files.h"
#include "audio/portaudio_sound.h"
#include "audio/pulse_sound.h"
#include "audio/sound.h"

#include <QApplication>
#include <QCommandLineParser>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

namespace {

using qelvar::app::DeviceEntry;

// The sound server's sinks and sources, or without a server ALSA's devices
// through PortAudio; a hung sound server can hold either for minutes, so
// give up after a while rather than hang the command line.
bool listDevices(std::vector<DeviceEntry>& out) {
    auto job = std::make_shared<std::packaged_task<std::vector<DeviceEntry>()>>([] {
        std::vector<DeviceEntry> list;
        auto devices = qelvar::audio::PulseSound::listDevices(std::chrono::seconds(10));
        if (!devices)
            devices = qelvar::audio::PortAudioSound::listDevices();
        for (const auto& d : *devices)
            list.push_back({d.name, d.inputs, d.outputs, d.description});
        return list;
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
    std::vector<DeviceEntry> devices;
    if (!listDevices(devices)) {
        std::fprintf(stderr, "qelvar: the sound system does not answer\n");
        return 1;
    }
    if (devices.empty()) {
        std::fprintf(stderr, "qelvar: no sound device found (is PulseAudio or PipeWire running?)\n");
        if (listOnly)
            return 1;
    }
    if (listOnly) {
        std::fputs(qelvar::app::describeDevices(devices).c_str(), stdout);
        return 0;
    }
    auto pick = [&](const char* option, bool output, std::string& slot) {
        const std::string part = parser.value(option).toStdString();
        if (!part.empty() && !qelvar::app::matchDevice(devices, part, output)) {
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
int readCommandLine(int argc, char** argv, QStringList& script,
                    qelvar::app::DeviceChoice& choice) {
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
    qelvar::ensureDataDir();
    qelvar::removeStaleTemporaries(qelvar::dataDir()); // left by saves that were killed
    return handleDeviceOptions(parser, parser.isSet("list-devices"), choice);
}

} // namespace

int main(int argc, char** argv) {
    QStringList script;
    qelvar::app::DeviceChoice choice;
    if (int rc = readCommandLine(argc, argv, script, choice); rc >= 0)
        return rc;
    bool scripted = false;
    for (int i = 1; i < argc; ++i)
        scripted = scripted || QByteArray(argv[i]).startsWith("--script");

    QApplication app(argc, argv);
    // Qt adopts the desktop's locale for C functions; every number the
    // program writes must not.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("qelvar");
    QApplication::setApplicationVersion(QELVAR_VERSION);

    auto sound = std::make_unique<qelvar::audio::SystemSound>(
        qelvar::audio::SoundOptions{choice.output, choice.input});
    qelvar::audio::setServices(sound.get());

    qelvar::app::App windows(qelvar::audio::services());
    windows.start();

    std::unique_ptr<qelvar::app::ScriptRunner> runner;
    if (scripted) {
        runner = std::make_unique<qelvar::app::ScriptRunner>(script);
        runner->start();
    }
    const int rc = app.exec();
    qelvar::audio::setServices(nullptr);
    return rc;
}
