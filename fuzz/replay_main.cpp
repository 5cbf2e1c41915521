// The main of a fuzz target built without libFuzzer: runs the target once
// on every file named, and on every file under each folder named (in name
// order), so the corpus is a regression test in every test build, the
// sanitized one included. A reader that crashes on an input crashes this
// too; a path that is missing, or no input at all, is an error, so a corpus
// moved away fails rather than passing on nothing.
//   fuzz_replay_<target> PATH...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

namespace {

bool collect(const fs::path& path, std::vector<fs::path>& files) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
        files.push_back(path);
        return true;
    }
    if (!fs::is_directory(path, ec)) {
        std::fprintf(stderr, "replay: no such file or folder: %s\n", path.c_str());
        return false;
    }
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(path, ec))
        if (entry.is_regular_file())
            found.push_back(entry.path());
    if (ec) {
        std::fprintf(stderr, "replay: %s: %s\n", path.c_str(), ec.message().c_str());
        return false;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i)
        if (!collect(argv[i], files))
            return 2;
    if (files.empty()) {
        std::fprintf(stderr, "replay: no inputs\n");
        return 2;
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
            return 2;
        }
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
        // A copy of exactly the input's size, as libFuzzer gives it, so that
        // the sanitizers see a read past its end.
        std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), data.get());
        std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(data.get(), bytes.size());
    }
    std::printf("replay: %zu inputs, no crash\n", files.size());
    return 0;
}
