// A plain HTTP client for the live view's tests: one request at a time over a real connection,
// and an event stream read on a thread of its own.
#pragma once

#include "live/AsioHeaders.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// Generous: a loaded machine or Wine may be slow, and no test passes by being fast.
constexpr std::chrono::seconds patience{60};

struct Answer {
    std::string failure;   // empty when a whole response came
    http::response<http::string_body> response;
    int Status() const { return failure.empty() ? static_cast<int>(response.result_int()) : 0; }
    std::string Header(std::string_view name) const { return std::string(response[beast::string_view(name.data(), name.size())]); }
};

tcp::endpoint Loopback(std::uint16_t port);
// Sends `request` as it is and reads one response (to the end of the stream when it has no length).
Answer Ask(std::uint16_t port, const std::string& request, const tcp::endpoint* at = nullptr);
std::string Get(std::string_view target, std::string_view headers = "Host: 127.0.0.1\r\n");

// An event stream read on a thread of its own, everything received kept.
struct EventReader {
    asio::io_context io;
    beast::tcp_stream stream{io};
    std::mutex lock;
    std::condition_variable changed;
    std::string text;
    bool ended = false;
    std::array<char, 65536> chunk{};
    std::thread thread;

    EventReader(std::uint16_t port, const std::string& request);
    ~EventReader();
    void ReadMore();
    bool WaitFor(const std::function<bool(const std::string&, bool)>& done);
};

// Polls `done` every 10 ms for at most `patience`.
bool WaitUntil(const std::function<bool()>& done);
