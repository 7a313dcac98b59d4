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

// The address to open the page at: "http://127.0.0.1:8765/", with "?token=…" when there is a token
// (percent-encoded). A wildcard address (0.0.0.0, ::) becomes the loopback one of its kind, which a
// browser on this machine can open; `port` is the port bound.
std::string PageAddress(const ListenAddress& listen, std::uint16_t port, std::string_view token);
