#include "construct/setup_file.h"

#include "common/numbers.h"
#include "formats/textfile.h"

namespace qelvar::construct {

namespace {

// Single precision in the "write" form: 7 significant digits, no zero
// before the point (".5", "-.25").
std::string singleWriteForm(float x) {
    std::string s = floatForm(x);
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0)
        s.erase(1, 1);
    return s;
}

// A flag is 0 or 1 (rounded half to even); anything else keeps the default.
void readFlag(TextValueReader& in, std::int16_t& out) {
    std::int16_t v = -1;
    if (in.readInt16(v) && (v == 0 || v == 1))
        out = v;
}

} // namespace

std::string setupText(const StepTable& t, const PageSettings& s) {
    TextValueWriter out;
    for (int i = 1; i <= kLastStep; ++i) {
        out.integer(t.frequency[i]);
        out.number(t.attL[i]);
        out.number(t.attR[i]);
        out.number(t.length[i]);
        out.integer(t.include[i]);
    }
    out.spanningText(s.scratchpad);
    out.plain(singleWriteForm(s.offsetDb));
    for (std::int16_t flag : {s.useCal, s.offsetOn, s.fullDuplex, s.loop})
        out.integer(flag);
    return out.contents();
}

// Values are taken as their type holds them: any finite double, any 32-bit
// or 16-bit integer (rounded half to even). A value that is no number, or
// does not fit its type, keeps the default; a build refuses what it cannot
// make a file of.
void readSetup(std::string_view contents, StepTable& t, PageSettings& s) {
    TextValueReader in(contents, TextValueReader::Quotes::SpanLines);
    for (int i = 1; i <= kLastStep; ++i) {
        in.readInt32(t.frequency[i]);
        in.readDouble(t.attL[i]);
        in.readDouble(t.attR[i]);
        in.readDouble(t.length[i]);
        in.readInt16(t.include[i]);
    }
    in.readText(s.scratchpad);
    in.readFloat(s.offsetDb);
    readFlag(in, s.useCal);
    readFlag(in, s.offsetOn);
    readFlag(in, s.fullDuplex);
    readFlag(in, s.loop);
}

} // namespace qelvar::construct
