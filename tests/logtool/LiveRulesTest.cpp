// The live view's server rules that need no connection: listen addresses, Host names, tokens,
// queries and the event queues' bounds.
#include "RandomToken.h"
#include "live/EventStream.h"
#include "live/ListenAddress.h"
#include "live/QueryParameters.h"
#include "live/RequestRules.h"

#include <gtest/gtest.h>

TEST(LiveRules, ParsesListenAddresses)
{
    struct Case {
        const char* text;
        const char* host;   // null: refused
        int port;
        bool loopback;
        const char* error;
    };
    const Case cases[] = {
        {"127.0.0.1:8765", "127.0.0.1", 8765, true, ""},
        {"127.3.4.5:0", "127.3.4.5", 0, true, ""},
        {"[::1]:65535", "::1", 65535, true, ""},
        {"0.0.0.0:80", "0.0.0.0", 80, false, ""},
        {"[::]:1", "::", 1, false, ""},
        {"192.168.1.20:8000", "192.168.1.20", 8000, false, ""},
        {"[::ffff:127.0.0.1]:8000", "::ffff:127.0.0.1", 8000, false, ""},
        {"127.0.0.1", nullptr, 0, false, "\"127.0.0.1\" has no port: write ADDRESS:PORT, for example 127.0.0.1:8765"},
        {"127.0.0.1:65536", nullptr, 0, false, "\"65536\" is not a port (0 to 65535)"},
        {"127.0.0.1:", nullptr, 0, false, "\"\" is not a port (0 to 65535)"},
        {"127.0.0.1:-1", nullptr, 0, false, "\"-1\" is not a port (0 to 65535)"},
        {"127.0.0.1:+80", nullptr, 0, false, "\"+80\" is not a port (0 to 65535)"},
        {"localhost:80", nullptr, 0, false, "\"localhost\" is not an IPv4 address"},
        {"256.0.0.1:80", nullptr, 0, false, "\"256.0.0.1\" is not an IPv4 address"},
        {"::1:8765", nullptr, 0, false, "\"::1:8765\": an IPv6 address is written in brackets, for example [::1]:8765"},
        {"[127.0.0.1]:80", nullptr, 0, false, "\"127.0.0.1\" is not an IPv6 address"},
        {"[::1]8765", nullptr, 0, false, "\"[::1]8765\" is not [IPv6 address]:port"},
        {"[::1:8765", nullptr, 0, false, "\"[::1:8765\" is not [IPv6 address]:port"},
        {":8765", nullptr, 0, false, "\"\" is not an IPv4 address"},
    };
    for (const Case& c : cases) {
        ListenAddress address;
        std::string error;
        ASSERT_EQ(ParseListenAddress(c.text, address, error), c.host != nullptr) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        if (c.host) {
            EXPECT_EQ(address.host, c.host) << c.text;
            EXPECT_EQ(address.port, c.port) << c.text;
            EXPECT_EQ(IsLoopbackAddress(address), c.loopback) << c.text;
            EXPECT_EQ(ListenAddressText(address), c.text) << c.text;
        }
    }
    EXPECT_EQ(ListenAddressText(ListenAddress()), "127.0.0.1:8765");
}

TEST(LiveRules, WritesThePageAddressWithItsToken)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"127.0.0.1", "", "http://127.0.0.1:4321/"},
        {"::1", "abc", "http://[::1]:4321/?token=abc"},
        {"0.0.0.0", "a b&c=d/é~", "http://127.0.0.1:4321/?token=a%20b%26c%3Dd%2F%C3%A9~"},
        {"::", "t", "http://[::1]:4321/?token=t"},
        {"192.168.1.20", "t", "http://192.168.1.20:4321/?token=t"},
    };
    for (const auto& [host, token, address] : cases) {
        ListenAddress listen;
        listen.host = host;
        EXPECT_EQ(PageAddress(listen, 4321, token), address);
        QueryParameters parameters;
        std::string error;
        const std::string text = address;
        if (text.find('?') != std::string::npos) {   // the token comes back as it was
            ASSERT_TRUE(ParseQuery(text.substr(text.find('?') + 1), parameters, error));
            EXPECT_EQ(*parameters.Find("token"), token);
        }
    }
}

