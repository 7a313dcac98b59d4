// kalvix-log live PATH: a log, or the newest log of a folder, in a browser while it grows.
#include "BrowserOpen.h"
#include "CommandLine.h"
#include "Commands.h"
#include "FitSettings.h"
#include "LivePage.h"
#include "OperatorLogFolder.h"
#include "RandomToken.h"
#include "live/HttpServer.h"
#include "live/LiveSession.h"

#include <fmt/format.h>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

const char* const LiveHelp =
    "usage: kalvix-log live [PATH] [--circuit C [--weight W] [--fix NAME=VALUE ...] [--guess NAME=VALUE ...]]\n"
    "                       [--check] [--fit-every SECONDS] [--listen ADDR:PORT] [--token T] [--open]\n\n"
    "Shows a measurement log in a browser while the control panel writes it: the status (spectra,\n"
    "lost spectra, rate), the trend of |Z|, phase, Z' or Z'' at chosen frequencies against time, the\n"
    "latest spectrum (or one picked in the trend) as Bode and Nyquist, and with --circuit the fitted\n"
    "parameters against time. PATH is a log, or a folder: then its newest log is followed, and the\n"
    "view moves to a new log as soon as one appears; the others can be opened from the page. A\n"
    "finished log shows the same view, marked ended. Without PATH, the operators' log folder:\n"
    "Kalvix in the user's Documents (made when it is not there). Logs are only read.\n\n"
    "--circuit fits the complex mean of every --fit-every seconds of the recording (default 1), in\n"
    "order, each from the result before (as track does); --check runs the Kramers-Kronig test on\n"
    "the same blocks.\n\n"
    "The page is served on 127.0.0.1:8765 (--listen ADDR:PORT; port 0: any free port), for this\n"
    "machine only. Any other address needs a token: --token T, or one made at random and printed\n"
    "in the address to open. --open opens the page in the browser. Ctrl-C ends the program.\n"
    "The JSON API the page uses (/api/status, /api/logs, /api/trend, /api/spectrum, /api/fits and\n"
    "the event stream /events) is described in the live view's guide.\n";

} // namespace

int RunLiveCommand(const Arguments& arguments)
{
    if (WantsHelp(arguments)) {
        std::fputs(LiveHelp, stdout);
        return ExitSuccess;
    }
    CommandGrammar grammar{{"--fit-every", "--listen", "--token"}, {"--check", "--open"}, {}, 0, 1};
    AddFitOptions(grammar);
    const CommandLine line(arguments, grammar);

    LiveSessionSettings settings;
    std::string error;
    if (!line.Positional().empty())
        settings.path = line.Positional()[0];
    else if (!OperatorLogFolder(settings.path, error))
        throw InputError(error);
    LiveAnalysisSettings& analysis = settings.analysis;
    if (line.Has("--circuit")) {
        analysis.circuit = ReadCircuitOption(line);
        analysis.fitOptions = ReadFitOptions(line, *analysis.circuit);
    } else if (line.Has("--weight") || line.Has("--fix") || line.Has("--guess")) {
        throw UsageError("--weight, --fix and --guess go with --circuit");
    }
    analysis.check = line.Has("--check");
    analysis.every_s = line.Number("--fit-every").value_or(1.0);
    if (!(analysis.every_s >= LiveShortestEvery_s && analysis.every_s <= LiveLongestEvery_s))
        throw UsageError(fmt::format("--fit-every needs seconds from {} to {}", LiveShortestEvery_s, LiveLongestEvery_s));

    HttpServerSettings server;
    if (const auto listen = line.Value("--listen"); listen && !ParseListenAddress(*listen, server.listen, error))
        throw UsageError("--listen " + *listen + ": " + error);
    if (const auto token = line.Value("--token")) {
        if (token->size() < 16 || token->size() > 256)
            throw UsageError("--token needs 16 to 256 characters");
        server.token = *token;
    } else if (!IsLoopbackAddress(server.listen) && !MakeRandomToken(server.token, error)) {
        throw InputError("cannot make a token: " + error);
    }

    HttpServer http;
    LiveSession session;
    if (!session.Start(settings, [&http](std::string_view name, const Json& data) { http.Publish(name, data); }, error))
        throw InputError(error);
    std::vector<HttpRoute> routes = LivePageRoutes();
    for (HttpRoute& route : session.Routes())
        routes.push_back(std::move(route));
    if (!http.Start(server, std::move(routes), error))
        throw InputError(error);

    const std::string address = PageAddress(server.listen, http.Port(), server.token);
    fmt::print("kalvix-log live: {}{}\nopen {} in a browser; Ctrl-C ends\n", settings.path,
               analysis.circuit ? " (fitting " + analysis.circuit->text + ")" : std::string(), address);
    std::fflush(stdout);
    if (line.Has("--open") && !OpenInBrowser(address, error))
        fmt::print(stderr, "kalvix-log live: {}\n", error);
    for (;;)
        std::this_thread::sleep_for(std::chrono::hours(1));
}
