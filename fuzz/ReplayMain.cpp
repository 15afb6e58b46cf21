// Runs one fuzz target, built without the fuzzer, over its seed inputs and over the files and
// folders named on the command line (an input the fuzzer reported, for example).

#include "Seeds.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

[[nodiscard]] std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Run(const std::vector<std::uint8_t>& input) { LLVMFuzzerTestOneInput(input.data(), input.size()); }

// Every regular file of a folder, or the file itself; the number of inputs run.
[[nodiscard]] int RunPath(const std::filesystem::path& path) {
    if (!std::filesystem::is_directory(path)) {
        Run(ReadFile(path));
        return 1;
    }
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (!entry.is_regular_file()) continue;
        Run(ReadFile(entry.path()));
        ++count;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    int count = 0;
    for (const Seed& seed : SeedsFor(OV_FUZZ_TARGET)) {
        Run(seed);
        ++count;
    }
    for (int i = 1; i < argc; ++i) count += RunPath(argv[i]);
    std::printf("%s: %d inputs replayed without a finding\n", OV_FUZZ_TARGET, count);
    return count > 0 ? 0 : 1;
}
