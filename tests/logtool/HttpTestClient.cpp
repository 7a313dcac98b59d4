#include "HttpTestClient.h"

using namespace std::chrono_literals;

tcp::endpoint Loopback(std::uint16_t port)
{
    return {asio::ip::make_address("127.0.0.1"), port};
}

Answer Ask(std::uint16_t port, const std::string& request, const tcp::endpoint* at)
{
    asio::io_context io;
    beast::tcp_stream stream(io);
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.skip(request.rfind("HEAD ", 0) == 0);
    parser.body_limit(1 << 24);
    boost::system::error_code failure;
    stream.expires_after(patience);
    stream.async_connect(at ? *at : Loopback(port), [&](boost::system::error_code connected) {
        if ((failure = connected))
            return;
        asio::async_write(stream, asio::buffer(request), [&](boost::system::error_code written, size_t) {
            // A server that refuses early may close before all is written; its answer is still read.
            (void)written;
            http::async_read(stream, buffer, parser, [&](boost::system::error_code read, size_t) { failure = read; });
        });
    });
    io.run();
    Answer answer;
    if (failure)
        answer.failure = failure.message();
    else
        answer.response = parser.release();
    return answer;
}

std::string Get(std::string_view target, std::string_view headers)
{
    return "GET " + std::string(target) + " HTTP/1.1\r\n" + std::string(headers) + "Connection: close\r\n\r\n";
}

EventReader::EventReader(std::uint16_t port, const std::string& request)
{
    stream.connect(Loopback(port));
    asio::write(stream, asio::buffer(request));
    ReadMore();
    thread = std::thread([this] { io.run(); });
}
EventReader::~EventReader()
{
    io.stop();
    thread.join();
}
void EventReader::ReadMore()
{
    stream.async_read_some(asio::buffer(chunk), [this](boost::system::error_code failure, size_t size) {
        std::lock_guard guard(lock);
        text.append(chunk.data(), size);
        ended = static_cast<bool>(failure);
        changed.notify_all();
        if (!failure)
            ReadMore();
    });
}
bool EventReader::WaitFor(const std::function<bool(const std::string&, bool)>& done)
{
    std::unique_lock guard(lock);
    return changed.wait_for(guard, patience, [&] { return done(text, ended); });
}

bool WaitUntil(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

