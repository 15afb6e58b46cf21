#pragma once

#include <cstdint>

#include <arpa/inet.h>
#include <netinet/in.h>

// 127.0.0.1 with the port, as the socket calls take it.
inline sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}
