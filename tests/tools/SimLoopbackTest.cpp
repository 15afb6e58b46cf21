// Runs the ndcp-sim program bound to 127.0.0.1 on a free port and talks to it with datagrams
// built by hand.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimTestSupport.h"
#include "ndcp-sim/SimLog.h"
#include "ndcp-sim/SimMalformed.h"
#include "ndcp-sim/SimProgram.h"
#include "testkit/Loopback.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using simtest::Element;
using simtest::Hex;
using simtest::Request;
using Bytes = std::vector<std::uint8_t>;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempPath(const std::string& name) {
    return testing::TempDir() + "ndcp-sim-" + std::to_string(getpid()) + "-" + name;
}

// The program on 127.0.0.1, port 0, with its log and standard output in files; killed and reaped
// if the test leaves it running.
class Simulator {
public:
    explicit Simulator(std::vector<std::string> args, const std::string& name)
        : log_(TempPath(name + ".log")), out_(TempPath(name + ".out")) {
        args.insert(args.begin(), {NDCP_SIM_PATH, "--bind", "127.0.0.1", "--port", "0", "--log", log_});
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        std::remove(log_.c_str());
        std::remove(out_.c_str());
    }

    // The port of the listening line, once the log has it.
    std::optional<std::uint16_t> Port() const {
        const std::regex listening(R"(ev=listening addr=127\.0\.0\.1 port=(\d+) )");
        for (int i = 0; pid_ > 0 && i < 500; ++i, std::this_thread::sleep_for(10ms)) {
            std::smatch match;
            const std::string log = Log();
            if (std::regex_search(log, match, listening))
                return static_cast<std::uint16_t>(std::stoi(match[1]));
        }
        return std::nullopt;
    }
    void Signal(int signal) const { kill(pid_, signal); }
    // True when the program ended on its own with status 0 within the time.
    bool ExitsCleanly(std::chrono::milliseconds limit) {
        for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    std::string Log() const { return ReadFile(log_); }
    std::string Out() const { return ReadFile(out_); }

private:
    std::string log_;
    std::string out_;
    pid_t pid_ = -1;
};

// A UDP socket on 127.0.0.1 that talks to the simulator's port only.
class Client {
public:
    explicit Client(std::uint16_t port) : port_(port), fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
        const sockaddr_in local = Loopback(0);
        bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        // Beyond the system's limit where the process may, so that a flood is received whole.
        const int bytes = 8 << 20;
        if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0) {
            setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
        }
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { close(fd_); }

