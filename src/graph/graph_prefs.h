// The graph form's six display preferences, their menu items and the
// preference file "wavgraphsetup".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelvar::graph {

struct GraphPrefs {
    std::int16_t lwidth = 2;   // pen width of the curves: 1 Normal, 2 Wide
    std::int16_t colorsel = 2; // 1 Mono, 2 Red Blue
    std::int16_t rangedb = 40; // dB from the top to the bottom grid line
    std::int16_t refdb = 0;    // dB at the top grid line
    std::int16_t chanL = 1;
    std::int16_t chanR = 1;

    // The six values in file order; values that cannot be read keep theirs.
    // A span of 0 cannot be plotted and a pen below one pixel draws
    // nothing, so those two fall back to their defaults.
    void parse(std::string_view contents);
    std::string serialise() const;

    // Errors ignored; the results are for the status line and the tests.
    bool load(const std::string& path);
    bool save(const std::string& path) const;
};

enum class OptionGroup { Color, Linewidth, Reference, Range, Channels };

// One Options menu item. For the channel items the value is
// chanL + 2 * chanR: 1 L only, 2 R only, 3 L and R.
struct OptionItem {
    const char* name;
    const char* caption;
    OptionGroup group;
    int value;
};

inline constexpr std::array<OptionItem, 17> kOptionItems{{
    {"Mono", "Mono", OptionGroup::Color, 1},
    {"Redblue", "Red Blue", OptionGroup::Color, 2},
    {"Normal", "Normal", OptionGroup::Linewidth, 1},
    {"Wide", "Wide", OptionGroup::Linewidth, 2},
    {"ref20", "20", OptionGroup::Reference, 20},
    {"ref0", "0", OptionGroup::Reference, 0},
    {"refneg20", "-20", OptionGroup::Reference, -20},
    {"refneg40", "-40", OptionGroup::Reference, -40},
    {"range4", "4", OptionGroup::Range, 4},
    {"range8", "8", OptionGroup::Range, 8},
    {"range20", "20", OptionGroup::Range, 20},
    {"range40", "40", OptionGroup::Range, 40},
    {"range80", "80", OptionGroup::Range, 80},
    {"range120", "120", OptionGroup::Range, 120},
    {"Lonly", "L only", OptionGroup::Channels, 1},
    {"Ronly", "R only", OptionGroup::Channels, 2},
    {"LandR", "L and R", OptionGroup::Channels, 3},
}};

// The item of that control name, or nullptr.
const OptionItem* findOption(std::string_view name);

// The group's current value in the items' terms; the channel pair gives
// 0 when it is none of the three menu choices.
int groupValue(const GraphPrefs& p, OptionGroup g);

// A check mark shows on the item whose value the preferences hold, so a
// value outside a group's set leaves the whole group unchecked.
bool isChecked(const GraphPrefs& p, const OptionItem& item);

// Sets the preference the item stands for.
void apply(GraphPrefs& p, const OptionItem& item);

} // namespace qelvar::graph