TEST(LiveRules, KnowsLoopbackHostNames)
{
    const std::pair<const char*, bool> cases[] = {
        {"localhost", true}, {"LocalHost:8765", true}, {"127.0.0.1", true}, {"127.0.0.1:1", true},
        {"[::1]", true}, {"[::1]:8765", true}, {"", false}, {"localhost.", false},
        {"localhost:", false}, {"localhost:80x", false}, {"localhost:123456", false},
        {"127.0.0.1.evil.example", false}, {"evil.example", false}, {"[::1]x", false},
        {"[::1", false}, {"::1", false}, {"127.0.0.2", false}, {"localhost@evil.example", false},
    };
    for (const auto& [host, loopback] : cases)
        EXPECT_EQ(IsLoopbackHost(host), loopback) << host;
}

TEST(LiveRules, MatchesTokensFromEveryPlace)
{
    EXPECT_TRUE(TokensMatch("abc", "abc"));
    for (const char* other : {"", "ab", "abcd", "abd", "ABC", "xbc"})
        EXPECT_FALSE(TokensMatch(other, "abc")) << other;
    EXPECT_FALSE(TokensMatch("", ""));   // no token is never a match
    EXPECT_EQ(BearerToken("Bearer abc"), "abc");
    EXPECT_EQ(BearerToken("  bearer   abc  "), "abc");
    EXPECT_EQ(BearerToken("Basic abc"), "");
    EXPECT_EQ(BearerToken("Bearer"), "");
    EXPECT_EQ(CookieValue("a=1; kalvix_live_80=tok; b=2", "kalvix_live_80"), "tok");
    EXPECT_EQ(CookieValue("kalvix_live_800=tok", "kalvix_live_80"), "");
    EXPECT_EQ(CookieValue("x_kalvix_live_80=tok", "kalvix_live_80"), "");
    EXPECT_EQ(CookieValue("", "kalvix_live_80"), "");

    std::string first;
    std::string second;
    std::string error;
    ASSERT_TRUE(MakeRandomToken(first, error)) << error;
    ASSERT_TRUE(MakeRandomToken(second, error)) << error;
    EXPECT_EQ(first.size(), 64u);
    EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos) << first;
    EXPECT_NE(first, second);
}

TEST(LiveRules, ParsesQueries)
{
    struct Case {
        const char* query;
        const char* pairs;   // "name=value;" for each, or the error
        bool ok;
    };
    const Case cases[] = {
        {"", "", true},
        {"a=1&b=two%20words", "a=1;b=two words;", true},
        {"a=1+2&&b", "a=1 2;b=;", true},
        {"%61=%2541", "a=%41;", true},   // decoded once only
        {"x=%2e%2E%2f", "x=../;", true},
        {"a=%zz", "the query has a '%' that is not followed by two hex digits", false},
        {"a=%4", "the query has a '%' that is not followed by two hex digits", false},
        {"a%=1", "the query has a '%' that is not followed by two hex digits", false},
        {"a=%+1", "the query has a '%' that is not followed by two hex digits", false},
        {"a=%-1", "the query has a '%' that is not followed by two hex digits", false},
        {"a=1&a=2", "the query gives 'a' more than once", false},
        {"a=1&%61=2", "the query gives 'a' more than once", false},
        {"=1", "the query has a value without a name", false},
    };
    for (const Case& c : cases) {
        QueryParameters parameters;
        std::string error;
        ASSERT_EQ(ParseQuery(c.query, parameters, error), c.ok) << c.query;
        std::string pairs;
        for (const auto& [name, value] : parameters.values)
            pairs += name + "=" + value + ";";
        EXPECT_EQ(c.ok ? pairs : error, c.pairs) << c.query;
    }

    QueryParameters parameters;
    std::string error;
    ASSERT_TRUE(ParseQuery("n=12&bad=1x&big=101&neg=-3&empty=", parameters, error));
    long long value = 7;
    EXPECT_TRUE(QueryInteger(parameters, "absent", 1, 100, value, error));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(QueryInteger(parameters, "n", 1, 100, value, error));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(QueryInteger(parameters, "neg", -5, 5, value, error));
    EXPECT_EQ(value, -3);
    for (const char* name : {"bad", "big", "empty"}) {
        EXPECT_FALSE(QueryInteger(parameters, name, 1, 100, value, error)) << name;
        EXPECT_EQ(error, "'" + std::string(name) + "' is not a whole number from 1 to 100");
    }
    EXPECT_EQ(value, -3);
}

