// The live view's API through real connections over logs written while it runs: what it answers
// equals what the rows hold, bad queries are refused, a folder's newest log is followed, and
// status events come as the log grows.
#include "HttpTestClient.h"
#include "PictureTestSupport.h"
#include "TestLogs.h"
#include "data/Json.h"
#include "data/Spectrum.h"
#include "fit/Circuit.h"
#include "live/HttpServer.h"
#include "live/LiveSession.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::string LogText(const std::vector<uint32_t>& counts)
{
    std::vector<SpectrumRecord> records;
    for (uint32_t count : counts)
        records.push_back(MakeTestRecord(count));
    return TestLogText(records);
}

std::string RowsText(const std::vector<uint32_t>& counts)
{
    return LogText(counts).substr(TestLogText({}).size());
}

void Append(const fs::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint32_t> Counts(uint32_t from, uint32_t to, uint32_t skip = UINT32_MAX)
{
    std::vector<uint32_t> counts;
    for (uint32_t count = from; count < to; ++count)
        if (count != skip)
            counts.push_back(count);
    return counts;
}

// A session and its server on a free loopback port.
struct Live {
    HttpServer server;
    LiveSession session;
    explicit Live(const fs::path& path, const std::string& circuit = "")
    {
        std::string error;
        LiveSessionSettings settings;
        settings.path = Utf8Path(path);
        if (!circuit.empty()) {
            Circuit parsed;
            EXPECT_TRUE(ParseCircuit(circuit, parsed, error)) << error;
            settings.analysis.circuit = parsed;
            settings.analysis.check = true;
        }
        if (!session.Start(settings, [this](std::string_view name, const Json& data) { server.Publish(name, data); }, error))
            ADD_FAILURE() << error;
        HttpServerSettings listen;
        listen.listen.port = 0;
        if (!server.Start(listen, session.Routes(), error))
            ADD_FAILURE() << error;
    }
    ~Live()
    {
        server.Stop();
        session.Stop();
    }
    std::pair<int, Json> Ask(const std::string& target)
    {
        const Answer answer = ::Ask(server.Port(), Get(target));
        Json document;
        std::string error;
        if (!answer.failure.empty() || !ParseJson(answer.response.body(), document, error))
            ADD_FAILURE() << target << ": " << answer.failure << error;
        return {answer.Status(), document};
    }
    Json Status(const std::string& query = "") { return Ask("/api/status" + query).second; }
    bool Shows(const std::function<bool(const Json&)>& wanted, const std::string& query = "")
    {
        return WaitUntil([&] { return wanted(Status(query)); });
    }
};

bool HasSpectra(const Json& status, uint64_t spectra)
{
    return status.value("spectra", uint64_t{0}) == spectra;
}

} // namespace

