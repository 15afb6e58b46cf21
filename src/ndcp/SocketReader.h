#pragma once

// Linux only: moves datagrams from the system's sockets into memory on a thread of its own.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <string_view>
#include <thread>
#include <vector>

#include "ndcp/Descriptor.h"
#include "ndcp/Transport.h"
#include "ndcp/wire/NDCPPacket.h"

// One byte more than an answer may have, so that a longer datagram shows by its size.
inline constexpr std::size_t kSlotSize = kReceiveBufferSize + 1;

// Where a datagram came from and when it arrived.
struct DatagramOrigin {
    std::uint32_t sourceAddress = 0;  // host byte order
    std::uint16_t sourcePort = 0;
    unsigned int adapterIndex = 0;  // the interface it arrived on, 0 when unknown
    std::int64_t arrivalNs = 0;     // the system's time of its arrival
};

// Datagrams taken from the sockets and not yet handed out, their bytes end to end; cleared, it
// keeps its storage for the next ones.
class DatagramQueue {
public:
    [[nodiscard]] bool Empty() const noexcept { return next_ == entries_.size(); }
    [[nodiscard]] std::size_t Size() const noexcept { return entries_.size() - next_; }
    // The bytes of all it holds, those handed out included.
    [[nodiscard]] std::size_t ByteCount() const noexcept { return bytes_.size(); }

    void Append(std::span<const std::uint8_t> bytes, const DatagramOrigin& origin);
    // Appends what the other holds and has not handed out, in its order.
    void AppendFrom(const DatagramQueue& other);
    // Puts what is not yet handed out in order of arrival time; of equal times the first stays first.
    void SortByArrival();
    // Hands the datagrams that arrived by the time over to the other queue, up to the first that
    // arrived later; sorted by arrival, it thus hands over all that arrived by then.
    void HandOverArrivedBy(std::int64_t arrivalNs, DatagramQueue& other);

    // Copies the next datagram into the slot and passes over it: what the slot now holds stays
    // valid whatever happens to the queue.
    [[nodiscard]] ReceivedDatagram TakeInto(std::span<std::uint8_t, kSlotSize> slot,
                                            std::string_view endpoint);

    void Clear() noexcept;
    void Swap(DatagramQueue& other) noexcept;

private:
    struct Entry {
        std::size_t offset;  // of its bytes in bytes_
        std::size_t size;
        DatagramOrigin origin;
    };

    std::vector<Entry> entries_;
    std::vector<std::uint8_t> bytes_;
    std::size_t next_ = 0;  // the first not yet handed out
};

// Moves datagrams from the sockets into memory on a thread of its own, so that what arrives while
// the event loop is busy waits in memory rather than overflowing a socket's buffer, which a stock
// system keeps to some 500 small datagrams. It only moves them: every check and every handling
// stays on the event loop's thread. Past kQueueLimit datagrams or kQueueByteLimit bytes in memory
// it stops taking until the event loop has caught up, and the sockets' buffers fill as they would
// without it.
//
// It reads the sockets it is given: of one socket the datagrams keep their order, and those of
// several are put in order of the times the system stamped them with on arrival. A datagram is
// handed over once every socket that still had datagrams waiting has given those up to its time.
// The sockets of the transport's own address (adapter 0) receive the broadcasts that arrive on
// every adapter: what they get on an adapter that has sockets of its own, which got the same, is
// left out.
class SocketReader {
public:
    static constexpr std::size_t kQueueLimit = 65536;
    static constexpr std::size_t kQueueByteLimit = 16 * 1024 * 1024;
    // While datagrams keep coming, the reader lets them gather this long between takes rather
    // than wake for each: at 100,000 a second some 20 datagrams a take, far below the 500 that a
    // stock socket buffer holds (and less than the system delivers in that time even at full
    // speed), and 5,000 wakes a second instead of up to 100,000, which would take a core of
    // their own.
    static constexpr std::chrono::microseconds kGatherTime{200};
    // The time slice the reader asks for (see AskForShortSlices).
    static constexpr std::chrono::microseconds kShortSlice{100};

    // Starts the thread, which is woken through the event counter wake (an eventfd, which it
    // closes); `added` is called on it whenever datagrams were added. Raises std::system_error when
    // the thread cannot be started.
    SocketReader(int wake, std::function<void()> added);
    // Stops the thread and waits for it.
    ~SocketReader();
    SocketReader(const SocketReader&) = delete;
    SocketReader& operator=(const SocketReader&) = delete;

    // Reads the socket too: one of the transport's own address for adapter 0, else one that
    // receives what arrives on that adapter alone.
    void AddSocket(int socket, unsigned int adapterIndex);

    // Hands all that was taken so far over to an empty queue, which gives its storage in return.
    void HandOver(DatagramQueue& empty);

private:
    struct Source {
        int socket;
        unsigned int adapterIndex;  // 0 for the sockets of the transport's own address
    };
    class Batch;

    void Run(const std::stop_token& stop);
    static void AskForShortSlices();
    void Wake() const;
    void ClearWake() const;
    // Waits that long, or less when the reader is woken.
    void Pause(std::chrono::microseconds time) const;
    // The arrival time past every other: all that the sockets had is taken.
    static constexpr std::int64_t kAllGiven = std::numeric_limits<std::int64_t>::max();

    // The sockets to read, refreshed when one was added.
    const std::vector<Source>& Sources();
    // Takes what is waiting on the sockets, pass by pass, while there is room; whether it took any.
    bool TakeWaiting(Batch& batch, const std::stop_token& stop);
    // One batch from each socket into passed_; the arrival time by which every socket has given
    // all it had, the largest time when each has given all.
    std::int64_t TakePass(Batch& batch, const std::vector<Source>& sources);
    // Keeps what passed_ holds back, and only that.
    void KeepHeldBack();
    [[nodiscard]] bool OwnSocketLeavesOut(unsigned int adapterIndex) const;

    Descriptor wake_;
    std::function<void()> added_;
    std::vector<Source> reading_;  // on the reader's thread only
    DatagramQueue passed_;         // on the reader's thread only: taken and not yet handed over
    DatagramQueue spare_;          // on the reader's thread only
    std::atomic<bool> sourcesChanged_ = false;
    std::mutex mutex_;
    std::condition_variable_any roomFreed_;
    std::vector<Source> sources_;  // guarded by mutex_
    DatagramQueue taken_;          // guarded by mutex_
    std::jthread thread_;
};
