#include "ndcp-sim/SimServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

#include "errors/OvException.h"

namespace ndcpsim {
namespace {

// Datagrams handed to the kernel per sendmmsg call.
constexpr std::size_t kSendBatch = 256;
// Datagrams read before due answers get their turn again.
constexpr int kReceiveBatch = 256;
// Receives any UDP datagram whole (the IPv4 maximum is 65507).
constexpr std::size_t kReceiveBufferSize = 65536;
constexpr int kReceiveBufferBytes = 4 << 20;
constexpr auto kRetryDelay = std::chrono::milliseconds(1);
constexpr Ipv4Address kLimitedBroadcast = {255, 255, 255, 255};

[[noreturn]] void FailSystem(const std::string& what) {
    throw OvException(what + ": " + std::strerror(errno) + ".");
}

[[nodiscard]] sockaddr_in ToSockaddr(const Endpoint& endpoint) noexcept {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    std::memcpy(&address.sin_addr.s_addr, endpoint.address.data(), endpoint.address.size());
    return address;
}

[[nodiscard]] Endpoint FromSockaddr(const sockaddr_in& address) noexcept {
    Endpoint endpoint;
    endpoint.port = ntohs(address.sin_port);
    std::memcpy(endpoint.address.data(), &address.sin_addr.s_addr, endpoint.address.size());
    return endpoint;
}

// Asks for a buffer size, beyond the system's limit where the process may, and returns the size
// the kernel reports afterwards.
int SetBufferSize(int fd, int forceOption, int option, int bytes) {
    if (bytes > 0 && setsockopt(fd, SOL_SOCKET, forceOption, &bytes, sizeof bytes) != 0) {
        static_cast<void>(setsockopt(fd, SOL_SOCKET, option, &bytes, sizeof bytes));
    }
    int actual = 0;
    socklen_t length = sizeof actual;
    static_cast<void>(getsockopt(fd, SOL_SOCKET, option, &actual, &length));
    return actual;
}

[[nodiscard]] Endpoint LocalEndpoint(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        FailSystem("Cannot read the socket's address");
    }
    return FromSockaddr(address);
}

void EnableOption(int fd, int level, int option, const char* what) {
    const int on = 1;
    if (setsockopt(fd, level, option, &on, sizeof on) != 0) FailSystem(std::string("Cannot enable ") + what);
}

[[nodiscard]] BoundSocket OpenSocket(const Endpoint& bind, std::uint32_t sendBufferBytes) {
    BoundSocket bound;
    bound.fd = UniqueFd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (bound.fd.Get() < 0) FailSystem("Cannot create the UDP socket");
    // The arrival interface of each request, and answers by limited broadcast out of it.
    EnableOption(bound.fd.Get(), IPPROTO_IP, IP_PKTINFO, "IP_PKTINFO");
    EnableOption(bound.fd.Get(), SOL_SOCKET, SO_BROADCAST, "SO_BROADCAST");
    const sockaddr_in address = ToSockaddr(bind);
    if (::bind(bound.fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        FailSystem("Cannot bind " + EndpointToText(bind));
    }
    bound.sendBuffer =
        SetBufferSize(bound.fd.Get(), SO_SNDBUFFORCE, SO_SNDBUF, static_cast<int>(sendBufferBytes));
    static_cast<void>(SetBufferSize(bound.fd.Get(), SO_RCVBUFFORCE, SO_RCVBUF, kReceiveBufferBytes));
    bound.local = LocalEndpoint(bound.fd.Get());
    return bound;
}

// 0 when the system has a route to the address, else its reason. Connecting a UDP socket looks
// the route up and sends nothing. A fresh socket each time: a connected one keeps the source
// address of its first route, which a device that changed its address no longer has.
[[nodiscard]] int RouteError(const Endpoint& to) {
    const UniqueFd probe(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (probe.Get() < 0) return errno;
    const sockaddr_in address = ToSockaddr(to);
    return ::connect(probe.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0
                                                                                                    : errno;
}

[[nodiscard]] bool IsMalformedKind(std::string_view kind) noexcept {
    return kind != "answer" && kind != "twice";
}

// The flood --flood asks for, of the --malformed kinds or else all of them.
[[nodiscard]] std::optional<SimFlood> MakeFlood(const SimOptions& options, std::size_t devices) {
    if (!options.floodSeconds) return std::nullopt;
    const std::span<const MalformedKind> all = AllMalformedKinds();
    std::vector<MalformedKind> kinds =
        options.malformed.empty() ? std::vector(all.begin(), all.end()) : options.malformed;
    const auto duration =
        std::chrono::ceil<std::chrono::microseconds>(std::chrono::duration<double>(*options.floodSeconds));
    return SimFlood(FloodSettings{duration, options.floodRate, std::move(kinds), devices});
}

}  // namespace

UniqueFd::UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

SignalWatch::SignalWatch() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &signals, &previous_) != 0) FailSystem("Cannot block SIGINT and SIGTERM");
    fd_ = UniqueFd(signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
    if (fd_.Get() < 0) {
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        FailSystem("Cannot watch SIGINT and SIGTERM");
    }
}

SignalWatch::~SignalWatch() {
    // Take the signals that ended the run, so that unblocking them does not end the process.
    signalfd_siginfo info{};
    while (::read(fd_.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

SimServer::SimServer(const SimOptions& options, std::vector<SimDevice> devices, LogSink& log)
    : options_(options),
      log_(log),
      responder_(std::move(devices), ResponderSettings{options.status, options.twice, options.shuffle,
                                                       options.malformed, options.seed}),
      flood_(MakeFlood(options, responder_.Devices().size())),
      socket_(OpenSocket({options.bind, options.port}, options.sendBufferBytes)),
      random_(options.seed + 1),
      receiveBuffer_(kReceiveBufferSize) {}

Counters SimServer::Run() {
    const SignalWatch signals;
    if (options_.exitAfterSeconds) {
        stopAt_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                     std::chrono::duration<double>(*options_.exitAfterSeconds));
    }
    log_.Write(ListeningLine(std::chrono::system_clock::now(), socket_.local, responder_.Devices().size(),
                             socket_.sendBuffer));
    for (;;) {
        const SendState state = SendDue();
        FinishFlood(false);
        log_.Flush();
        const Clock::time_point now = Clock::now();
        if (stopAt_ && now >= *stopAt_) break;
        std::array<pollfd, 2> fds = {{{socket_.fd.Get(), POLLIN, 0}, {signals.Fd(), POLLIN, 0}}};
        if (state == SendState::kWaitWritable) fds[0].events |= POLLOUT;
        timespec timeout{};
        const auto wake = NextWake(state, now);
        if (wake) {
            const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(*wake - now);
            const auto nanos = std::max<std::int64_t>(wait.count(), 0);
            timeout.tv_sec = static_cast<time_t>(nanos / 1000000000);
            timeout.tv_nsec = static_cast<long>(nanos % 1000000000);
        }
        if (ppoll(fds.data(), fds.size(), wake ? &timeout : nullptr, nullptr) < 0 && errno != EINTR) {
            FailSystem("Cannot wait for the socket");
        }
        if ((fds[1].revents & POLLIN) != 0) break;
        if ((fds[0].revents & POLLIN) != 0) ReceiveSome();
    }
    FinishFlood(true);
    counters_.unsent = queue_.size();
    log_.Write(SummaryLine(std::chrono::system_clock::now(), counters_));
    log_.Flush();
    return counters_;
}

std::optional<SimServer::Clock::time_point> SimServer::NextWake(SendState state,
                                                                Clock::time_point now) const {
    std::optional<Clock::time_point> wake = stopAt_;
    const auto earliest = [&wake](Clock::time_point candidate) {
        if (!wake || candidate < *wake) wake = candidate;
    };
    if (state == SendState::kRetrySoon) earliest(now + kRetryDelay);
    if (state == SendState::kIdle && !queue_.empty()) earliest(queue_.top().due);
    // While the socket is full only the flood's end counts: its due datagrams wait like the queue.
    if (flood_ && flood_->Running()) earliest(state == SendState::kIdle ? flood_->NextDue() : flood_->End());
    return wake;
}

void SimServer::ReceiveSome() {
    for (int i = 0; i < kReceiveBatch; ++i) {
        sockaddr_in from{};
        iovec buffer{receiveBuffer_.data(), receiveBuffer_.size()};
        PacketInfoControl control;
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &buffer;
        message.msg_iovlen = 1;
        message.msg_control = control.bytes.data();
        message.msg_controllen = control.bytes.size();
        const ssize_t received = recvmsg(socket_.fd.Get(), &message, 0);
        if (received < 0) return;
        const unsigned index = ArrivalIndex(message);
        HandleDatagram(std::span(receiveBuffer_).first(static_cast<std::size_t>(received)),
                       FromSockaddr(from), Arrival{index, InterfaceName(index)});
    }
}

void SimServer::HandleDatagram(std::span<const std::uint8_t> datagram, const Endpoint& from,
                               const Arrival& arrival) {
    ++counters_.requests;
    const ParsedRequest parsed = ParseRequest(datagram);
    const auto now = std::chrono::system_clock::now();
    if (parsed.error != RequestError::kNone) {
        ++counters_.dropped;
        log_.Write(RequestLine(now, from, arrival.name, datagram.size(), parsed, std::nullopt));
        return;
    }
    AuthenticatorCheck auth(datagram);
    log_.Write(RequestLine(now, from, arrival.name, datagram.size(), parsed, responder_.BestAuth(auth)));
    Reply reply = responder_.Handle(parsed.request, auth);
    for (const DeviceChange& change : reply.changes) {
        log_.Write(ChangeLine(now, responder_.Devices()[change.device].mac, change));
    }
    if (!reply.datagrams.empty()) {
        const ReturnPath path{ChooseForm(RouteError(from), arrival), arrival};
        Schedule(parsed.request, from, path, std::move(reply.datagrams));
    }
    if (flood_ && flood_->Aim(from, parsed.request, Clock::now())) {
        log_.Write(FloodStartLine(now, from, *options_.floodSeconds, options_.floodRate));
    }
}

void SimServer::Schedule(const SimRequest& request, const Endpoint& to, const ReturnPath& path,
                         std::vector<Outgoing> datagrams) {
    const Clock::time_point arrival = Clock::now();
    const TimingSettings timing{options_.delayMs, options_.jitterMs, options_.burstGapUs};
    const auto offsets = AnswerOffsets(datagrams.size(), timing, random_);
    SimRequest header;
    header.command = request.command;
    header.sequence = request.sequence;
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        queue_.push({arrival + offsets[i], nextOrder_++, to, path, header, std::move(datagrams[i])});
    }
}

SimServer::SendState SimServer::SendDue() {
    std::vector<Scheduled> batch;
    // Flood datagrams this call may add, so that receiving gets its turn however high the rate.
    std::size_t floodLeft = kSendBatch;
    for (;;) {
        const Clock::time_point now = Clock::now();
        batch.clear();
        TakeDue(now, batch);
        floodLeft -= AddFlood(now, std::min(floodLeft, kSendBatch - batch.size()), batch);
        if (batch.empty()) return SendState::kIdle;
        if (const auto state = SendBatch(batch)) return *state;
    }
}

void SimServer::TakeDue(Clock::time_point now, std::vector<Scheduled>& batch) {
    while (!queue_.empty() && queue_.top().due <= now && batch.size() < kSendBatch) {
        batch.push_back(queue_.top());
        queue_.pop();
    }
}

// Puts up to room flood datagrams due by now behind the queued items, which thus go first; returns
// how many.
std::size_t SimServer::AddFlood(Clock::time_point now, std::size_t room, std::vector<Scheduled>& batch) {
    if (!flood_) return 0;
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(flood_->Due(now), room));
    for (std::size_t i = 0; i < count; ++i) {
        batch.push_back(
            {now, 0, flood_->Target(), {}, flood_->Request(), flood_->Build(i, responder_.Devices()), true});
    }
    return count;
}

// Hands the batch to the socket. Returns the state to wait in when the socket took less than all,
// none when the caller may go on.
std::optional<SimServer::SendState> SimServer::SendBatch(std::vector<Scheduled>& batch) {
    std::vector<sockaddr_in> addresses(batch.size());
    std::vector<iovec> buffers(batch.size());
    std::vector<PacketInfoControl> controls(batch.size());
    std::vector<mmsghdr> messages(batch.size(), mmsghdr{});
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const Scheduled& item = batch[i];
        const bool broadcast = item.path.form == AnswerForm::kBroadcast;
        addresses[i] = ToSockaddr(broadcast ? Endpoint{kLimitedBroadcast, item.to.port} : item.to);
        buffers[i] = {batch[i].outgoing.datagram.data(), batch[i].outgoing.datagram.size()};
        messages[i].msg_hdr.msg_name = &addresses[i];
        messages[i].msg_hdr.msg_namelen = sizeof addresses[i];
        messages[i].msg_hdr.msg_iov = &buffers[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        if (broadcast) {
            SendThrough(messages[i].msg_hdr, controls[i], item.path.arrival.index);
        } else if (options_.sources > 1 && !item.flood) {
            SendThrough(messages[i].msg_hdr, controls[i], 0, SourceOf(item.outgoing.device));
        }
    }
    const int sent = sendmmsg(socket_.fd.Get(), messages.data(), static_cast<unsigned>(messages.size()), 0);
    const int error = errno;
    const std::size_t count = sent > 0 ? static_cast<std::size_t>(sent) : 0;
    for (std::size_t i = 0; i < count; ++i) LogSent(batch[i], {});
    std::size_t rest = count;
    if (sent < 0) {
        if (error != EAGAIN && error != EWOULDBLOCK && error != ENOBUFS && error != EINTR) {
            LogSent(batch[0], std::strerror(error));
            rest = 1;
        }
    }
    // Queued items the socket did not take try again; the flood builds its own again when next due.
    for (std::size_t i = rest; i < batch.size(); ++i) {
        if (!batch[i].flood) queue_.push(std::move(batch[i]));
    }
    if (sent < 0 && (error == EAGAIN || error == EWOULDBLOCK)) return SendState::kWaitWritable;
    if (sent < 0 && error == ENOBUFS) return SendState::kRetrySoon;
    return std::nullopt;
}

in_addr_t SimServer::SourceOf(std::size_t device) const {
    const Ipv4Address source =
        OffsetIpv4(options_.bind, static_cast<std::uint32_t>(device % options_.sources));
    in_addr_t address = 0;
    std::memcpy(&address, source.data(), sizeof address);
    return address;
}

void SimServer::LogSent(const Scheduled& item, std::string_view failure) {
    if (item.flood) {
        CountFlood(failure.empty());
        return;
    }
    if (!failure.empty()) {
        ++counters_.failed;
    } else if (IsMalformedKind(item.outgoing.kind)) {
        ++counters_.malformed;
    } else {
        ++counters_.answers;
    }
    if (options_.quiet && failure.empty()) return;
    const MacAddress& mac = responder_.Devices()[item.outgoing.device].mac;
    log_.Write(AnswerLine(std::chrono::system_clock::now(), item.to, item.path, item.request, item.outgoing,
                          mac, failure));
}

// Flood datagrams are counted, not logged one by one: at thousands a second they would bury the log.
void SimServer::CountFlood(bool sent) {
    flood_->Handed(sent);
    if (!sent) {
        ++counters_.failed;
        return;
    }
    ++counters_.malformed;
    ++counters_.flood;
}

void SimServer::FinishFlood(bool stopping) {
    if (flood_ && flood_->Finish(Clock::now(), stopping)) {
        log_.Write(FloodEndLine(std::chrono::system_clock::now(), flood_->Sent(), flood_->Failed()));
    }
}

}  // namespace ndcpsim
