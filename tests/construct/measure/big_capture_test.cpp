// A capture of hundreds of megabytes is read in bounded memory.
#include "construct/measure/measure.h"

#include "construct/measure/capture_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace qelvar::construct;

namespace {

// Peak resident set size of this process in kB (VmHWM).
long peakRssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

TEST(BigCapture, SparseFileOf200MBReadsInBoundedMemory) {
    captest::TempDir dir;
    std::string path = dir.file("wavrec4.wav");
    // Header and 1000 half-scale left frames, then zeros to 200 MB: a
    // sparse file, so the test stays quick.
    captest::writeBytes(path, captest::constantCapture(16384, 0, 1000));
    constexpr long long kBytes = 200LL * 1024 * 1024;
    ASSERT_EQ(::truncate(path.c_str(), kBytes), 0);

    long before = peakRssKb();
    Reading r = peakread(path, 4, {});
    long after = peakRssKb();

    // F = (n − 53) div 4 frames from offset 48; the 999 frames after the
    // first hold magnitude 16320, the rest 0.
    double frames = static_cast<double>((kBytes - 53) / 4);
    double expected = 20 * std::log(999 * 16320.0 / frames / 32640) / 2.302585 + 5;
    EXPECT_NEAR(r.left, expected, 1e-9);
    EXPECT_EQ(r.right, 0.0);
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 8 * 1024) << "peak RSS grew by " << after - before << " kB";
}

} // namespace
