#include "live/RequestRules.h"

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool IsPortText(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::string_view TrimSpaces(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool IsLoopbackHost(std::string_view host)
{
    std::string_view name = host;
    std::string_view rest;
    if (!host.empty() && host.front() == '[') {
        const size_t close = host.find(']');
        if (close == std::string_view::npos)
            return false;
        name = host.substr(0, close + 1);
        rest = host.substr(close + 1);
    } else if (const size_t colon = host.find(':'); colon != std::string_view::npos) {
        name = host.substr(0, colon);
        rest = host.substr(colon);
    }
    if (!rest.empty() && (rest.front() != ':' || !IsPortText(rest.substr(1))))
        return false;
    return EqualIgnoringCase(name, "localhost") || name == "127.0.0.1" || name == "[::1]";
}

bool TokensMatch(std::string_view given, std::string_view expected)
{
    unsigned difference = given.size() == expected.size() ? 0u : 1u;
    for (size_t i = 0; i < expected.size(); ++i) {
        const unsigned char other = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        difference |= other ^ static_cast<unsigned char>(expected[i]);
    }
    return difference == 0 && !expected.empty();
}

std::string_view BearerToken(std::string_view authorization)
{
    authorization = TrimSpaces(authorization);
    const std::string_view scheme = "bearer ";
    if (authorization.size() <= scheme.size() || !EqualIgnoringCase(authorization.substr(0, scheme.size()), scheme))
        return {};
    return TrimSpaces(authorization.substr(scheme.size()));
}

std::string_view CookieValue(std::string_view cookies, std::string_view name)
{
    while (!cookies.empty()) {
        const size_t end = cookies.find(';');
        const std::string_view pair = TrimSpaces(cookies.substr(0, end));
        cookies = end == std::string_view::npos ? std::string_view() : cookies.substr(end + 1);
        const size_t equals = pair.find('=');
        if (equals != std::string_view::npos && TrimSpaces(pair.substr(0, equals)) == name)
            return TrimSpaces(pair.substr(equals + 1));
    }
    return {};
}

RequestVerdict JudgeRequest(const RequestHead& head, const AccessRules& rules,
                            const std::function<bool(std::string_view)>& isRoute)
{
    RequestVerdict verdict;
    const auto refuse = [&verdict](int status, std::string error) {
        verdict.status = status;
        verdict.error = std::move(error);
        return verdict;
    };
    if (rules.loopbackOnly && (head.hostCount != 1 || !IsLoopbackHost(head.host)))
        return refuse(403, "this server answers only requests addressed to localhost, 127.0.0.1 or [::1]");

    const size_t question = head.target.find('?');
    verdict.path = std::string(head.target.substr(0, question));
    std::string queryError;
    const bool queryGood = question == std::string_view::npos
                        || ParseQuery(head.target.substr(question + 1), verdict.query, queryError);

    if (!rules.token.empty()) {
        const std::string* queryToken = queryGood ? verdict.query.Find("token") : nullptr;
        const bool fromQuery = queryToken && TokensMatch(*queryToken, rules.token);
        if (!fromQuery && !TokensMatch(BearerToken(head.authorization), rules.token)
            && !TokensMatch(CookieValue(head.cookie, rules.cookieName), rules.token))
            return refuse(401, "a token is needed: open the address the program printed");
        verdict.tokenFromQuery = fromQuery;
    }
    std::erase_if(verdict.query.values, [](const auto& value) { return value.first == "token"; });

    if (head.method != "GET" && head.method != "HEAD")
        return refuse(405, "only GET and HEAD are answered");
    if (!isRoute(verdict.path))
        return refuse(404, "nothing is served at this path");
    if (head.hasBody)
        return refuse(400, "a request here has no body");
    if (!queryGood)
        return refuse(400, queryError);
    return verdict;
}
