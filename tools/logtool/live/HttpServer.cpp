#include "live/HttpServer.h"

#include "live/AsioHeaders.h"
#include "live/EventStream.h"
#include "live/RequestRules.h"

#include <atomic>
#include <exception>
#include <map>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

// Everything of one running server. The connections' coroutines live in `io` and refer to this
// record; `io` is declared after what they touch, so it (and they) go first.
struct HttpServerState {
    HttpServerSettings settings;
    std::map<std::string, HttpHandler, std::less<>> routes;
    AccessRules rules;
    EventHub hub;
    std::atomic<size_t> clients{0};
    std::atomic<size_t> refusedClients{0};
    std::atomic<size_t> timedOutClients{0};
    size_t refusing = 0;   // 503 answers under way (the server's thread only)
    std::uint16_t port = 0;
    std::thread thread;
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
};

namespace {

constexpr auto awaitable = asio::use_awaitable;
constexpr std::chrono::seconds lingerTime{2};
constexpr size_t lingerBytes = 65536;

std::string_view View(beast::string_view text)
{
    return {text.data(), text.size()};
}

// Gives back the client place the accepting loop took for a connection, when the connection ends.
// (The place is taken at once on accepting, not when the connection's coroutine first runs, so the
// loop never lets in more than the limit.)
struct ClientPlace {
    std::atomic<size_t>& count;
    explicit ClientPlace(std::atomic<size_t>& taken) : count(taken) {}
    ~ClientPlace() { --count; }
    ClientPlace(const ClientPlace&) = delete;
    ClientPlace& operator=(const ClientPlace&) = delete;
};

using Clock = std::chrono::steady_clock;

// Sets the stream's deadline for its next operation and returns it.
Clock::time_point ExpireAfter(beast::tcp_stream& stream, std::chrono::milliseconds timeout)
{
    stream.expires_after(timeout);
    return Clock::now() + timeout;
}

// Beast ends an operation that passes its deadline by closing the socket and reports a timeout;
// any failure that comes at or after the deadline counts as one too, whatever error the system
// gave for the closed socket.
bool TimedOut(const boost::system::error_code& failure, Clock::time_point deadline)
{
    return failure == beast::error::timeout || (failure && Clock::now() >= deadline);
}

// Ends a connection so that the client reads all we sent: our side is shut, then what the client
// still sends is read and dropped for a while (closing with unread data would reset the connection
// and could destroy our last reply before the client reads it).
asio::awaitable<void> CloseGently(beast::tcp_stream& stream)
{
    boost::system::error_code failure;
    stream.socket().shutdown(tcp::socket::shutdown_send, failure);
    std::vector<char> scrap(4096);
    size_t read = 0;
    stream.expires_after(lingerTime);
    while (!failure && read < lingerBytes)
        read += co_await stream.async_read_some(asio::buffer(scrap), asio::redirect_error(awaitable, failure));
    stream.close();
}

// Answers a connection whose request is not read (too long, not HTTP, or beyond the client limit)
// and ends it.
asio::awaitable<void> Refuse(HttpServerState& server, beast::tcp_stream& stream, HttpReply refusal)
{
    http::response<http::string_body> response{static_cast<http::status>(refusal.status), 11};
    response.set(http::field::content_type, refusal.contentType);
    if (refusal.status == 503)
        response.set(http::field::retry_after, "5");
    response.body() = std::move(refusal.body);
    response.prepare_payload();
    response.keep_alive(false);
    boost::system::error_code failure;
    stream.expires_after(server.settings.sendTimeout);
    co_await http::async_write(stream, response, asio::redirect_error(awaitable, failure));
    co_await CloseGently(stream);
}

// The cookie that lets the page's later requests (its files, the API, the event stream) bring the
// token it was opened with; scripts cannot read it and other sites' pages do not send it.
std::string TokenCookie(const AccessRules& rules)
{
    return rules.cookieName + "=" + rules.token + "; Path=/; HttpOnly; SameSite=Strict";
}

http::response<http::string_body> MakeResponse(HttpReply reply, const http::request_header<>& request,
                                               const RequestVerdict& verdict, const HttpServerState& server)
{
    const bool head = request.method() == http::verb::head;
    if (!reply.etag.empty() && View(request[http::field::if_none_match]) == reply.etag && reply.status == 200) {
        reply.status = 304;
        reply.body.clear();
    }
    http::response<http::string_body> response;
    response.version(request.version() == 10 ? 10 : 11);
    response.result(static_cast<unsigned>(reply.status));
    if (!reply.contentType.empty())
        response.set(http::field::content_type, reply.contentType);
    response.set(http::field::cache_control, reply.etag.empty() ? "no-store" : "no-cache");
    if (!reply.etag.empty())
        response.set(http::field::etag, reply.etag);
    response.set("X-Content-Type-Options", "nosniff");
    response.set("Referrer-Policy", "no-referrer");
    response.set("X-Frame-Options", "DENY");
    response.set("Content-Security-Policy",
                 "default-src 'self'; style-src 'self' 'unsafe-inline'; frame-ancestors 'none'");
    if (verdict.tokenFromQuery && reply.status < 400)
        response.set(http::field::set_cookie, TokenCookie(server.rules));
    if (reply.status == 401)
        response.set(http::field::www_authenticate, "Bearer");
    if (reply.status == 405)
        response.set(http::field::allow, "GET, HEAD");
    response.body() = std::move(reply.body);
    response.prepare_payload();
    if (head)
        response.body().clear();   // the length stays the one a GET gets
    return response;
}

HttpReply CallHandler(const HttpHandler& handler, const QueryParameters& query)
{
    try {
        return handler(query);
    } catch (const std::exception& failure) {
        return JsonError(500, std::string("the server could not answer: ") + failure.what());
    } catch (...) {
        return JsonError(500, "the server could not answer");
    }
}

// Writes the events queued for this client until it goes, falls behind or the server stops.
asio::awaitable<void> StreamEvents(HttpServerState& server, beast::tcp_stream& stream,
                                   const http::request_header<>& request, const RequestVerdict& verdict)
{
    struct EventClient {
        beast::tcp_stream& stream;
        asio::steady_timer wake;
        std::shared_ptr<EventSubscriber> subscriber = std::make_shared<EventSubscriber>();
    };
    const auto client = std::make_shared<EventClient>(EventClient{stream, asio::steady_timer(server.io)});
    client->subscriber->limitBytes = server.settings.eventQueueBytes;
    client->subscriber->wake = [&server, weak = std::weak_ptr<EventClient>(client)] {
        asio::post(server.io, [weak] {
            const std::shared_ptr<EventClient> woken = weak.lock();
            if (!woken)
                return;
            woken->wake.cancel();
            bool overflowed = false;
            {
                std::lock_guard queueLock(woken->subscriber->lock);
                overflowed = woken->subscriber->overflowed;
            }
            if (overflowed)
                woken->stream.close();   // ends a write the client is not reading
        });
    };
    Subscribe(server.hub, client->subscriber);
    struct Unsubscriber {
        EventHub& hub;
        std::shared_ptr<EventSubscriber> subscriber;
        ~Unsubscriber() { Unsubscribe(hub, subscriber); }
    } unsubscriber{server.hub, client->subscriber};

    http::response<http::empty_body> response{http::status::ok, request.version() == 10 ? 10 : 11};
    response.set(http::field::content_type, "text/event-stream");
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    if (verdict.tokenFromQuery)
        response.set(http::field::set_cookie, TokenCookie(server.rules));
    response.keep_alive(false);
    http::response_serializer<http::empty_body> serializer{response};
    boost::system::error_code failure;
    Clock::time_point deadline = ExpireAfter(stream, server.settings.sendTimeout);
    co_await http::async_write_header(stream, serializer, asio::redirect_error(awaitable, failure));

    static const std::string keepAlive = ": keep-alive\n\n";
    auto lastWrite = Clock::now();
    while (!failure) {
        bool overflowed = false;
        const std::vector<std::shared_ptr<const std::string>> texts = TakeEvents(*client->subscriber, overflowed);
        if (overflowed)
            co_return;
        std::vector<asio::const_buffer> buffers;
        for (const std::shared_ptr<const std::string>& text : texts)
            buffers.push_back(asio::buffer(*text));
        if (buffers.empty()) {
            const auto due = lastWrite + server.settings.eventKeepAlive;
            if (Clock::now() < due) {
                client->wake.expires_at(due);
                boost::system::error_code woken;
                co_await client->wake.async_wait(asio::redirect_error(awaitable, woken));
                continue;
            }
            buffers.push_back(asio::buffer(keepAlive));
        }
        deadline = ExpireAfter(stream, server.settings.sendTimeout);
        co_await asio::async_write(stream, buffers, asio::redirect_error(awaitable, failure));
        lastWrite = Clock::now();
    }
    if (TimedOut(failure, deadline))
        ++server.timedOutClients;
}

bool IsHttpParseError(const boost::system::error_code& failure)
{
    return &failure.category() == &http::make_error_code(http::error::bad_target).category()
        && failure != http::error::end_of_stream && failure != http::error::partial_message;
}

asio::awaitable<void> ServeClient(HttpServerState& server, tcp::socket socket)
{
    ClientPlace place(server.clients);
    beast::tcp_stream stream(std::move(socket));
    beast::flat_buffer buffer(server.settings.maxHeadBytes);
    for (;;) {
        http::request_parser<http::empty_body> parser;
        parser.header_limit(static_cast<std::uint32_t>(server.settings.maxHeadBytes));
        boost::system::error_code failure;
        const Clock::time_point headDeadline = ExpireAfter(stream, server.settings.headTimeout);
        co_await http::async_read_header(stream, buffer, parser, asio::redirect_error(awaitable, failure));
        if (TimedOut(failure, headDeadline)) {
            ++server.timedOutClients;
            co_return;
        }
        const bool tooLarge = failure == http::error::header_limit || failure == http::error::buffer_overflow;
        if (tooLarge || IsHttpParseError(failure)) {
            // Made before the co_await: GCC mishandles a conditional's temporaries inside one.
            HttpReply refusal = JsonError(400, "not an HTTP request: " + failure.message());
            if (tooLarge)
                refusal = JsonError(431, "the request's line and headers are too long");
            co_await Refuse(server, stream, std::move(refusal));
            co_return;
        }
        if (failure)
            co_return;

        const http::request_header<>& request = parser.get();
        RequestHead head;
        head.method = View(request.method_string());
        head.target = View(request.target());
        head.host = View(request[http::field::host]);
        head.hostCount = static_cast<int>(request.count(http::field::host));
        head.authorization = View(request[http::field::authorization]);
        head.cookie = View(request[http::field::cookie]);
        head.hasBody = parser.chunked() || (parser.content_length() && *parser.content_length() > 0);
        const RequestVerdict verdict = JudgeRequest(head, server.rules, [&server](std::string_view path) {
            return path == server.settings.eventsPath || server.routes.contains(path);
        });
        if (verdict.status == 200 && verdict.path == server.settings.eventsPath
            && request.method() == http::verb::get) {
            co_await StreamEvents(server, stream, request, verdict);
            co_return;
        }
        HttpReply reply;
        if (verdict.status != 200)
            reply = JsonError(verdict.status, verdict.error);
        else if (verdict.path == server.settings.eventsPath)
            reply.contentType = "text/event-stream";   // HEAD of the stream
        else
            reply = CallHandler(server.routes.find(verdict.path)->second, verdict.query);
        http::response<http::string_body> response = MakeResponse(std::move(reply), request, verdict, server);
        // A refused request may have a body we never read: the connection ends after the answer.
        const bool keepAlive = parser.keep_alive() && verdict.status == 200;
        response.keep_alive(keepAlive);
        const Clock::time_point sendDeadline = ExpireAfter(stream, server.settings.sendTimeout);
        co_await http::async_write(stream, response, asio::redirect_error(awaitable, failure));
        if (TimedOut(failure, sendDeadline))
            ++server.timedOutClients;
        if (failure)
            co_return;
        if (!keepAlive) {
            co_await CloseGently(stream);
            co_return;
        }
    }
}

// Answers a connection beyond the limit with 503 and closes it.
asio::awaitable<void> RefuseClient(HttpServerState& server, tcp::socket socket)
{
    beast::tcp_stream stream(std::move(socket));
    HttpReply refusal = JsonError(503, "too many clients at once: try again later");
    co_await Refuse(server, stream, std::move(refusal));
    --server.refusing;
}

asio::awaitable<void> AcceptClients(HttpServerState& server)
{
    asio::steady_timer pause(server.io);
    for (;;) {
        boost::system::error_code failure;
        tcp::socket socket = co_await server.acceptor.async_accept(asio::redirect_error(awaitable, failure));
        if (!server.acceptor.is_open())
            co_return;
        if (failure) {
            // Out of descriptors, or a connection gone before it was taken: try again shortly.
            pause.expires_after(std::chrono::milliseconds(50));
            co_await pause.async_wait(asio::redirect_error(awaitable, failure));
            continue;
        }
        if (server.clients.load() >= server.settings.maxClients) {
            ++server.refusedClients;
            if (server.refusing < server.settings.maxClients) {
                ++server.refusing;   // given back by RefuseClient
                asio::co_spawn(server.io, RefuseClient(server, std::move(socket)), asio::detached);
            }
            continue;   // more refusals at once than that: closed without an answer
        }
        ++server.clients;
        asio::co_spawn(server.io, ServeClient(server, std::move(socket)), asio::detached);
    }
}

} // namespace

