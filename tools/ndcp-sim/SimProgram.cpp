#include "ndcp-sim/SimProgram.h"

#include <chrono>
#include <string>

#include "errors/OvException.h"
#include "ndcp-sim/SimLog.h"
#include "ndcp-sim/SimOptions.h"
#include "ndcp-sim/SimServer.h"

namespace ndcpsim {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitBadOptions = 2;

void Report(std::FILE* err, const std::string& message) {
    std::fprintf(err, "ndcp-sim: %s\n", message.c_str());
}

}  // namespace

int RunSimulator(std::span<const std::string_view> args, std::FILE* out, std::FILE* err) {
    SimOptions options;
    try {
        options = ParseOptions(args);
    } catch (const OvException& error) {
        Report(err, error.Message());
        return kExitBadOptions;
    }
    if (options.help) {
        std::fputs(HelpText().c_str(), out);
        return kExitOk;
    }
    try {
        LogSink log(options.logPath);
        SimServer server(options, BuildDevices(options), log);
        const Counters counters = server.Run();
        if (options.countAnswers) {
            std::fprintf(out, "%s\n", SummaryLine(std::chrono::system_clock::now(), counters).c_str());
        }
    } catch (const OvException& error) {
        Report(err, error.Message());
        return kExitRunFailed;
    }
    std::fflush(out);
    return kExitOk;
}

}  // namespace ndcpsim
