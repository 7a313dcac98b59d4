// The live view's HTTP server: the caller's routes (exact paths, GET and HEAD only), one stream of
// Server-Sent Events, and the rules of RequestRules.h in front of them. It runs on a thread of its
// own from Start until Stop (or destruction); Publish and Counters may be called from any thread
// (though not while another thread stops or destroys the server) and never wait on a client.
//
// Bounds: at most maxClients connections at once (the next is answered 503 and closed); a request's
// line and headers at most maxHeadBytes (431) and complete within headTimeout, also the longest a
// kept-alive connection waits for its next request (a client sending its headers byte by byte is
// dropped then); every write to a client completes within sendTimeout or the client is dropped; an
// event client is dropped when more than eventQueueBytes wait for it (it has fallen behind); an
// idle event stream gets a comment line every eventKeepAlive.
#pragma once

#include "data/Json.h"
#include "live/HttpReply.h"
#include "live/ListenAddress.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct HttpServerSettings {
    ListenAddress listen;
    std::string token;   // needed by every request when not empty; a listen address that is not loopback needs one
    std::string eventsPath = "/events";
    size_t maxClients = 64;
    size_t maxHeadBytes = 8192;
    std::chrono::milliseconds headTimeout{10000};
    std::chrono::milliseconds sendTimeout{20000};
    size_t eventQueueBytes = size_t{1} << 20;
    std::chrono::milliseconds eventKeepAlive{15000};
};

struct HttpServerCounters {
    size_t clients = 0;              // connected now
    size_t refusedClients = 0;       // answered 503: too many at once
    size_t timedOutClients = 0;      // dropped by a timeout
    size_t droppedEventClients = 0;  // event clients that fell behind
    size_t publishedEvents = 0;
};

struct HttpServerState;

class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and starts serving; false with `error` ("cannot listen on 127.0.0.1:8765: Address
    // already in use") when it cannot.
    bool Start(const HttpServerSettings& settings, std::vector<HttpRoute> routes, std::string& error);
    // The port bound (the one chosen by the system for port 0); 0 when not started.
    std::uint16_t Port() const;
    // Sends the event to every event client; false when the server is not running or `name` is not
    // an event name (1 to 64 letters, digits, '-', '_', '.').
    bool Publish(std::string_view name, const Json& data);
    HttpServerCounters Counters() const;
    // Closes every connection and ends the server's thread; the port is free afterwards.
    void Stop();

private:
    std::unique_ptr<HttpServerState> state_;
};
