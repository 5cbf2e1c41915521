#include "graph/graph_prefs.h"

#include "common/files.h"
#include "formats/textfile.h"

namespace qelvar::graph {

void GraphPrefs::parse(std::string_view contents) {
    TextValueReader in(contents);
    for (std::int16_t* v : {&lwidth, &colorsel, &rangedb, &refdb, &chanL, &chanR})
        in.readInt16(*v);
    const GraphPrefs defaults;
    if (rangedb == 0)
        rangedb = defaults.rangedb;
    if (lwidth < 1)
        lwidth = defaults.lwidth;
}

std::string GraphPrefs::serialise() const {
    TextValueWriter out;
    for (std::int16_t v : {lwidth, colorsel, rangedb, refdb, chanL, chanR})
        out.integer(v);
    return out.contents();
}

bool GraphPrefs::load(const std::string& path) {
    auto contents = readWholeFile(path, 64 * 1024);
    if (!contents)
        return false;
    parse(*contents);
    return true;
}

bool GraphPrefs::save(const std::string& path) const {
    ensureDataDir();
    return replaceFile(path, serialise(), true);
}

const OptionItem* findOption(std::string_view name) {
    for (const OptionItem& item : kOptionItems)
        if (name == item.name)
            return &item;
    return nullptr;
}

int groupValue(const GraphPrefs& p, OptionGroup g) {
    switch (g) {
    case OptionGroup::Color:
        return p.colorsel;
    case OptionGroup::Linewidth:
        return p.lwidth;
    case OptionGroup::Reference:
        return p.refdb;
    case OptionGroup::Range:
        return p.rangedb;
    case OptionGroup::Channels:
        if ((p.chanL == 0 || p.chanL == 1) && (p.chanR == 0 || p.chanR == 1))
            return p.chanL + 2 * p.chanR;
        return 0;
    }
    return 0;
}

bool isChecked(const GraphPrefs& p, const OptionItem& item) {
    return groupValue(p, item.group) == item.value;
}

void apply(GraphPrefs& p, const OptionItem& item) {
    const auto v = static_cast<std::int16_t>(item.value);
    switch (item.group) {
    case OptionGroup::Color:
        p.colorsel = v;
        break;
    case OptionGroup::Linewidth:
        p.lwidth = v;
        break;
    case OptionGroup::Reference:
        p.refdb = v;
        break;
    case OptionGroup::Range:
        p.rangedb = v;
        break;
    case OptionGroup::Channels:
        p.chanL = static_cast<std::int16_t>(item.value & 1);
        p.chanR = static_cast<std::int16_t>((item.value >> 1) & 1);
        break;
    }
}

} // namespace qelvar::graph
