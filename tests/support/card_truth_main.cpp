// card-truth: the truth of a card-like path on the command line.
//   card-truth level PLAYED FILTERED FIRST FRAMES   the reading of that window
//   card-truth find PLAYED STEP [FROM]              where the step's loop first played
//   card-truth rows PLAYED FILTERED DATADIR         rows 1-20 of a sweep: window, truth,
//                                                   and what the row's capture reads
//   card-truth compare EXPECTED GOT [SETTLE]        how well a recording of the path
//                                                   repeats the offline run
// PLAYED is the path's input as recorded (scripts/card-path), FILTERED the
// offline run over it (card-path truth), frames are PLAYED's.
#include "construct/measure/capture_files.h"
#include "support/card_truth.h"
#include "support/files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace qelvar::test::card;

namespace {

int usage() {
    std::fputs("usage: card-truth level PLAYED FILTERED FIRST FRAMES\n"
               "       card-truth find PLAYED STEP [FROM]\n"
               "       card-truth rows PLAYED FILTERED DATADIR\n"
               "       card-truth compare EXPECTED GOT [SETTLE]\n",
               stderr);
    return 2;
}

bool load(const char* path, Sound& s) {
    std::string why;
    s = readWav(path, &why);
    if (s.channels == 0)
        std::fprintf(stderr, "card-truth: %s\n", why.c_str());
    return s.channels != 0;
}

// The filtered run must be the played sequence frame for frame.
bool sameFraming(const Sound& played, const Sound& filtered) {
    if (played.rate == filtered.rate && played.frames() == filtered.frames())
        return true;
    std::fprintf(stderr,
                 "card-truth: the filtered file has %lld frames at %d Hz, the played "
                 "one %lld at %d Hz\n",
                 static_cast<long long>(filtered.frames()), filtered.rate,
                 static_cast<long long>(played.frames()), played.rate);
    return false;
}

int rows(const Sound& played, const Sound& filtered, const std::string& dir) {
    std::vector<Sound> steps;
    for (int r = 1; r <= 20; ++r)
        steps.push_back(readWav(dir + "/tessalyf" + std::to_string(r) + ".wav"));
    const std::vector<std::int64_t> at = findSteps(played, steps);
    std::printf("row      first  frames    truth L    truth R  capture L  capture R\n");
    for (int r = 1; r <= 20; ++r) {
        const std::string cap = dir + "/wavrec" + std::to_string(r) + ".wav";
        std::error_code ec;
        const auto size = std::filesystem::file_size(cap, ec);
        const std::int64_t frames = ec ? 0 : (static_cast<std::int64_t>(size) - 44) / 4;
        const std::int64_t first = at[static_cast<std::size_t>(r - 1)];
        std::printf("%3d %10lld %7lld", r, static_cast<long long>(first),
                    static_cast<long long>(frames));
        if (first >= 0 && frames > 0) {
            auto [l, rt] = truthLevels(filtered, first, frames);
            std::printf(" %10.4f %10.4f", l, rt);
        } else {
            std::printf(" %10s %10s", "-", "-");
        }
        if (!ec) {
            auto [l, rt] = captest::referenceLevels(qelvar::test::readBytes(cap));
            std::printf(" %10.4f %10.4f", l, rt);
        }
        std::printf("\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string cmd = argv[1];
    Sound a, b;
    if (cmd == "level" && argc == 6) {
        if (!load(argv[2], a) || !load(argv[3], b) || !sameFraming(a, b))
            return 1;
        auto [l, r] = truthLevels(b, std::atoll(argv[4]), std::atoll(argv[5]));
        std::printf("%.4f %.4f\n", l, r);
        return 0;
    }
    if (cmd == "find" && (argc == 4 || argc == 5)) {
        if (!load(argv[2], a) || !load(argv[3], b))
            return 1;
        const std::int64_t at = findLoop(a, b, argc == 5 ? std::atoll(argv[4]) : 0);
        std::printf("%lld\n", static_cast<long long>(at));
        return at < 0 ? 1 : 0;
    }
    if (cmd == "rows" && argc == 5) {
        if (!load(argv[2], a) || !load(argv[3], b) || !sameFraming(a, b))
            return 1;
        return rows(a, b, argv[4]);
    }
    if (cmd == "compare" && (argc == 4 || argc == 5)) {
        if (!load(argv[2], a) || !load(argv[3], b))
            return 1;
        const Agreement g = compare(a, b, argc == 5 ? std::atoll(argv[4]) : 0);
        if (!g.found) {
            std::fprintf(stderr, "card-truth: no sound to line up in one of the files\n");
            return 1;
        }
        std::printf("lag %lld correlation %.9f frames %lld max-diff %d rms-diff %.3f "
                    "worst-frame %lld\n",
                    static_cast<long long>(g.lag), g.correlation,
                    static_cast<long long>(g.compared), g.maxDiff, g.rmsDiff,
                    static_cast<long long>(g.worstFrame));
        return 0;
    }
    return usage();
}
