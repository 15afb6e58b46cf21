// Start-up as a person sees it: from the start of the program's process to its main window being
// mapped on the X display named by DISPLAY (Xvfb in scripts/bench). The X server reports every
// window mapped on its root; the program's own is the one whose _NET_WM_PID is the process's.
// Prints the figure as rows of the bench table.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <xcb/xcb.h>

#include "BenchClock.h"
#include "BenchTable.h"
#include "ProcessStatus.h"

extern char** environ;

namespace {

constexpr double kGoalStartupMs = 80;
constexpr int kMapTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;
// Between runs, so that one run's exit does not overlap the next one's start.
constexpr int kPauseMs = 300;

struct Options {
    std::string program;
    int repeat = 5;
};

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr, "%s\nusage: ov_startup_bench --program PATH [--repeat R]\n", problem);
    std::exit(2);
}

Options ParseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) Usage("an option lacks its value");
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--program") {
            options.program = value;
        } else if (name == "--repeat") {
            options.repeat = std::atoi(value.c_str());
        } else {
            Usage("unknown option");
        }
    }
    if (options.program.empty()) Usage("--program is missing");
    if (options.repeat < 1) Usage("--repeat must be at least 1");
    return options;
}

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

struct Freer {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using Reply = std::unique_ptr<T, Freer>;

// The display of DISPLAY, with the notifications of windows mapped on the first screen's root.
class Display {
public:
    Display() : connection_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(connection_.get()) != 0) return;
        const xcb_screen_t* const screen = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_.get(), screen->root, XCB_CW_EVENT_MASK, &mask);
        pidAtom_ = Atom("_NET_WM_PID");
        xcb_flush(connection_.get());
    }

    [[nodiscard]] bool Open() const {
        return xcb_connection_has_error(connection_.get()) == 0 && pidAtom_ != XCB_ATOM_NONE;
    }

    // Waits until a window of the process is mapped; the time it was noticed, none on time-out.
    std::optional<bench::Clock::time_point> WaitForWindowOf(pid_t pid) {
        const bench::Clock::time_point end = bench::Clock::now() + std::chrono::milliseconds(kMapTimeoutMs);
        while (bench::Clock::now() < end) {
            const Reply<xcb_generic_event_t> event(xcb_poll_for_event(connection_.get()));
            if (!event) {
                if (xcb_connection_has_error(connection_.get()) != 0) return std::nullopt;
                pollfd readable{xcb_get_file_descriptor(connection_.get()), POLLIN, 0};
                ::poll(&readable, 1, 50);
                continue;
            }
            if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY) continue;
            const bench::Clock::time_point mapped = bench::Clock::now();
            const auto* const map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
            if (WindowPid(map->window) == pid) return mapped;
        }
        return std::nullopt;
    }

private:
    xcb_atom_t Atom(const char* name) {
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            connection_.get(),
            xcb_intern_atom(connection_.get(), 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }

    std::optional<pid_t> WindowPid(xcb_window_t window) {
        const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection_.get(),
            xcb_get_property(connection_.get(), 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4)
            return std::nullopt;
        std::uint32_t pid = 0;
        std::memcpy(&pid, xcb_get_property_value(reply.get()), sizeof pid);
        return static_cast<pid_t>(pid);
    }

    Connection connection_;
    xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
};

// The program on the X display, its output discarded; none when it cannot be started.
std::optional<pid_t> Start(const std::string& program) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        if (std::strncmp(*entry, "QT_QPA_PLATFORM=", 16) != 0) environment.emplace_back(*entry);
    }
    environment.emplace_back("QT_QPA_PLATFORM=xcb");
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = program;
    char* const argv[] = {path.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "startup bench: %s did not start: %s\n", program.c_str(), std::strerror(error));
        return std::nullopt;
    }
    return pid;
}

// Ends the program: SIGTERM, then SIGKILL when it does not end in time.
void Stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    const bench::Clock::time_point end = bench::Clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
    while (bench::Clock::now() < end) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// What the threads of the process spent so far, summed: on a processor, and waiting for one.
ScheduleTimes ThreadTimes(pid_t pid) {
    ScheduleTimes total;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream file(task.path() / "schedstat");
        std::string line;
        std::getline(file, line);
        const std::optional<ScheduleTimes> times = SchedstatTimes(line);
        if (!times) continue;
        total.runNs += times->runNs;
        total.waitNs += times->waitNs;
    }
    return total;
}

// One start-up: from the start of the process to its window mapped, and what its threads spent
// by then on a processor and waiting for one (what a busy machine adds), in milliseconds.
struct Startup {
    double mappedMs = 0;
    double cpuMs = 0;
    double waitMs = 0;
};

// Each run's start-up; none when a run failed (the reason in error).
std::optional<std::vector<Startup>> Measure(const Options& options, std::string& error) {
    Display display;
    if (!display.Open()) {
        error = "no X display at DISPLAY";
        return std::nullopt;
    }
    std::vector<Startup> startups;
    for (int run = 0; run < options.repeat; ++run) {
        const bench::Clock::time_point started = bench::Clock::now();
        const std::optional<pid_t> pid = Start(options.program);
        if (!pid) {
            error = options.program + " did not start";
            return std::nullopt;
        }
        const std::optional<bench::Clock::time_point> mapped = display.WaitForWindowOf(*pid);
        const ScheduleTimes spent = ThreadTimes(*pid);
        Stop(*pid);
        if (!mapped) {
            error = "no window of " + options.program + " was mapped within " +
                    std::to_string(kMapTimeoutMs) + " ms";
            return std::nullopt;
        }
        startups.push_back({bench::MillisecondsBetween(started, *mapped),
                            static_cast<double>(spent.runNs) / 1e6, static_cast<double>(spent.waitNs) / 1e6});
        std::this_thread::sleep_for(std::chrono::milliseconds(kPauseMs));
    }
    return startups;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseArguments(argc, argv);
    const std::string section = "start-up on Xvfb x" + std::to_string(options.repeat);
    const std::string figure = "process start to main window mapped";
    const std::string goal = "<= " + FormatMilliseconds(kGoalStartupMs);
    std::string error;
    const std::optional<std::vector<Startup>> startups = Measure(options, error);
    if (!startups) {
        PrintRows({{section, figure, "not measured: " + error, goal, Verdict(false)}});
        return 1;
    }
    const auto each = [&](double Startup::*figure) {
        std::vector<double> values;
        for (const Startup& startup : *startups) values.push_back(startup.*figure);
        return values;
    };
    const std::vector<double> mapped = each(&Startup::mappedMs);
    PrintRows({{section, figure, MedianAndWorst(mapped, FormatMilliseconds), goal,
                Verdict(Median(mapped) <= kGoalStartupMs)},
               {section, "the first run", FormatMilliseconds(mapped.front()), "", ""},
               {section, "by then: CPU time of its threads",
                MedianAndWorst(each(&Startup::cpuMs), FormatMilliseconds), "", ""},
               {section, "by then: time its threads waited for a processor",
                MedianAndWorst(each(&Startup::waitMs), FormatMilliseconds), "", ""}});
    return 0;
}
