#include "live/ListenAddress.h"

#include "live/QueryParameters.h"

#include <boost/asio/ip/address.hpp>

namespace {

bool ParsePort(std::string_view text, std::uint16_t& port)
{
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

bool ParseListenAddress(std::string_view text, ListenAddress& address, std::string& error)
{
    std::string_view host;
    std::string_view port;
    bool bracketed = false;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            error = "\"" + std::string(text) + "\" is not [IPv6 address]:port";
            return false;
        }
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
        bracketed = true;
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string_view::npos) {
            error = "\"" + std::string(text) + "\" has no port: write ADDRESS:PORT, for example 127.0.0.1:8765";
            return false;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            error = "\"" + std::string(text) + "\": an IPv6 address is written in brackets, for example [::1]:8765";
            return false;
        }
    }
    boost::system::error_code failure;
    const boost::asio::ip::address parsed = boost::asio::ip::make_address(std::string(host), failure);
    if (failure || parsed.is_v6() != bracketed) {
        error = "\"" + std::string(host) + "\" is not " + (bracketed ? "an IPv6" : "an IPv4") + " address";
        return false;
    }
    ListenAddress result;
    if (!ParsePort(port, result.port)) {
        error = "\"" + std::string(port) + "\" is not a port (0 to 65535)";
        return false;
    }
    result.host = std::string(host);
    address = result;
    return true;
}

bool IsLoopbackAddress(const ListenAddress& address)
{
    boost::system::error_code failure;
    const boost::asio::ip::address parsed = boost::asio::ip::make_address(address.host, failure);
    return !failure && parsed.is_loopback();
}

std::string ListenAddressText(const ListenAddress& address)
{
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

std::string PageAddress(const ListenAddress& listen, std::uint16_t port, std::string_view token)
{
    ListenAddress shown = listen;
    shown.port = port;
    if (shown.host == "0.0.0.0")
        shown.host = "127.0.0.1";
    else if (shown.host == "::")
        shown.host = "::1";
    std::string address = "http://" + ListenAddressText(shown) + "/";
    if (!token.empty())
        address += "?token=" + PercentEncode(token);
    return address;
}