TEST(LiveRules, JudgesInOrderHostTokenMethodPathBody)
{
    AccessRules rules{true, "secret", "kalvix_live_1"};
    const auto isRoute = [](std::string_view path) { return path == "/" || path == "/api"; };
    struct Case {
        const char* method;
        const char* target;
        const char* host;
        const char* authorization;
        bool hasBody;
        int status;
    };
    const Case cases[] = {
        {"GET", "/?token=secret", "localhost", "", false, 200},
        {"GET", "/", "localhost", "Bearer secret", false, 200},
        {"POST", "/nowhere", "evil.example", "", true, 403},
        {"POST", "/nowhere", "localhost", "", true, 401},
        {"GET", "/?token=secrex", "localhost", "", false, 401},
        {"GET", "/?token=secret&token=secret", "localhost", "", false, 401},   // a query in doubt gives no token
        {"POST", "/nowhere", "localhost", "Bearer secret", true, 405},
        {"GET", "/nowhere?a=%zz", "localhost", "Bearer secret", false, 404},
        {"GET", "/api?a=%zz", "localhost", "Bearer secret", false, 400},
        {"GET", "/api", "localhost", "Bearer secret", true, 400},
    };
    for (const Case& c : cases) {
        RequestHead head;
        head.method = c.method;
        head.target = c.target;
        head.host = c.host;
        head.hostCount = 1;
        head.authorization = c.authorization;
        head.hasBody = c.hasBody;
        const RequestVerdict verdict = JudgeRequest(head, rules, isRoute);
        EXPECT_EQ(verdict.status, c.status) << c.method << " " << c.target << " " << verdict.error;
    }
    RequestHead head;
    head.method = "GET";
    head.target = "/api?x=1&token=secret";
    head.host = "127.0.0.1:9";
    head.hostCount = 1;
    const RequestVerdict verdict = JudgeRequest(head, rules, isRoute);
    EXPECT_TRUE(verdict.tokenFromQuery);
    EXPECT_EQ(verdict.path, "/api");
    ASSERT_EQ(verdict.query.values.size(), 1u);   // handlers never see the token
    EXPECT_EQ(verdict.query.values[0].first, "x");
}

TEST(LiveRules, QueuesEventsInOrderAndDropsAClientThatFallsBehind)
{
    EventHub hub;
    const auto reader = std::make_shared<EventSubscriber>();
    const auto laggard = std::make_shared<EventSubscriber>();
    int wakes = 0;
    for (const auto& subscriber : {reader, laggard}) {
        subscriber->limitBytes = 200;
        subscriber->wake = [&wakes] { ++wakes; };
        Subscribe(hub, subscriber);
    }
    EXPECT_FALSE(PublishEvent(hub, "bad name", Json::object()));
    EXPECT_FALSE(PublishEvent(hub, "", Json::object()));
    EXPECT_FALSE(PublishEvent(hub, std::string(65, 'a'), Json::object()));
    EXPECT_EQ(EventText("spectrum.1", Json{{"a", "x\ny"}}), "event: spectrum.1\ndata: {\"a\":\"x\\ny\"}\n\n");

    bool overflowed = false;
    std::vector<std::string> received;
    for (int n = 0; n < 20; ++n) {
        ASSERT_TRUE(PublishEvent(hub, "tick", Json{{"n", n}}));   // 30 bytes each
        for (const auto& text : TakeEvents(*reader, overflowed))
            received.push_back(*text);
        EXPECT_FALSE(overflowed);
    }
    ASSERT_EQ(received.size(), 20u);
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(received[n], EventText("tick", Json{{"n", n}}));
    EXPECT_TRUE(TakeEvents(*laggard, overflowed).empty());
    EXPECT_TRUE(overflowed);
    EXPECT_EQ(laggard->bytes, 0u);   // its queue was let go
    EXPECT_EQ(wakes, 20 + 2);          // the reader each time; the laggard once queued, once overflowed
    EXPECT_EQ(hub.droppedSubscribers, 1u);
    EXPECT_EQ(hub.publishedEvents, 20u);
    Unsubscribe(hub, reader);
    Unsubscribe(hub, laggard);
    EXPECT_TRUE(hub.subscribers.empty());
}
