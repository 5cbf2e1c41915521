// card-truth: how well a recording of a card-like path repeats its offline
// run (scripts/card-path check).
//   card-truth compare EXPECTED GOT [SETTLE]
// The rows of a sweep through a path, their windows and truths, are
// printed by the card-path sweep tests themselves.
#include "support/card_truth.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace qelvar::test::card;

namespace {

bool load(const char* path, Sound& s) {
    std::string why;
    s = readWav(path, &why);
    if (s.channels == 0)
        std::fprintf(stderr, "card-truth: %s\n", why.c_str());
    return s.channels != 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5 || std::string(argv[1]) != "compare") {
        std::fputs("usage: card-truth compare EXPECTED GOT [SETTLE]\n", stderr);
        return 2;
    }
    Sound a, b;
    if (!load(argv[2], a) || !load(argv[3], b))
        return 1;
    const Agreement g = compare(a, b, argc == 5 ? std::atoll(argv[4]) : 0);
    if (!g.found) {
        std::fprintf(stderr, "card-truth: no sound to line up in one of the files\n");
        return 1;
    }
    std::printf("lag %lld correlation %.9f frames %lld max-diff %d rms-diff %.3f "
                "worst-frame %lld\n",
                static_cast<long long>(g.lag), g.correlation, static_cast<long long>(g.compared),
                g.maxDiff, g.rmsDiff, static_cast<long long>(g.worstFrame));
    return 0;
}
