// The client on the real UDP transport: what only the system's socket shows.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QObject>

#include <gtest/gtest.h>

#include "errors/OvException.h"
#include "ndcp/NetworkSetting.h"
#include "ndcp/OvNDCPClient.h"
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
    const int granted = MayForceReceiveBuffer() ? asked : std::min(asked, ReceiveBufferLimit());
    QObject owner;
    StartClient(&owner);
    std::cout << "receive buffer granted: " << ClientInstance()->ReceiveBufferSize() << " bytes\n";
    EXPECT_EQ(ClientInstance()->ReceiveBufferSize(), 2 * granted);
}

}  // namespace
