#include "ndcp/SocketReader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include <QtDebug>

#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Datagrams taken by one system call.
constexpr unsigned int kBatchSize = 32;

// Room for the control messages of one datagram: the interface it arrived on and its arrival time.
constexpr std::size_t kControlSize = CMSG_SPACE(sizeof(in_pktinfo)) + CMSG_SPACE(sizeof(timespec));

// The interface and time of arrival from a datagram's control messages; 0 for what is missing.
void ReadControl(const msghdr& header, DatagramOrigin& origin) {
    for (cmsghdr* message = CMSG_FIRSTHDR(&header); message;
         message = CMSG_NXTHDR(const_cast<msghdr*>(&header), message)) {
        if (message->cmsg_level == IPPROTO_IP && message->cmsg_type == IP_PKTINFO &&
            message->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(message), sizeof info);
            origin.adapterIndex = info.ipi_ifindex > 0 ? static_cast<unsigned int>(info.ipi_ifindex) : 0;
        } else if (message->cmsg_level == SOL_SOCKET && message->cmsg_type == SCM_TIMESTAMPNS &&
                   message->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
            timespec time{};
            std::memcpy(&time, CMSG_DATA(message), sizeof time);
            origin.arrivalNs = std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
        }
    }
}

}  // namespace

void DatagramQueue::Append(std::span<const std::uint8_t> bytes, const DatagramOrigin& origin) {
    entries_.push_back({bytes_.size(), bytes.size(), origin});
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void DatagramQueue::AppendFrom(const DatagramQueue& other) {
    for (std::size_t i = other.next_; i < other.entries_.size(); ++i) {
        const Entry& entry = other.entries_[i];
        Append(std::span(other.bytes_).subspan(entry.offset, entry.size), entry.origin);
    }
}

void DatagramQueue::SortByArrival() {
    // Appended later means stored later: the offset keeps the order of equal times.
    std::sort(entries_.begin() + static_cast<std::ptrdiff_t>(next_), entries_.end(),
              [](const Entry& a, const Entry& b) {
                  return a.origin.arrivalNs != b.origin.arrivalNs ? a.origin.arrivalNs < b.origin.arrivalNs
                                                                  : a.offset < b.offset;
              });
}

void DatagramQueue::HandOverArrivedBy(std::int64_t arrivalNs, DatagramQueue& other) {
    for (; next_ < entries_.size() && entries_[next_].origin.arrivalNs <= arrivalNs; ++next_) {
        const Entry& entry = entries_[next_];
        other.Append(std::span(bytes_).subspan(entry.offset, entry.size), entry.origin);
    }
}

ReceivedDatagram DatagramQueue::TakeInto(std::span<std::uint8_t, kSlotSize> slot, std::string_view endpoint) {
    const Entry& entry = entries_[next_++];
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(entry.offset), entry.size, slot.begin());
    return {slot.first(entry.size), entry.origin.sourceAddress, entry.origin.sourcePort, endpoint,
            entry.origin.adapterIndex};
}

void DatagramQueue::Clear() noexcept {
    entries_.clear();
    bytes_.clear();
    next_ = 0;
}

void DatagramQueue::Swap(DatagramQueue& other) noexcept {
    entries_.swap(other.entries_);
    bytes_.swap(other.bytes_);
    std::swap(next_, other.next_);
}

// The datagrams that one recvmmsg call takes.
class SocketReader::Batch {
public:
    Batch() : storage_(std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{kBatchSize} * kSlotSize)) {
        for (std::size_t i = 0; i < kBatchSize; ++i) {
            vectors_[i] = {storage_.get() + i * kSlotSize, kSlotSize};
            messages_[i].msg_hdr.msg_iov = &vectors_[i];
            messages_[i].msg_hdr.msg_iovlen = 1;
            messages_[i].msg_hdr.msg_name = &senders_[i];
            messages_[i].msg_hdr.msg_control = controls_[i].data();
        }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // Takes what is waiting, up to a batch, without waiting; the count taken, 0 for none.
    unsigned int Take(int socket) {
        for (mmsghdr& message : messages_) {
            message.msg_hdr.msg_namelen = sizeof(sockaddr_in);
            message.msg_hdr.msg_controllen = kControlSize;
        }
        int count = 0;
        do {
            count = ::recvmmsg(socket, messages_.data(), kBatchSize, MSG_DONTWAIT, nullptr);
        } while (count < 0 && errno == EINTR);
        return count > 0 ? static_cast<unsigned int>(count) : 0;
    }

    [[nodiscard]] std::span<const std::uint8_t> Bytes(unsigned int i) const {
        return {storage_.get() + i * kSlotSize, messages_[i].msg_len};
    }

    [[nodiscard]] DatagramOrigin Origin(unsigned int i) const {
        DatagramOrigin origin{ntohl(senders_[i].sin_addr.s_addr), ntohs(senders_[i].sin_port)};
        ReadControl(messages_[i].msg_hdr, origin);
        return origin;
    }

private:
    std::unique_ptr<std::uint8_t[]> storage_;
    std::array<iovec, kBatchSize> vectors_{};
    std::array<sockaddr_in, kBatchSize> senders_{};
    std::array<mmsghdr, kBatchSize> messages_{};
    struct alignas(cmsghdr) Control : std::array<unsigned char, kControlSize> {};
    std::array<Control, kBatchSize> controls_{};
};

SocketReader::SocketReader(int wake, std::function<void()> added) : wake_(wake), added_(std::move(added)) {
    thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
}