TEST(LiveSession, AnswersWhatTheRowsHoldAsTheLogGrows)
{
    ScratchDirectory scratch;
    const fs::path folder = scratch.Path();
    const fs::path log = folder / "run.txt";
    const std::vector<uint32_t> first = Counts(0, 20000, 1234);   // one spectrum lost
    Append(log, LogText(first));
    Live live(log);
    ASSERT_TRUE(live.Shows([&](const Json& s) { return HasSpectra(s, first.size()); }));
    const Json status = live.Status();
    EXPECT_EQ(status["lost"], 1);
    EXPECT_EQ(status["first_meascount"], 0);
    EXPECT_EQ(status["last_meascount"], 19999);
    EXPECT_DOUBLE_EQ(status["last_time_s"].get<double>(), 19.999);
    EXPECT_EQ(status["divider"], 1);
    EXPECT_EQ(status["frequencies_hz"].size(), 15u);
    EXPECT_EQ(status["file"], "run.txt");

    // Each trend point is the exact mean of its spectra, from the summary and from the rows.
    for (const char* span : {"", "&from_s=1.1&to_s=1.3"}) {
        SCOPED_TRACE(span);
        const auto [code, trend] =
            live.Ask("/api/trend?quantity=modulus&frequency_hz=" + std::to_string(TestLogFrequencies[4]) + "&points=7" + span);
        ASSERT_EQ(code, 200) << trend;
        EXPECT_EQ(trend["source"], std::string(*span ? "rows" : "summary"));
        ASSERT_GT(trend["time_s"].size(), 0u);
        uint64_t covered = 0;
        for (size_t p = 0; p < trend["time_s"].size(); ++p)
            covered += trend["spectra"][p].get<uint64_t>();
        EXPECT_EQ(covered, *span ? 200u : first.size());
        // The first point's mean, from the records themselves.
        const size_t n = trend["spectra"][0].get<size_t>();
        const uint32_t from = *span ? 1100 : 0;
        double sum = 0;
        for (size_t i = 0, taken = 0; taken < n; ++i)
            if (from + i != 1234) {
                sum += MakeTestRecord(from + static_cast<uint32_t>(i)).Module[4];
                ++taken;
            }
        EXPECT_NEAR(trend["mean"][0].get<double>(), sum / n, 0.005);
    }

    // A spectrum as logged (two decimals), by count and the last one.
    const auto [code, spectrum] = live.Ask("/api/spectrum?meascount=2000");
    ASSERT_EQ(code, 200) << spectrum;
    const SpectrumRecord record = MakeTestRecord(2000);
    for (size_t f = 0; f < 15; ++f) {
        EXPECT_NEAR(spectrum["modulus"][f].get<double>(), record.Module[f], 0.006);
        EXPECT_NEAR(spectrum["real"][f].get<double>(), ImpedanceFromPolar(record.Module[f], record.Phase[f]).real(), 0.05);
    }
    EXPECT_EQ(live.Ask("/api/spectrum?meascount=last").second["meascount"], 19999);

    // A row whose end has not arrived is not shown; once it has, it is.
    const std::string more = RowsText(Counts(20000, 20002));
    Append(log, more.substr(0, more.size() - 1));
    ASSERT_TRUE(live.Shows([&](const Json& s) { return HasSpectra(s, first.size() + 1); }));
    Append(log, more.substr(more.size() - 1));
    ASSERT_TRUE(live.Shows([&](const Json& s) { return HasSpectra(s, first.size() + 2); }));
    EXPECT_EQ(live.Ask("/api/spectrum").second["meascount"], 20001);
}

TEST(LiveSession, RefusesBadQueriesWithTheReason)
{
    ScratchDirectory scratch;
    const fs::path folder = scratch.Path();
    const fs::path log = folder / "run.txt";
    Append(log, LogText(Counts(0, 100)));
    Live live(log);
    ASSERT_TRUE(live.Shows([](const Json& s) { return HasSpectra(s, 100); }));
    const std::string hz = "frequency_hz=" + std::to_string(TestLogFrequencies[0]);
    const struct {
        std::string target;
        int status;
        std::string error;
    } cases[] = {
        {"/api/trend?" + hz + "&quantity=volume", 400, "'quantity' is one of modulus, phase, real, imag"},
        {"/api/trend?quantity=phase", 400, "'frequency_hz' is missing"},
        {"/api/trend?frequency_hz=3", 400, "'frequency_hz' is not one of the log's frequencies"},
        {"/api/trend?frequency_hz=nan", 400, "'frequency_hz' is not a number"},
        {"/api/trend?" + hz + "&points=0", 400, "'points' is not a whole number from 1 to 10000"},
        {"/api/trend?" + hz + "&points=10001", 400, "'points' is not a whole number from 1 to 10000"},
        {"/api/trend?" + hz + "&from_s=1e999", 400, "'from_s' is not a number"},
        {"/api/trend?" + hz + "&to_s=", 400, "'to_s' is not a number"},
        {"/api/spectrum?meascount=-1", 400, "'meascount' is a whole number or last"},
        {"/api/spectrum?meascount=100", 404, "count 100 is outside 0 to 99"},
        {"/api/status?log=1", 400, "'log' is not a whole number from 0 to 0"},
        {"/api/status?log=../x", 400, "'log' is not a whole number from 0 to 0"},
        {"/api/fits", 404, "nothing is fitted: the live view runs without --circuit and --check"},
    };
    for (const auto& c : cases) {
        const auto [code, document] = live.Ask(c.target);
        EXPECT_EQ(code, c.status) << c.target;
        EXPECT_EQ(document.value("error", std::string()), c.error) << c.target;
    }
    // A span without spectra answers no points.
    const auto [code, empty] = live.Ask("/api/trend?" + hz + "&from_s=50&to_s=60");
    EXPECT_EQ(code, 200);
    EXPECT_EQ(empty["time_s"].size(), 0u);
}

