// The one main of the widget tests: one application for the whole run,
// offscreen unless told otherwise, on a screen big enough for every window
// to open at its default size.
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
             "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toUtf8());
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
