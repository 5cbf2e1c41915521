#include "panel/memories.h"

#include "common/files.h"
#include "common/numbers.h"
#include "formats/textfile.h"

namespace qelvar::panel {

void Memories::normalise() {
    if (current < 1 || current > count)
        current = 1;
    Memory& m = cur();
    if (m.bits == 0)
        m.bits = 16;
    if (m.rate == 0)
        m.rate = 44100;
    if (m.frequency == 0)
        m.frequency = 1000;
    if (m.mode.empty())
        m.mode = "ST L+R";
    if (m.gainL == 0.0) {
        m.gainL = 0.7;
        m.gainR = 0.7;
    }
}

void Memories::parse(std::string_view contents) {
    TextValueReader in(contents);
    for (int i = 1; i <= count && !in.atEnd(); ++i) {
        Memory& m = slot[static_cast<std::size_t>(i)];
        in.readInt32(m.frequency);
        in.readInt32(m.rate);
        in.readText(m.mode);
        in.readInt16(m.bits);
        in.readDouble(m.gainL);
        in.readDouble(m.gainR);
    }
    in.readInt16(current);
}

std::string Memories::serialise() const {
    TextValueWriter out;
    for (int i = 1; i <= count; ++i) {
        const Memory& m = slot[static_cast<std::size_t>(i)];
        out.integer(m.frequency);
        out.integer(m.rate);
        out.text(m.mode);
        out.integer(m.bits);
        out.plain(plainForm(m.gainL));
        out.plain(plainForm(m.gainR));
    }
    out.integer(current);
    return out.contents();
}

bool Memories::load(const std::string& path) {
    auto data = readWholeFile(path, 1u << 20);
    if (!data)
        return false;
    parse(*data);
    return true;
}

bool Memories::save(const std::string& path) const {
    return replaceFile(path, serialise(), true);
}

} // namespace qelvar::panel
