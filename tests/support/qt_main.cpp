// The one main of the widget tests: one application for the whole run,
// offscreen unless told otherwise, on two screens: a big one where windows
// open at their default size and a small one (1366 x 768 at 150 %, less a
// panel) to the right of it.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen");
    if (platform == "offscreen") {
        QFile config(dir.filePath("screens.json"));
        config.open(QIODevice::WriteOnly);
        config.write(R"({"screens": [
            {"name": "big", "x": 0, "y": 0, "width": 1920, "height": 1080,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
            {"name": "small", "x": 1920, "y": 0, "width": 910, "height": 480,
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toUtf8());
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
