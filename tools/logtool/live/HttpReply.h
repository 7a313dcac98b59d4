// What the live view's server answers: the routes the caller registers (an exact path and the
// handler that makes its reply) and the replies they make (JSON documents, JSON errors, the page's
// files built into the program).
#pragma once

#include "data/Json.h"
#include "live/QueryParameters.h"

#include <functional>
#include <string>
#include <string_view>

struct HttpReply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::string etag;   // a strong ETag ("\"…\""), or empty; a request naming it in If-None-Match gets 304
};

// Handlers run on the server's thread, one at a time; they must not keep it long.
using HttpHandler = std::function<HttpReply(const QueryParameters& query)>;

struct HttpRoute {
    std::string path;   // exact, as requested: "/", "/api/summary"
    HttpHandler handler;
};

// A file built into the program (the page and its libraries).
struct EmbeddedAsset {
    std::string_view path;
    std::string_view contentType;
    std::string_view bytes;
    std::string_view etag;
};

HttpReply JsonReply(const Json& document, int status = 200);
// {"error": "..."} with `status`: a handler's answer to a bad query value is JsonError(400, ...).
HttpReply JsonError(int status, std::string_view message);
HttpRoute AssetRoute(const EmbeddedAsset& asset);
