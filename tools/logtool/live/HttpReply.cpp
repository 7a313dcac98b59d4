#include "live/HttpReply.h"

HttpReply JsonReply(const Json& document, int status)
{
    HttpReply reply;
    reply.status = status;
    reply.contentType = "application/json";
    reply.body = JsonText(document);
    return reply;
}

HttpReply JsonError(int status, std::string_view message)
{
    Json document;
    document["error"] = message;
    return JsonReply(document, status);
}

HttpRoute AssetRoute(const EmbeddedAsset& asset)
{
    return {std::string(asset.path), [asset](const QueryParameters&) {
                HttpReply reply;
                reply.contentType = std::string(asset.contentType);
                reply.body = std::string(asset.bytes);
                reply.etag = std::string(asset.etag);
                return reply;
            }};
}
