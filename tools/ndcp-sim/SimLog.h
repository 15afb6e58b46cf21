#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ndcp-sim/SimAddress.h"
#include "ndcp-sim/SimRequest.h"
#include "ndcp-sim/SimResponder.h"
#include "ndcp-sim/SimReturnPath.h"

namespace ndcpsim {

using WallTime = std::chrono::system_clock::time_point;

// Element values longer than this are logged cut, followed by "..".
inline constexpr std::size_t kLoggedValueBytes = 64;

struct Counters {
    std::uint64_t requests = 0;   // datagrams received
    std::uint64_t dropped = 0;    // of those, not readable as a request
    std::uint64_t answers = 0;    // genuine answers sent (a --twice copy counts)
    std::uint64_t malformed = 0;  // malformed datagrams sent
    std::uint64_t failed = 0;     // datagrams the socket refused
    std::uint64_t unsent = 0;     // datagrams still waiting for their time at the stop
    std::uint64_t flood = 0;      // flood datagrams sent (also counted as malformed)
};

// Two upper-case digits per byte, at most maxBytes bytes, then ".." if there were more.
[[nodiscard]] std::string HexText(std::span<const std::uint8_t> bytes, std::size_t maxBytes);

// Seconds since the epoch with six decimals.
[[nodiscard]] std::string TimeText(WallTime time);

// "ID:LEN:HEX" per element, joined by ",", or "-" for none.
[[nodiscard]] std::string ElementsText(const std::vector<SimElement>& elements);

[[nodiscard]] std::string ListeningLine(WallTime time, const Endpoint& local, std::size_t devices,
                                        int sendBuffer);
// interfaceName: where the request came in ("-" when unknown); auth is given for a request that
// was read (error kNone).
[[nodiscard]] std::string RequestLine(WallTime time, const Endpoint& from, std::string_view interfaceName,
                                      std::size_t size, const ParsedRequest& parsed,
                                      std::optional<AuthResult> auth);
// to is the requester; path says how the answer went there. failure is empty when the datagram
// was sent.
[[nodiscard]] std::string AnswerLine(WallTime time, const Endpoint& to, const ReturnPath& path,
                                     const SimRequest& request, const Outgoing& outgoing,
                                     const MacAddress& deviceMac, std::string_view failure);
[[nodiscard]] std::string ChangeLine(WallTime time, const MacAddress& deviceMac, const DeviceChange& change);
[[nodiscard]] std::string FloodStartLine(WallTime time, const Endpoint& to, double seconds,
                                         std::uint32_t rate);
[[nodiscard]] std::string FloodEndLine(WallTime time, std::uint64_t sent, std::uint64_t failed);
[[nodiscard]] std::string SummaryLine(WallTime time, const Counters& counters);

// The log file, or standard error. Lines are buffered until Flush.
class LogSink {
public:
    // An empty path means standard error. Raises OvException when the file cannot be opened.
    explicit LogSink(const std::string& path);

    void Write(std::string_view line);
    void Flush();

private:
    struct Closer {
        void operator()(std::FILE* file) const noexcept;
    };

    std::unique_ptr<std::FILE, Closer> owned_;
    std::FILE* file_ = nullptr;
};

}  // namespace ndcpsim
