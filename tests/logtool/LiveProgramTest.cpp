// kalvix-log live as a program (natively, and kalvix-log.exe under Wine): it says where its page
// is, answers its API and page over loopback, and refuses what it cannot follow or serve.
#include "HttpTestClient.h"
#include "PictureTestSupport.h"
#include "ProgramRun.h"
#include "TestLogs.h"
#include "data/Json.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

namespace {

// The port of the address the program printed; 0 when it printed none within `patience`.
std::uint16_t PrintedPort(const StartedProgram& program, std::string& printed)
{
    static const std::regex address(R"(open http://127\.0\.0\.1:(\d+)/(\?token=[0-9a-f]{64})? in a browser)");
    std::smatch found;
    const bool seen = WaitUntil([&] {
        printed = OutputSoFar(program);
        return std::regex_search(printed, found, address);
    });
    return seen ? static_cast<std::uint16_t>(std::stoi(found[1].str())) : 0;
}

} // namespace

TEST(LiveProgram, ServesTheLogAndThePageUntilEnded)
{
    ScratchDirectory scratch;
    std::vector<SpectrumRecord> records;
    for (uint32_t count = 0; count < 500; ++count)
        records.push_back(MakeTestRecord(count));
    std::ofstream(scratch.Path() / "run.txt", std::ios::binary) << TestLogText(records);

    StartedProgram program = StartKalvixLog({{"live", scratch.File("run.txt"), "--listen", "127.0.0.1:0"}, "", ""});
    std::string printed;
    const std::uint16_t port = PrintedPort(program, printed);
    ASSERT_NE(port, 0) << printed;
    Json status;
    EXPECT_TRUE(WaitUntil([&] {
        const Answer answer = Ask(port, Get("/api/status"));
        std::string error;
        return answer.Status() == 200 && ParseJson(answer.response.body(), status, error) && status["spectra"] == 500;
    })) << status;
    EXPECT_EQ(status["file"], "run.txt");
    const Answer page = Ask(port, Get("/"));
    EXPECT_EQ(page.Status(), 200);
    EXPECT_EQ(page.Header("Content-Type").rfind("text/html", 0), 0u);
    EXPECT_EQ(Ask(port, Get("/api/status", "Host: example.com\r\n")).Status(), 403);
    EndKalvixLog(program);
    FinishKalvixLog(program);
}

TEST(LiveProgram, RefusesWhatItCannotFollowOrServe)
{
    ScratchDirectory scratch;
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"live", scratch.File("nosuch/run.txt")}, 1, "no such file or folder"},
        {{"live", "a", "b"}, 2, ""},
        {{"live", scratch.File("run.txt"), "--fit-every", "0"}, 2, "--fit-every needs seconds from 0.1 to 86400"},
        {{"live", scratch.File("run.txt"), "--listen", "localhost:80"}, 2, "--listen localhost:80"},
        {{"live", scratch.File("run.txt"), "--token", "short"}, 2, "--token needs 16 to 256 characters"},
        {{"live", scratch.File("run.txt"), "--fix", "R0=1"}, 2, "go with --circuit"},
        {{"live", scratch.File("run.txt"), "--circuit", "R0-q(1"}, 2, "circuit"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = RunKalvixLog({c.arguments, "", ""});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments.back() << ": " << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    // A port in use.
    StartedProgram first = StartKalvixLog({{"live", Utf8Path(scratch.Path()), "--listen", "127.0.0.1:0"}, "", ""});
    std::string printed;
    const std::uint16_t port = PrintedPort(first, printed);
    ASSERT_NE(port, 0) << printed;
    const ProgramResult second =
        RunKalvixLog({{"live", Utf8Path(scratch.Path()), "--listen", "127.0.0.1:" + std::to_string(port)}, "", ""});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("cannot listen on 127.0.0.1:" + std::to_string(port)), std::string::npos) << second.err;
    EndKalvixLog(first);
    FinishKalvixLog(first);
}
