// One measurement by keyboard alone, through the real windows and the
// private loopback server: the panel's User key, the page's AUTOBUILD,
// FULL DUPLEX, PLAY and VIEW GRAPH reached by Tab and pressed by Space,
// the sweep saved from the graph with Ctrl+S, and F1 there for help.
#include "app/app.h"
#include "audio/pulse_sound.h"
#include "audio/sound.h"
#include "support/files.h"
#include "ui/file_dialogs.h"
#include "ui/registry.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>

namespace qelvar::app {
namespace {

QWidget* window(const char* name) {
    return ui::Registry::instance().window(name);
}

void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : w;
    QTest::keyClick(target, k, mods);
    QTest::qWait(150); // a key's shortcut clicks it 100 ms later
}

QString focusName() {
    QWidget* f = QApplication::focusWidget();
    return f ? f->objectName() : QString();
}

// Tab until the named control has the focus, then press it with Space.
bool tabAndPress(QWidget* w, const QString& name) {
    for (int i = 0; i < 400 && focusName() != name; ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w, Qt::Key_Tab);
    if (focusName() != name)
        return false;
    key(w, Qt::Key_Space);
    return true;
}

TEST(KeyboardWalk, OneMeasurementWithoutTheMouse) {
    test::TempDir home(true);
    const QString data = QString::fromStdString(home / "Qelvarfiles/");
    audio::SystemSound sound({});
    ASSERT_TRUE(sound.waitReady(std::chrono::seconds(30))) << sound.statusText();
    App app(sound);
    app.start();
    QWidget* panel = window("panel");
    ASSERT_TRUE(panel);
    key(panel, Qt::Key_U, Qt::AltModifier);
    QWidget* page = window("page");
    ASSERT_TRUE(page && page->isVisible()) << "Alt+U did not show the page";
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page));
    for (const char* name : {"AutobuildAll", "FullDuplex", "Play"})
        ASSERT_TRUE(tabAndPress(page, name)) << name << " not reached by Tab";
    QTest::qWait(4800); // the 3.4-s sweep, its first tick and the last take's tail
    // Any row read will do (a busy PipeWire graph may trouble a take; the
    // readings themselves are the measurement tests' business).
    QString reading;
    for (int r = 1; r <= 20 && reading.isEmpty(); ++r)
        if (auto* box = qobject_cast<QLineEdit*>(
                ui::Registry::instance().control("page", QStringLiteral("Left(%1)").arg(r))))
            reading = box->text().trimmed();
    ASSERT_FALSE(reading.isEmpty()) << "no row was measured";
    ASSERT_TRUE(tabAndPress(page, "ViewGraph"));
    QWidget* graph = window("graph");
    ASSERT_TRUE(graph && graph->isVisible()) << "VIEW GRAPH did not show the graph";
    const QString saved = data + "bykeys";
    ui::queueDialogAnswer(saved);
    key(graph, Qt::Key_S, Qt::ControlModifier);
    // Three values a row: left, right and the row's frequency.
    const auto values = test::crlfLines(test::readText(saved.toStdString() + ".kzq"));
    ASSERT_GE(values.size(), 60u) << "Ctrl+S saved no sweep";
    EXPECT_EQ(values[2] + " " + values[59], "20 20000");
    key(graph, Qt::Key_F1); // the graph's help is the page's
    ASSERT_TRUE(window("pagehelp") && window("pagehelp")->isVisible());
    window("pagehelp")->close();
    key(graph, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([] { return !(window("graph") && window("graph")->isVisible()); }));
    key(panel, Qt::Key_O, Qt::AltModifier); // Off closes the page first
    EXPECT_TRUE(QTest::qWaitFor([] { return !window("page"); }));
    EXPECT_TRUE(QFile::exists(data + "tessalysetup"));
}

} // namespace
} // namespace qelvar::app