SocketReader::~SocketReader() {
    thread_.request_stop();
    thread_.join();
}

void SocketReader::AddSocket(int socket, unsigned int adapterIndex) {
    {
        const std::scoped_lock lock(mutex_);
        sources_.push_back({socket, adapterIndex});
    }
    sourcesChanged_ = true;
    Wake();
}

void SocketReader::HandOver(DatagramQueue& empty) {
    {
        const std::scoped_lock lock(mutex_);
        empty.Swap(taken_);
    }
    roomFreed_.notify_one();
}

void SocketReader::Run(const std::stop_token& stop) {
    const std::stop_callback wakeFromPoll(stop, [this] { Wake(); });
    // Named, so that the system's tools tell it from the event loop's thread.
    ::pthread_setname_np(::pthread_self(), "ov-udp-reader");
    AskForShortSlices();
    Batch batch;
    std::vector<pollfd> waiting;
    while (!stop.stop_requested()) {
        waiting.assign(1, pollfd{wake_.Get(), POLLIN, 0});
        for (const Source& source : Sources()) waiting.push_back({source.socket, POLLIN, 0});
        if (::poll(waiting.data(), waiting.size(), -1) < 0) {
            if (errno == EINTR) continue;
            qCritical("The socket's reader stops: poll failed: %s", std::strerror(errno));
            return;
        }
        if (waiting.front().revents != 0) ClearWake();
        // The first datagrams are handed over at once; those behind them are taken in gathers.
        while (TakeWaiting(batch, stop) && !stop.stop_requested()) Pause(kGatherTime);
    }
}

// A thread that asks for short time slices is run sooner after it wakes when the cores are busy
// (Linux 6.12 on; earlier kernels keep their own slices). It needs no privilege and keeps the
// thread's priority: what it changes is how soon the reader takes what arrived, which a full
// socket buffer cannot wait for.
void SocketReader::AskForShortSlices() {
    // The system's sched_attr (linux/sched/types.h), which the C library's headers clash with.
    struct {
        std::uint32_t size;
        std::uint32_t sched_policy;
        std::uint64_t sched_flags;
        std::int32_t sched_nice;
        std::uint32_t sched_priority;
        std::uint64_t sched_runtime;
        std::uint64_t sched_deadline;
        std::uint64_t sched_period;
    } attributes{};
    attributes.size = sizeof attributes;
    attributes.sched_policy = SCHED_OTHER;
    errno = 0;
    attributes.sched_nice = ::getpriority(PRIO_PROCESS, 0);
    attributes.sched_runtime = std::chrono::nanoseconds(kShortSlice).count();
    if (errno == 0 && ::syscall(SYS_sched_setattr, 0, &attributes, 0) != 0) {
        qInfo("The socket's reader keeps the system's time slices: %s", std::strerror(errno));
    }
}

void SocketReader::Wake() const {
    const std::uint64_t one = 1;
    // Cannot fail while the counter is far from its limit: the reader clears it when woken.
    [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof one);
}

void SocketReader::ClearWake() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wake_.Get(), &count, sizeof count);
}

void SocketReader::Pause(std::chrono::microseconds time) const {
    pollfd woken{wake_.Get(), POLLIN, 0};
    const timespec timeout{0, std::chrono::nanoseconds(time).count()};
    if (::ppoll(&woken, 1, &timeout, nullptr) > 0) ClearWake();
}

const std::vector<SocketReader::Source>& SocketReader::Sources() {
    if (sourcesChanged_.exchange(false)) {
        const std::scoped_lock lock(mutex_);
        reading_ = sources_;
    }
    return reading_;
}

bool SocketReader::TakeWaiting(Batch& batch, const std::stop_token& stop) {
    bool took = false;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            const auto room = [this] {
                return taken_.Size() < kQueueLimit && taken_.ByteCount() < kQueueByteLimit;
            };
            if (!roomFreed_.wait(lock, stop, room)) return took;
        }
        const std::int64_t complete = TakePass(batch, Sources());
        if (passed_.Empty()) return took;
        took = true;
        const std::size_t held = passed_.Size();
        {
            const std::scoped_lock lock(mutex_);
            passed_.HandOverArrivedBy(complete, taken_);
        }
        if (passed_.Size() < held) added_();
        KeepHeldBack();
        if (complete == kAllGiven) return took;
    }
}

void SocketReader::KeepHeldBack() {
    spare_.Clear();
    spare_.AppendFrom(passed_);
    passed_.Swap(spare_);
}

std::int64_t SocketReader::TakePass(Batch& batch, const std::vector<Source>& sources) {
    std::int64_t complete = kAllGiven;
    for (const Source& source : sources) {
        const unsigned int count = batch.Take(source.socket);
        for (unsigned int i = 0; i < count; ++i) {
            const DatagramOrigin origin = batch.Origin(i);
            // A full batch may have left more behind, which arrived after its last.
            if (count == kBatchSize && i + 1 == count) complete = std::min(complete, origin.arrivalNs);
            if (source.adapterIndex == 0 && OwnSocketLeavesOut(origin.adapterIndex)) continue;
            passed_.Append(batch.Bytes(i), origin);
        }
    }
    passed_.SortByArrival();
    return complete;
}

bool SocketReader::OwnSocketLeavesOut(unsigned int adapterIndex) const {
    return adapterIndex != 0 &&
           std::any_of(reading_.begin(), reading_.end(),
                       [adapterIndex](const Source& source) { return source.adapterIndex == adapterIndex; });
}