TEST(LiveSession, FollowsTheFoldersNewestLogAndKeepsTheOthersOpenable)
{
    ScratchDirectory scratch;
    const fs::path folder = scratch.Path();
    Append(folder / "261210_090000_a.txt", LogText(Counts(0, 50)));
    Live live(folder);
    ASSERT_TRUE(live.Shows([](const Json& s) { return s["file"] == "261210_090000_a.txt" && HasSpectra(s, 50); }));
    EventReader events(live.server.Port(), Get("/events"));

    // The panel starts a new log: the view moves to it, the old one is listed and ended.
    Append(folder / "261210_100000_b.txt", LogText(Counts(0, 20)));
    EXPECT_TRUE(events.WaitFor([](const std::string& text, bool) {
        return text.find("event: logs") != std::string::npos && text.find("\"file\":\"261210_100000_b.txt\"") != std::string::npos;
    }));
    ASSERT_TRUE(live.Shows([](const Json& s) { return s["file"] == "261210_100000_b.txt" && HasSpectra(s, 20); }));
    const Json logs = live.Ask("/api/logs").second;
    ASSERT_EQ(logs["logs"].size(), 2u);
    EXPECT_EQ(logs["logs"][0]["name"], "261210_100000_b.txt");
    EXPECT_EQ(logs["logs"][1]["name"], "261210_090000_a.txt");
    ASSERT_TRUE(live.Shows([](const Json& s) { return s["file"] == "261210_090000_a.txt" && s["state"] == "ended" && HasSpectra(s, 50); },
                           "?log=1"));
    EXPECT_EQ(live.Ask("/api/spectrum?log=1").second["meascount"], 49);

    // Rows appended to the followed log reach the event stream.
    Append(folder / "261210_100000_b.txt", RowsText(Counts(20, 30)));
    EXPECT_TRUE(events.WaitFor([](const std::string& text, bool) {
        return text.find("\"spectra\":30,") != std::string::npos;
    }));

    // The followed log deleted: shown as gone until the list moves back to the other.
    fs::remove(folder / "261210_100000_b.txt");
    ASSERT_TRUE(live.Shows([](const Json& s) { return s["file"] == "261210_090000_a.txt"; }));
    EXPECT_EQ(live.Ask("/api/logs").second["logs"].size(), 1u);
}

TEST(LiveSession, FitsEveryBlockAndDrawsTheFittedCurveOfASpectrumsBlock)
{
    ScratchDirectory scratch;
    const fs::path log = scratch.Path() / "run.txt";
    Append(log, LogText(Counts(0, 2500)));
    Live live(log, "R0-p(R1,C1)");
    EventReader events(live.server.Port(), Get("/events"));
    // Two whole blocks at once; the third, half full, once the log has ended.
    ASSERT_TRUE(live.Shows([](const Json& s) { return s["fits_done"] == 3 && s["state"] == "ended"; }));
    EXPECT_TRUE(events.WaitFor([](const std::string& text, bool) { return text.find("event: fits") != std::string::npos; }));
    const auto [code, fits] = live.Ask("/api/fits?points=10");
    ASSERT_EQ(code, 200) << fits;
    EXPECT_EQ(fits["fits"]["time_s"], Json::parse("[0.5, 1.5, 2.5]"));
    EXPECT_EQ(fits["fits"]["spectra"], Json::parse("[1000, 1000, 500]"));
    EXPECT_EQ(fits["fits"]["parameters"].size(), 3u);
    EXPECT_EQ(fits["validity"]["time_s"].size(), 3u);
    EXPECT_EQ(live.Ask("/api/fits?from_s=1&to_s=2").second["fits"]["time_s"], Json::parse("[1.5]"));
    const Json spectrum = live.Ask("/api/spectrum?meascount=1200").second;
    ASSERT_TRUE(spectrum["fit"].is_object()) << spectrum;
    EXPECT_EQ(spectrum["fit"]["block_time_s"], 1.5);
    EXPECT_EQ(spectrum["fit"]["modulus"].size(), 100u);
}

TEST(LiveSession, RefusesAPathItCannotFollow)
{
    ScratchDirectory scratch;
    const fs::path folder = scratch.Path();
    LiveSession session;
    LiveSessionSettings settings;
    std::string error;
    settings.path = Utf8Path(folder / "nosuch" / "run.txt");
    EXPECT_FALSE(session.Start(settings, nullptr, error));
    EXPECT_EQ(error, settings.path + ": no such file or folder");
    // A log not written yet, in a folder that is there, is waited for.
    settings.path = Utf8Path(folder / "later.txt");
    ASSERT_TRUE(session.Start(settings, nullptr, error)) << error;
}
