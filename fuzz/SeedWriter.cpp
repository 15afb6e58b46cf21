// Writes the seed inputs of every fuzz target into <folder>/<target>/, one file per seed.

#include "Seeds.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    for (const std::string_view target : kFuzzTargets) {
        const std::filesystem::path folder = root / std::string(target);
        std::filesystem::create_directories(folder);
        int index = 0;
        for (const Seed& seed : SeedsFor(target)) {
            char name[32];
            std::snprintf(name, sizeof name, "seed-%03d", index++);
            std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
        }
        std::printf("%-16s %d seeds\n", std::string(target).c_str(), index);
    }
    return 0;
}
