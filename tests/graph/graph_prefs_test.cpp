// The preference file, its defaults and the check marks of the Options
// menu.
#include "graph/graph_model.h"
#include "graph/graph_prefs.h"
#include "graph_test_util.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace qelvar;
using namespace qelvar::graph;
using test::readText;
using test::TempHome;
using test::writeText;

namespace {

std::set<std::string> checkedItems(const GraphPrefs& p) {
    std::set<std::string> out;
    for (const OptionItem& item : kOptionItems)
        if (isChecked(p, item))
            out.insert(item.name);
    return out;
}

GraphPrefs fromFile(const char* contents) {
    TempHome home;
    writeText(dataPath("wavgraphsetup"), contents);
    GraphModel m;
    m.loadForm();
    return m.prefs;
}

using Set = std::set<std::string>;

} // namespace

TEST(GraphPrefsFile, NoFileGivesDefaults) {
    TempHome home;
    GraphModel m;
    m.loadForm();
    EXPECT_EQ(checkedItems(m.prefs), (Set{"Wide", "Redblue", "range40", "ref0", "LandR"}));
    EXPECT_EQ(m.prefs.serialise(), "2\r\n2\r\n40\r\n0\r\n1\r\n1\r\n");
}

TEST(GraphPrefsFile, SixValuesInFileOrder) {
    GraphPrefs p = fromFile("1\r\n1\r\n120\r\n-40\r\n0\r\n1\r\n");
    EXPECT_EQ(checkedItems(p), (Set{"Normal", "Mono", "range120", "refneg40", "Ronly"}));
    EXPECT_EQ(p.rangedb, 120);
    EXPECT_EQ(p.refdb, -40);
}

TEST(GraphPrefsFile, ShortFileKeepsTheRestAtDefaults) {
    GraphPrefs p = fromFile("1\r\n1\r\n8\r\n");
    EXPECT_EQ(checkedItems(p), (Set{"Normal", "Mono", "range8", "ref0", "LandR"}));
    p = fromFile("1,1\r\n20");
    EXPECT_EQ(checkedItems(p), (Set{"Normal", "Mono", "range20", "ref0", "LandR"}));
}

TEST(GraphPrefsFile, ValuesOutsideTheMenusShowNoCheckMark) {
    GraphPrefs p = fromFile("3\r\n0\r\n50\r\n10\r\n0\r\n0\r\n");
    EXPECT_EQ(p.lwidth, 3);
    EXPECT_EQ(p.rangedb, 50);
    EXPECT_TRUE(checkedItems(p).empty());
    p = fromFile("2\r\n2\r\n40\r\n0\r\n2\r\n1\r\n");
    EXPECT_EQ(checkedItems(p), (Set{"Wide", "Redblue", "range40", "ref0"}));
}

TEST(GraphPrefsFile, UndrawableValuesFallBackToDefaults) {
    GraphPrefs p = fromFile("0\r\n1\r\n0\r\n20\r\n1\r\n0\r\n");
    EXPECT_EQ(p.lwidth, 2);
    EXPECT_EQ(p.rangedb, 40);
    EXPECT_EQ(p.refdb, 20);
    p = fromFile("-3\r\n1\r\n-20\r\n");
    EXPECT_EQ(p.lwidth, 2);
    EXPECT_EQ(p.rangedb, -20); // drawable, only unusual
    // Garbage and huge values leave the defaults; nothing crashes.
    p = fromFile("abc\r\n99999\r\n\x01\x02\r\n3276\r\n");
    EXPECT_EQ(p.lwidth, 2);
    EXPECT_EQ(p.colorsel, 2);
    EXPECT_EQ(p.rangedb, 40);
    EXPECT_EQ(p.refdb, 3276);
}

TEST(GraphPrefsFile, ExtremeReferenceStillDraws) {
    TempHome home;
    writeText(dataPath("wavgraphsetup"), "2\r\n2\r\n1\r\n32767\r\n1\r\n1\r\n");
    writeText(dataPath("wavgraphdata"), "-1\r\n-1\r\n100\r\n1\r\n-2\r\n-2\r\n200\r\n1\r\n");
    GraphModel m;
    m.loadForm();
    ASSERT_EQ(m.surface.size(), 75u);
    EXPECT_EQ(m.surface.back().y1, 400);
    EXPECT_EQ(m.label1[0].caption, "32767");
}

TEST(GraphOptions, ChoosingAnItemRedrawsFromAFreshSurface) {
    TempHome home;
    GraphModel m;
    m.loadForm();
    m.scaleme(); // an overlay
    ASSERT_EQ(m.surface.size(), 146u);
    m.choose(*findOption("LandR")); // already checked: still a fresh drawing
    EXPECT_EQ(m.surface.size(), 73u);
    m.choose(*findOption("Ronly"));
    EXPECT_EQ(checkedItems(m.prefs), (Set{"Wide", "Redblue", "range40", "ref0", "Ronly"}));
    m.choose(*findOption("refneg20"));
    m.choose(*findOption("range80"));
    EXPECT_EQ(m.label1[1].caption, "-30");
    EXPECT_EQ(checkedItems(m.prefs), (Set{"Wide", "Redblue", "range80", "refneg20", "Ronly"}));
}

TEST(GraphOptions, OnlyExitWritesThePreferenceFile) {
    TempHome home;
    GraphModel m;
    m.loadForm();
    m.choose(*findOption("Mono"));
    m.choose(*findOption("Lonly"));
    EXPECT_FALSE(std::filesystem::exists(dataPath("wavgraphsetup")));
    ASSERT_TRUE(m.exitSave());
    EXPECT_EQ(readText(dataPath("wavgraphsetup")), "2\r\n1\r\n40\r\n0\r\n1\r\n0\r\n");
    GraphModel again;
    again.loadForm();
    EXPECT_EQ(checkedItems(again.prefs), (Set{"Wide", "Mono", "range40", "ref0", "Lonly"}));
}
