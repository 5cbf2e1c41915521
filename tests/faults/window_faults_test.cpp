// What each window says when its files cannot be written, and that it
// keeps going (a file or folder in the way stops root too).
#include "construct/page_window.h"
#include "fault_helpers.h"
#include "graph/graph_window.h"
#include "panel/panel_window.h"
#include "audio/fake_sound.h"
#include "ui/registry.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>

using namespace qelvar;
using namespace qelvar::faults;
using qelvar::audio::FakeSound;
using qelvar::ui::Registry;

namespace {

QString statusOf(const QString& window) {
    QObject* c = Registry::instance().control(window, QStringLiteral("Status"));
    if (auto* label = qobject_cast<QLabel*>(c))
        return label->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(c))
        return box->toPlainText();
    return QStringLiteral("<no status control>");
}

void click(const QString& window, const QString& name) {
    QObject* c = Registry::instance().control(window, name);
    if (auto* b = qobject_cast<QAbstractButton*>(c))
        b->click();
    else if (auto* a = qobject_cast<QAction*>(c))
        a->trigger();
    else
        ADD_FAILURE() << "no control " << window.toStdString() << "." << name.toStdString();
}

class WindowFaults : public ::testing::Test {
  protected:
    TempDir home;
    FakeSound snd;
    QString folder = QString::fromStdString(home / "Qelvarfiles");

    void TearDown() override {
        // Deleting one window may take another (its help screen) with it.
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows.append(w);
        for (const QPointer<QWidget>& w : windows)
            delete w.data();
    }
};

} // namespace

TEST_F(WindowFaults, ADataFolderThatIsAFileIsNamedOnceByEachWindow) {
    spit(home.path / "Qelvarfiles", "a file, not a folder");
    const QString line = QStringLiteral("Cannot write to ") + folder;

    QPointer<panel::PanelWindow> panel = new panel::PanelWindow(snd);
    panel->show();
    EXPECT_EQ(statusOf("panel"), line);
    click("panel", "Label16"); // Play: the line is not repeated
    EXPECT_EQ(statusOf("panel"), line);

    QPointer<construct::PageWindow> page = new construct::PageWindow(snd);
    page->show();
    EXPECT_EQ(statusOf("page"), "    " + line);
    click("page", "AutobuildAll");
    EXPECT_TRUE(statusOf("page").startsWith("    Cannot write " + folder + "/tessalyf"));
    click("page", "Off");
    EXPECT_TRUE(page->isVisible()); // its settings were not saved: it stays
    EXPECT_EQ(statusOf("page"), "    Settings could not be saved.");

    QPointer<graph::GraphWindow> graph = new graph::GraphWindow();
    graph->show();
    EXPECT_EQ(statusOf("graph"), line);
}

TEST_F(WindowFaults, PanelOffThatCannotSaveStaysOpenOnceThenCloses) {
    fs::create_directories(home.path / "Qelvarfiles" / "wavoscsetup");
    QPointer<panel::PanelWindow> panel = new panel::PanelWindow(snd);
    panel->show();
    EXPECT_EQ(statusOf("panel"), "");
    click("panel", "Label18");
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(statusOf("panel"),
              "Cannot write " + folder + "/wavoscsetup: Off again closes without saving");
    click("panel", "Label18");
    EXPECT_TRUE(!panel || !panel->isVisible());
    EXPECT_TRUE(fs::is_directory(home.path / "Qelvarfiles" / "wavoscsetup"));
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
