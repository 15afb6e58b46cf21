#include <cstdio>
#include <string_view>
#include <vector>

#include "ndcp-sim/SimProgram.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    return ndcpsim::RunSimulator(args, stdout, stderr);
}