HttpServer::HttpServer() = default;

HttpServer::~HttpServer()
{
    Stop();
}

bool HttpServer::Start(const HttpServerSettings& settings, std::vector<HttpRoute> routes, std::string& error)
{
    Stop();
    const std::string where = ListenAddressText(settings.listen);
    if (!IsLoopbackAddress(settings.listen) && settings.token.empty()) {
        error = "listening on " + where + ", which other machines can reach, needs a token";
        return false;
    }
    auto state = std::make_unique<HttpServerState>();
    state->settings = settings;
    for (HttpRoute& route : routes)
        state->routes[route.path] = std::move(route.handler);
    state->rules.loopbackOnly = IsLoopbackAddress(settings.listen);
    state->rules.token = settings.token;

    boost::system::error_code failure;
    const asio::ip::address address = asio::ip::make_address(settings.listen.host, failure);
    const tcp::endpoint endpoint(address, settings.listen.port);
    if (!failure)
        state->acceptor.open(endpoint.protocol(), failure);
    if (!failure && address.is_v6())
        state->acceptor.set_option(asio::ip::v6_only(true), failure);
#ifndef _WIN32
    // On Windows this option would let another program take the port from us.
    if (!failure)
        state->acceptor.set_option(tcp::acceptor::reuse_address(true), failure);
#endif
    if (!failure)
        state->acceptor.bind(endpoint, failure);
    if (!failure)
        state->acceptor.listen(asio::socket_base::max_listen_connections, failure);
    if (failure) {
        error = "cannot listen on " + where + ": " + failure.message();
        return false;
    }
    state->port = state->acceptor.local_endpoint(failure).port();
    state->rules.cookieName = "kalvix_live_" + std::to_string(state->port);
    asio::co_spawn(state->io, AcceptClients(*state), asio::detached);
    HttpServerState& running = *state;
    state->thread = std::thread([&running] { running.io.run(); });
    state_ = std::move(state);
    return true;
}

std::uint16_t HttpServer::Port() const
{
    return state_ ? state_->port : 0;
}

bool HttpServer::Publish(std::string_view name, const Json& data)
{
    return state_ && PublishEvent(state_->hub, name, data);
}

HttpServerCounters HttpServer::Counters() const
{
    HttpServerCounters counters;
    if (!state_)
        return counters;
    counters.clients = state_->clients.load();
    counters.refusedClients = state_->refusedClients.load();
    counters.timedOutClients = state_->timedOutClients.load();
    std::lock_guard hubLock(state_->hub.lock);
    counters.droppedEventClients = state_->hub.droppedSubscribers;
    counters.publishedEvents = state_->hub.publishedEvents;
    return counters;
}

void HttpServer::Stop()
{
    if (!state_)
        return;
    state_->io.stop();
    if (state_->thread.joinable())
        state_->thread.join();
    state_.reset();
}
