#pragma once

#include <cstdint>
#include <string>

// A network adapter as the client sends through it: its system name and interface index, and
// its IPv4 address with the prefix length of its network. An adapter of index 0 is none: the
// system then chooses the route.
struct NetworkAdapter {
    std::string name;
    unsigned int index = 0;
    std::uint32_t address = 0;  // host byte order
    int prefixLength = 0;       // 0 to 32

    [[nodiscard]] bool Known() const noexcept { return index != 0; }
    // Whether the IPv4 address (host byte order) lies in this adapter's network.
    [[nodiscard]] bool Contains(std::uint32_t other) const noexcept;
    // The adapter's network, "10.198.2.0/24".
    [[nodiscard]] std::string NetworkText() const;
    // "eth1 (10.198.2.0/24)".
    [[nodiscard]] std::string Describe() const;

    friend bool operator==(const NetworkAdapter&, const NetworkAdapter&) = default;
};

// How a request left through one adapter: the adapter (none along the system's route) and the
// system's reason when the send failed there.
struct AdapterSend {
    NetworkAdapter adapter;
    std::string failure;  // empty when it left
};

// The dotted text of an IPv4 address in host byte order.
[[nodiscard]] std::string Ipv4Text(std::uint32_t address);
