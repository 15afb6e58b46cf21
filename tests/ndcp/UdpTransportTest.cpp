// The client on the real UDP transport: what only the system's socket shows.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QObject>

#include <gtest/gtest.h>

#include "errors/OvException.h"
#include "ndcp/NetworkSetting.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/UdpTransport.h"
#include "testkit/ExpectOvError.h"

namespace {

// Whether this process may set a receive buffer past the system's limit, as the client tries to.
bool MayForceReceiveBuffer() {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int bytes = OvNDCPClient::kRequestedReceiveBuffer;
    const bool forced = ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0;
    ::close(descriptor);
    return forced;
}

// The system's limit on receive buffers that an unprivileged process may ask for.
int ReceiveBufferLimit() {
    std::ifstream limit("/proc/sys/net/core/rmem_max");
    int bytes = 0;
    limit >> bytes;
    return bytes;
}

// Whether the system would route a datagram to the address; nothing is sent to find out.
bool HasRouteTo(const char* address) {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    ::inet_pton(AF_INET, address, &to.sin_addr);
    const bool routed = ::connect(descriptor, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    ::close(descriptor);
    return routed;
}

// Keeps the process-wide setting of each test to itself.
class UdpClientTest : public ::testing::Test {
protected:
    void TearDown() override { NetworkSetting() = saved; }
    const NDCPNetworkSetting saved = NetworkSetting();
};

TEST_F(UdpClientTest, FailedSendRaisesSocketErrorAndConsumesNothing) {
    // A documentation address has no route where only loopback is up, so sendto itself fails;
    // where it has one the datagram would leave the machine, so that case does not run there.
    constexpr const char* kUnroutable = "192.0.2.1";
    if (HasRouteTo(kUnroutable)) GTEST_SKIP() << kUnroutable << " is routed: run where only loopback is up";
    for (const char* destination : {kUnroutable, "::1"}) {  // "::1": not an address of the IPv4 socket
        SCOPED_TRACE(destination);
        NetworkSetting().destinationAddress = destination;
        // The setting is read when the client starts.
        QObject owner;
        StartClient(&owner);
        ExpectOvError([] { ClientInstance()->SendRequest("FFFFFFFFFFFF", "", {}, 1, {}, 100); },
                      kSocketReadWriteError, "Socket read/write error!");
        EXPECT_EQ(ClientInstance()->Sequence(), 0);
        EXPECT_EQ(ClientInstance()->PendingCount(), 0u);
        ClientInstance()->SetDestructionWait(std::chrono::milliseconds(0));
    }
}

TEST(ClientConstructionTest, UnbindableAddressRaisesSocketNotReady) {
    const NDCPNetworkSetting saved = NetworkSetting();
    NetworkSetting().localAddress = "192.0.2.1";  // not an address of this machine
    QObject owner;
    ExpectOvError([&] { StartClient(&owner); }, kSocketNotReady,
                  "Socket not ready!Please check if the network is ready.");
    NetworkSetting() = saved;
}

TEST_F(UdpClientTest, AsksForALargeReceiveBuffer) {
    // A privileged process gets all it asks for, which a flood needs; any other gets the system's
    // limit. The system reports twice what it grants, counting its own bookkeeping.
    const int asked = OvNDCPClient::kRequestedReceiveBuffer;
    const bool forced = MayForceReceiveBuffer() && UdpTransportForcesReceiveBuffer();
    const int granted = forced ? asked : std::min(asked, ReceiveBufferLimit());
    QObject owner;
    StartClient(&owner);
    std::cout << "receive buffer granted: " << ClientInstance()->ReceiveBufferSize() << " bytes\n";
    EXPECT_EQ(ClientInstance()->ReceiveBufferSize(), 2 * granted);
}

// Through an adapter, the datagram leaves out of its interface from its address, and what comes
// back tells the interface it arrived on. An answer sent to the requester and one broadcast on the
// adapter each arrive once, in the order sent: the adapter's own socket and the transport's would
// both receive the broadcast.
TEST(UdpTransportTest, SendsThroughAnAdapterAndTellsTheAdapterOfWhatArrives) {
    const NetworkAdapter loopback{"lo", ::if_nametoindex("lo"), 0x7F000001, 8};
    ASSERT_TRUE(loopback.Known());
    for (const NetworkAdapter& adapter : OpenUdpTransport("0.0.0.0", 0)->Adapters()) {
        EXPECT_NE(adapter.index, loopback.index) << "loopback is never an adapter to send through";
    }
    const std::unique_ptr<Transport> transport = OpenUdpTransport("0.0.0.0", 65536);
    ASSERT_NE(transport, nullptr);

    const int device = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ASSERT_EQ(::setsockopt(device, SOL_SOCKET, SO_BROADCAST, &on, sizeof on), 0);
    ASSERT_EQ(::setsockopt(device, SOL_SOCKET, SO_BINDTODEVICE, "lo", 3), 0);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_addr.s_addr = htonl(0x7F000001);
    socklen_t length = sizeof bound;
    ASSERT_EQ(::bind(device, reinterpret_cast<const sockaddr*>(&bound), sizeof bound), 0);
    ASSERT_EQ(::getsockname(device, reinterpret_cast<sockaddr*>(&bound), &length), 0);

    const std::uint8_t request[] = {1, 2, 3};
    EXPECT_EQ(transport->Send(request, "127.0.0.1", ntohs(bound.sin_port), loopback), std::nullopt);
    EXPECT_EQ(transport->Send(request, "no address", 9, loopback), "not an IPv4 address: no address");
    std::uint8_t received[8] = {};
    sockaddr_in client{};
    length = sizeof client;
    ASSERT_EQ(::recvfrom(device, received, sizeof received, 0, reinterpret_cast<sockaddr*>(&client), &length),
              3);
    EXPECT_EQ(ntohl(client.sin_addr.s_addr), loopback.address);
    ASSERT_EQ(::sendto(device, received, 3, 0, reinterpret_cast<const sockaddr*>(&client), length), 3);
    sockaddr_in broadcast = client;
    broadcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    ASSERT_EQ(::sendto(device, received, 2, 0, reinterpret_cast<const sockaddr*>(&broadcast), length), 2);
    ::close(device);

    std::vector<std::pair<std::size_t, unsigned int>> arrived;  // size, adapter
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < end) {
        transport->Receive(
            [&](const ReceivedDatagram& datagram) {
                arrived.emplace_back(datagram.bytes.size(), datagram.adapterIndex);
                return true;
            },
            [] { return false; });
    }
    const std::vector<std::pair<std::size_t, unsigned int>> expected = {{3, loopback.index},
                                                                        {2, loopback.index}};
    EXPECT_EQ(arrived, expected);
}

// The system shares the datagrams of many senders out among several sockets of the transport's
// port: each arrives once, and those of one sender in the order sent.
TEST(UdpTransportTest, DatagramsOfManySendersArriveOnceAndEachSendersInOrder) {
    // Without a reader, datagrams wait in one socket's buffer until the reading below, which they
    // overflow.
    if (!UdpTransportHasReader()) GTEST_SKIP() << "the transport takes datagrams only when read";
    const std::unique_ptr<Transport> transport = OpenUdpTransport("127.0.0.1", 1 << 20);
    ASSERT_NE(transport, nullptr);
    constexpr std::uint32_t kSenders = 16;
    constexpr std::uint32_t kEach = 200;
    std::vector<int> senders;
    sockaddr_in client{};
    socklen_t length = sizeof client;
    for (std::uint32_t i = 0; i < kSenders; ++i) {
        senders.push_back(::socket(AF_INET, SOCK_DGRAM, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(0x7F000001 + i);  // each sender an address of its own
        ASSERT_EQ(::bind(senders.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::getsockname(senders.back(), reinterpret_cast<sockaddr*>(&address), &length), 0);
        const std::uint8_t hello[] = {0};
        ASSERT_EQ(transport->Send(hello, Ipv4Text(0x7F000001 + i), ntohs(address.sin_port), {}),
                  std::nullopt);
        std::uint8_t ignored[4];
        length = sizeof client;
        ASSERT_EQ(::recvfrom(senders.back(), ignored, sizeof ignored, 0, reinterpret_cast<sockaddr*>(&client),
                             &length),
                  1);
    }
    for (std::uint32_t n = 0; n < kEach; ++n) {
        for (std::uint32_t i = 0; i < kSenders; ++i) {
            const std::uint32_t number = i * kEach + n;
            ASSERT_EQ(::sendto(senders[i], &number, sizeof number, 0,
                               reinterpret_cast<const sockaddr*>(&client), length),
                      4);
        }
        if (n % 20 == 19) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (const int sender : senders) ::close(sender);

    std::vector<std::vector<std::uint32_t>> bySender(kSenders);
    std::size_t count = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (count < kSenders * kEach && std::chrono::steady_clock::now() < end) {
        transport->Receive(
            [&](const ReceivedDatagram& datagram) {
                std::uint32_t number = 0;
                std::memcpy(&number, datagram.bytes.data(), std::min(datagram.bytes.size(), sizeof number));
                bySender.at(datagram.sourceAddress - 0x7F000001).push_back(number);
                ++count;
                return true;
            },
            [] { return false; });
    }
    for (std::uint32_t i = 0; i < kSenders; ++i) {
        std::vector<std::uint32_t> sent(kEach);
        std::iota(sent.begin(), sent.end(), i * kEach);
        EXPECT_EQ(bySender[i], sent) << "sender " << i;
    }
}

}  // namespace
