#include "app/app.h"
#include "app/script.h"
#include "common/files.h"
#include "panel/sound/sound.h"

#if __has_include("panel/sound/portaudio_sound.h")
#include "panel/sound/portaudio_sound.h"
#define QELVAR_HAVE_PORTAUDIO 1
#endif

#include <QApplication>
#include <QCommandLineParser>

#include <clocale>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt adopts the desktop's locale for C functions; every number the
    // program writes must not.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("qelvar");
    QApplication::setApplicationVersion(QELVAR_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription("Sound-card test-signal generator and frequency-response meter");
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption scriptOption("script", "Run the commands in FILE (- for standard input).",
                                    "FILE");
    parser.addOption(scriptOption);
    parser.process(app);

    QStringList script;
    if (parser.isSet(scriptOption) &&
        !qelvar::app::ScriptRunner::readScript(parser.value(scriptOption), script)) {
        std::fprintf(stderr, "qelvar: cannot read script %s\n",
                     parser.value(scriptOption).toLocal8Bit().constData());
        return 2;
    }

    qelvar::ensureDataDir();
#ifdef QELVAR_HAVE_PORTAUDIO
    auto sound = std::make_unique<qelvar::sound::PortAudioSound>();
    qelvar::sound::setServices(sound.get());
#endif

    qelvar::app::App windows(qelvar::sound::services());
    windows.start();

    std::unique_ptr<qelvar::app::ScriptRunner> runner;
    if (parser.isSet(scriptOption)) {
        runner = std::make_unique<qelvar::app::ScriptRunner>(script);
        runner->start();
    }
    int rc = app.exec();
#ifdef QELVAR_HAVE_PORTAUDIO
    qelvar::sound::setServices(nullptr);
#endif
    return rc;
}