    void Send(const Bytes& datagram) const {
        const sockaddr_in to = Loopback(port_);
        sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    // Datagrams until count have come or the time is up; each must come from the simulator's port.
    std::vector<Bytes> Receive(std::size_t count, std::chrono::milliseconds limit) const {
        std::vector<Bytes> received;
        const auto end = std::chrono::steady_clock::now() + limit;
        while (received.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(end - std::chrono::steady_clock::now());
            if (left <= 0us) break;
            const timeval timeout{left.count() / 1000000, left.count() % 1000000};
            setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t size =
                recvfrom(fd_, buffer_.data(), buffer_.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (size < 0) break;
            EXPECT_EQ(ntohs(from.sin_port), port_);
            received.emplace_back(buffer_.begin(), buffer_.begin() + size);
        }
        return received;
    }

private:
    std::uint16_t port_;
    int fd_;
    mutable Bytes buffer_ = Bytes(65536);
};

// Command, sequence, status, MAC address and area of an answer whose framing is right.
std::string Summary(const Bytes& a) {
    if (a.size() < 36 || Bytes(a.begin(), a.begin() + 4) != Hex("092B1338") ||
        static_cast<std::size_t>(a[6] * 256 + a[7]) != a.size()) {
        return "bad framing";
    }
    const auto hex = [&a](std::size_t from, std::size_t to) {
        return ndcpsim::HexText(std::span(a).subspan(from, to - from), a.size());
    };
    return std::to_string(a[4]) + " " + std::to_string(a[5]) + " " + std::to_string(a[10] & 15) + " " +
           hex(28, 34) + " " + hex(36, a.size());
}

std::string Values(int index, std::string_view ip, std::string_view mask = "FFFFFF00") {
    const std::string n = std::to_string(index);
    return "01000B4B56582D37373042"
           "06000C53746F726167652D3" +
           n + "02000900112233440" + n + "030007" + std::string(ip) + "040007" + std::string(mask);
}

TEST(SimLoopbackTest, DiscoverSetAndDiscoverAgain) {
    Simulator sim({"--exit-after", "60"}, "discover");
    const auto port = sim.Port();
    ASSERT_TRUE(port.has_value()) << sim.Log();
    const Client client(*port);

    client.Send(Request(1, 1, simtest::kBroadcast, {}, "kestu"));
    std::vector<std::string> answers;
    for (const Bytes& answer : client.Receive(3, 3000ms)) answers.push_back(Summary(answer));
    std::sort(answers.begin(), answers.end());
    EXPECT_EQ(answers, (std::vector<std::string>{"1 1 0 001122334401 " + Values(1, "C0A80065"),
                                                 "1 1 0 001122334402 " + Values(2, "C0A80066"),
                                                 "1 1 0 001122334403 " + Values(3, "C0A80067")}));

    client.Send(
        Request(3, 2, "001122334402", Hex("030007 0A000002 040007 FFFF0000"), simtest::kAdminEncrypted));
    const auto set = client.Receive(1, 2000ms);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(Summary(set[0]), "3 2 0 001122334402 0300070A000002040007FFFF0000");

    client.Send(Request(5, 3, "001122334402", Hex("030003 040003"), "wrong"));
    const auto refused = client.Receive(1, 2000ms);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(Summary(refused[0]), "5 3 1 001122334402 ");

    // Hostile datagrams are dropped without harm.
    client.Send(Bytes(65507, 0x09));
    client.Send(Bytes(1, 0x09));
    client.Send(Request(5, 4, "001122334402", Hex("0300"), "kestu"));

    client.Send(Request(1, 5, "001122334402", {}, "kestu"));
    const auto again = client.Receive(2, 1000ms);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(Summary(again[0]), "1 5 0 001122334402 " + Values(2, "0A000002", "FFFF0000"));

    sim.Signal(SIGTERM);
    EXPECT_TRUE(sim.ExitsCleanly(5000ms));
    const std::string log = sim.Log();
    for (const std::string_view line :
         {"ev=change dev=001122334402 ip=10.0.0.2 mask=255.255.0.0",
          " size=65507 cmd=9 seq=9 len=2313 ctl=0x09 mac=090909090909 fixed=9 result=drop reason=signature",
          " size=38 cmd=5 seq=4 len=38 ctl=0x10 mac=001122334402 fixed=1 result=drop reason=element-header",
          " dev=001122334402 cmd=5 seq=3 status=1 auth=none kind=answer size=36 form=unicast result=sent",
          " iface=lo size=36 cmd=1 seq=1 len=36 ctl=0x10 mac=FFFFFFFFFFFF fixed=1 auth=default",
          "ev=summary requests=7 dropped=3 answers=6 malformed=0 failed=0 unsent=0"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
}

TEST(SimLoopbackTest, MisbehavesAsAsked) {
    Simulator sim({"--devices", "1", "--twice", "--delay", "200", "--status", "2", "--exit-after", "60"},
                  "misbehave");
    const auto port = sim.Port();
    ASSERT_TRUE(port.has_value()) << sim.Log();
    const Client client(*port);
    const auto sent = std::chrono::steady_clock::now();
    client.Send(Request(1, 7, simtest::kBroadcast, {}, "not the password"));
    const auto first = client.Receive(1, 3000ms);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 200ms);
    const auto second = client.Receive(1, 1000ms);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(Summary(first[0]), "1 7 2 001122334401 ");
    EXPECT_EQ(first[0], second[0]);
}

TEST(SimLoopbackTest, BurstOfManyDevicesThenSigint) {
    Simulator sim({"--devices", "1000", "--quiet", "--exit-after", "60"}, "burst");
    const auto port = sim.Port();
    ASSERT_TRUE(port.has_value()) << sim.Log();
    const Client client(*port);
    client.Send(Request(1, 0, simtest::kBroadcast, {}, "kestu"));
    EXPECT_GT(client.Receive(1000, 3000ms).size(), 0u);
    sim.Signal(SIGINT);
    EXPECT_TRUE(sim.ExitsCleanly(5000ms));
    const std::string log = sim.Log();
    EXPECT_NE(log.find("ev=summary requests=1 dropped=0 answers=1000 malformed=0 failed=0 unsent=0"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("ev=answer"), std::string::npos) << "--quiet leaves out the answer lines";
}

TEST(SimLoopbackTest, ExitAfterStopsByItselfAndCountsOnStdout) {
    Simulator sim({"--exit-after", "0.2", "--count-answers"}, "exit");
    EXPECT_TRUE(sim.ExitsCleanly(5000ms));
    EXPECT_NE(
        sim.Out().find(" ev=summary requests=0 dropped=0 answers=0 malformed=0 failed=0 unsent=0 flood=0\n"),
        std::string::npos)
        << sim.Out();
}

// What a datagram answering a Discover of this sequence is, told from its size and bytes: "answer",
// or the malformed kind as --help describes it.
std::string KindOf(const Bytes& d, std::uint8_t sequence) {
    static const std::map<std::size_t, std::string> kBySize = {
        {35, "short"}, {47, "past-end"}, {87, "dollar"}, {2082, "parens"}, {8912, "huge"}, {9000, "long"}};
    if (const auto found = kBySize.find(d.size()); found != kBySize.end()) return found->second;
    if (d.size() == 85) return d[38] == 0 ? "elem-zero" : "elem-short";
    if (d.size() == 84) return d[38] == 3 + 10 ? "quotes" : "width";  // module name "\"KVX-770B\""
    if (d.size() != 82) return "size " + std::to_string(d.size());
    if (d[3] != 0x38) return "signature";
    if (d[6] * 256 + d[7] != 82) return "length";
    if (d[5] != sequence) return "sequence";
    if (d[33] > 2) return "mac";
    return "answer";
}

TEST(SimLoopbackTest, FloodsTheSenderForItsTimeAndStillAnswers) {
    Simulator sim({"--devices", "2", "--flood", "0.5", "--flood-rate", "2000", "--exit-after", "60"},
                  "flood");
    const auto port = sim.Port();
    ASSERT_TRUE(port.has_value()) << sim.Log();
    const Client client(*port);
    constexpr std::uint8_t kSequence = 0x2A;
    client.Send(Request(1, kSequence, simtest::kBroadcast, {}, "kestu"));
    // The flood lasts half a second of the simulator's time; a loaded or sanitized run may take
    // longer, so read until the simulator has logged its end, then check that nothing follows.
    std::vector<Bytes> received;
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (sim.Log().find("ev=flood-end") == std::string::npos && std::chrono::steady_clock::now() < giveUp) {
        for (Bytes& d : client.Receive(100000, 100ms)) received.push_back(std::move(d));
    }
    // What the simulator sent before its end may still wait in the socket: drain it.
    for (std::vector<Bytes> more = client.Receive(100000, 100ms); !more.empty();
         more = client.Receive(100000, 100ms)) {
        for (Bytes& d : more) received.push_back(std::move(d));
    }
    EXPECT_TRUE(client.Receive(1, 300ms).empty()) << "nothing after the flood's end";

    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(Summary(received[0]), "1 42 0 001122334401 " + Values(1, "C0A80065")) << "answers go first";
    EXPECT_EQ(Summary(received[1]), "1 42 0 001122334402 " + Values(2, "C0A80066"));
    std::set<std::string> kindsOfDevices;
    std::size_t flood = 0;
    for (std::size_t i = 2; i < received.size(); ++i) {
        const Bytes& d = received[i];
        const std::string kind = KindOf(d, kSequence);
        ASSERT_NE(kind, "answer") << i;
        ++flood;
        EXPECT_EQ(d[4], 1) << kind;
        EXPECT_EQ(d[5], kind == "sequence" ? kSequence ^ 0x80 : kSequence) << kind;
        kindsOfDevices.insert(kind + "@" + std::to_string(kind == "mac" ? d[33] ^ 0xFF : d[33]));
    }
    EXPECT_GE(flood, 500u);
    EXPECT_LE(flood, 1500u);
    std::set<std::string> everyKindOfBoth;
    for (const ndcpsim::MalformedKind kind : ndcpsim::AllMalformedKinds()) {
        for (const char* device : {"@1", "@2"})
            everyKindOfBoth.insert(std::string(ndcpsim::MalformedKindName(kind)) + device);
    }
    EXPECT_EQ(kindsOfDevices, everyKindOfBoth);

    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.ExitsCleanly(5000ms));
    const std::string log = sim.Log();
    EXPECT_TRUE(
        std::regex_search(log, std::regex(R"(ev=flood-start to=127\.0\.0\.1:\d+ seconds=0\.5 rate=2000\n)")))
        << log;
    std::smatch end;
    ASSERT_TRUE(std::regex_search(log, end, std::regex(R"(ev=flood-end sent=(\d+) failed=0\n)"))) << log;
    const std::string sent = end[1];
    EXPECT_EQ(sent, std::to_string(flood));
    EXPECT_NE(log.find(" ev=summary requests=1 dropped=0 answers=2 malformed=" + sent +
                       " failed=0 unsent=0 flood=" + sent + "\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 7) << "no line per flood datagram:\n" << log;
}

// RunSimulator in this process: the exit status and what it writes to the stream chosen.
std::pair<int, std::string> RunInProcess(const std::vector<std::string_view>& args, bool wantErr) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = ndcpsim::RunSimulator(args, out, err);
    std::FILE* shown = wantErr ? err : out;
    std::rewind(shown);
    std::string text;
    for (int c = std::fgetc(shown); c != EOF; c = std::fgetc(shown)) text.push_back(static_cast<char>(c));
    std::fclose(out);
    std::fclose(err);
    return {code, text};
}

TEST(RunSimulatorTest, ExitStatusAndMessages) {
    EXPECT_EQ(
        RunInProcess({"--devices", "x"}, true),
        std::make_pair(2, std::string("ndcp-sim: Option --devices expects a whole number from 0 to 60000, "
                                      "not \"x\".\n")));
    const auto help = RunInProcess({"--help"}, false);
    EXPECT_EQ(help.first, 0);
    EXPECT_EQ(help.second.rfind("Usage: ndcp-sim [OPTION]...\n", 0), 0u);
    EXPECT_EQ(
        RunInProcess({"--log", "/nonexistent-folder/log"}, true),
        std::make_pair(1, std::string("ndcp-sim: Cannot open the log file \"/nonexistent-folder/log\": No "
                                      "such file or directory.\n")));

    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = Loopback(0);
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string port = std::to_string(ntohs(address.sin_port));
    const std::string log = TempPath("inuse.log");
    EXPECT_EQ(RunInProcess({"--bind", "127.0.0.1", "--port", port, "--log", log}, true),
              std::make_pair(1, "ndcp-sim: Cannot bind 127.0.0.1:" + port + ": Address already in use.\n"));
    close(fd);
    std::remove(log.c_str());
}

}  // namespace
