#include "construct/measure/take_notes.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace qelvar::construct {

namespace {

// "Row 9", "Rows 1-4, 7": rows ascending.
std::string rowList(const std::vector<int>& rows) {
    std::string out = rows.size() == 1 ? "Row " : "Rows ";
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        if (i > 0)
            out += ", ";
        out += std::to_string(rows[i]);
        if (j > i)
            out += "-" + std::to_string(rows[j]);
        i = j + 1;
    }
    return out;
}

// The line puts its own full stops; a reason that brings one would double it.
std::string withoutStop(std::string_view why) {
    while (!why.empty() && (why.back() == '.' || why.back() == ' '))
        why.remove_suffix(1);
    return std::string(why);
}

} // namespace

std::string takeNotes(std::span<const std::string> whyOfRow) {
    std::vector<std::pair<std::string, std::vector<int>>> groups;
    for (std::size_t i = 0; i < whyOfRow.size(); ++i) {
        if (whyOfRow[i].empty())
            continue;
        std::string reason = withoutStop(whyOfRow[i]);
        auto g = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& group) { return group.first == reason; });
        if (g == groups.end())
            g = groups.insert(g, {std::move(reason), {}});
        g->second.push_back(static_cast<int>(i) + 1);
    }
    std::string out;
    for (const auto& [reason, rows] : groups) {
        if (!out.empty())
            out += ' ';
        out += rowList(rows) + ": " + reason;
        if (groups.size() > 1)
            out += '.';
    }
    return out;
}

} // namespace qelvar::construct
