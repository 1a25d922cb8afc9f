// Replays saved inputs through a fuzz target without libFuzzer, so that the main tree
// (g++, and its sanitizer flavours) runs every seed and regression input as a test.
//   <target> PATH...   each PATH a file, or a folder whose files are replayed in name order
// Each input is copied to a heap block of exactly its size, as libFuzzer does, so that
// a read one byte past its end is an AddressSanitizer report. A crash, a sanitizer
// report or a target's abort ends the run; the input being replayed is printed first.
// No input at all is a failure too: a wrong path must not pass as an empty corpus.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

// Far above any target's longest input; a bigger file is not an input we saved.
constexpr std::uintmax_t kMaxInput = 1 << 20;

bool replay(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxInput) {
        std::fprintf(stderr, "replay: %s: %s\n", path.c_str(), error ? error.message().c_str() : "too large");
        return false;
    }
    // new[] rather than a vector: an empty input still has an address, as under libFuzzer.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.get()), std::streamsize(size)) || in.peek() != EOF) {
        std::fprintf(stderr, "replay: %s: changed while read\n", path.c_str());
        return false;
    }
    std::fprintf(stderr, "replay: %s (%ju bytes)\n", path.c_str(), size);
    std::fflush(stderr);
    LLVMFuzzerTestOneInput(bytes.get(), size);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        std::error_code error;
        std::vector<fs::path> inputs;
        if (fs::is_directory(path, error)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(path, error))
                if (entry.is_regular_file(error))
                    inputs.push_back(entry.path());
            std::sort(inputs.begin(), inputs.end());
        } else if (fs::is_regular_file(path, error)) {
            inputs.push_back(path);
        }
        if (error || inputs.empty()) {
            std::fprintf(stderr, "replay: %s: no inputs%s%s\n", path.c_str(), error ? ": " : "",
                         error ? error.message().c_str() : "");
            return 1;
        }
        for (const fs::path& input : inputs) {
            if (!replay(input))
                return 1;
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER...\n", argv[0]);
        return 2;
    }
    std::fprintf(stderr, "replay: %zu inputs passed\n", replayed);
    return 0;
}
