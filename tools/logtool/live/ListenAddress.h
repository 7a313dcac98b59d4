// Where the live view's server listens: an IPv4 address or a bracketed IPv6 address and a port,
// written "127.0.0.1:8765" or "[::1]:8765". Port 0 asks the system for any free port (the server
// reports the port it bound).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct ListenAddress {
    std::string host = "127.0.0.1";   // numeric, without brackets
    std::uint16_t port = 8765;
};

// `text` as an address; false with `error` saying what is wrong with it.
bool ParseListenAddress(std::string_view text, ListenAddress& address, std::string& error);

// True for 127.0.0.0/8 and ::1: only this machine can reach the server.
bool IsLoopbackAddress(const ListenAddress& address);

// The address as a URL writes it: "127.0.0.1:8765", "[::1]:8765".
std::string ListenAddressText(const ListenAddress& address);
