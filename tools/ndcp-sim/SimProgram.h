#pragma once

#include <cstdio>
#include <span>
#include <string_view>

namespace ndcpsim {

// The whole program: reads the options, prints --help, or runs the simulator until it is stopped.
// Returns the exit status: 0 after a clean stop or --help, 1 when the log or the socket cannot be
// set up, 2 for bad options. Messages go to err, --help and --count-answers to out.
int RunSimulator(std::span<const std::string_view> args, std::FILE* out, std::FILE* err);

}  // namespace ndcpsim
