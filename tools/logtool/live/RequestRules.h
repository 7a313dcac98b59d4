// Which requests the live view's server answers, decided from the request's head alone, before any
// handler runs. In order:
//   403  the server listens on loopback and the Host header is not a loopback name (localhost,
//        127.0.0.1, [::1], each with or without a port), or is missing or given twice: a page of
//        another site reaching us through a DNS name rebound to 127.0.0.1 is refused;
//   401  the server has a token and the request brings none that matches (query "token=",
//        "Authorization: Bearer", or the cookie the server sets when the token came in the query);
//   405  a method other than GET and HEAD (the server is read-only);
//   404  a path that is not registered: paths are compared as sent, byte for byte, never decoded
//        and never mapped to files, so "/../etc/passwd", "/%2e%2e/" or "/a\b" name nothing;
//   400  a request with a body, or a query that is not well formed.
#pragma once

#include "live/QueryParameters.h"

#include <functional>
#include <string>
#include <string_view>

struct AccessRules {
    bool loopbackOnly = true;   // the server listens on a loopback address
    std::string token;          // empty: none needed
    std::string cookieName;     // the cookie that carries the token
};

// The parts of a request head the rules look at.
struct RequestHead {
    std::string_view method;
    std::string_view target;           // as sent: path and query
    std::string_view host;
    int hostCount = 0;                 // how many Host headers came
    std::string_view authorization;
    std::string_view cookie;
    bool hasBody = false;
};

struct RequestVerdict {
    int status = 200;          // 200: answer it
    std::string error;         // why not, for the JSON error body
    std::string path;          // the path part of the target
    QueryParameters query;     // the query, less the token
    bool tokenFromQuery = false;   // the page should get the cookie
};

// The verdict on one request; `isRoute` tells whether a path is registered.
RequestVerdict JudgeRequest(const RequestHead& head, const AccessRules& rules,
                            const std::function<bool(std::string_view)>& isRoute);

bool IsLoopbackHost(std::string_view host);
// The same answer for every pair of the same lengths: the time taken tells nothing of where they differ.
bool TokensMatch(std::string_view given, std::string_view expected);
// "Bearer abc" -> "abc" (the scheme in any case); empty for other schemes.
std::string_view BearerToken(std::string_view authorization);
// The value of cookie `name` in a Cookie header, empty when absent.
std::string_view CookieValue(std::string_view cookies, std::string_view name);

