// The live view following a log as the control panel writes it: a writer appends 10 rows every
// 10 ms (1000 spectra per second) for a while; the live view follows the file, with a fitted
// circuit and the validity test on every second; an event client reads the status events.
// Measured: from a row written to the first status event that counts it (p50, p99, max), the
// process's share of one core while following (writer and client included), and the summary's
// memory for a recording of a day.
//
//   live_follow_bench FOLDER [SECONDS] [--plain]     (--plain: no circuit, no validity test)
//   live_follow_bench --summary-hours H            (memory of H hours of spectra, fed directly)
#include "SyntheticRecording.h"
#include "data/Json.h"
#include "live/AsioHeaders.h"
#include "live/HttpServer.h"
#include "live/LiveSession.h"
#include "live/SpectrumSummary.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

int SummaryMemory(double hours)
{
    SpectrumSummary summary = MakeSpectrumSummary(1);
    SyntheticSpectra synthetic(1000);
    FollowedRow row;
    row.record = SyntheticSpectrum(synthetic, 0, 1000);
    const uint64_t spectra = static_cast<uint64_t>(hours * 3600 * 1000);
    for (uint64_t count = 0; count < spectra; ++count) {
        row.count = count;
        row.offset = count * 330;
        row.end = row.offset + 330;
        row.record.MeasCount = static_cast<uint32_t>(count);
        AddSpectrum(summary, row);
    }
    std::printf("summary of %.0f hours (%llu spectra): %zu bytes (%.2f MiB, %.2f MiB an hour); process %ld KiB resident\n",
                hours, static_cast<unsigned long long>(spectra), SummaryBytes(summary),
                SummaryBytes(summary) / 1048576.0, SummaryBytes(summary) / 1048576.0 / hours, ResidentKiB());
    return 0;
}

struct Written {
    uint64_t lastCount;
    Clock::time_point at;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && !std::strcmp(argv[1], "--summary-hours"))
        return SummaryMemory(std::atof(argv[2]));
    if (argc < 2) {
        std::fputs("usage: live_follow_bench FOLDER [SECONDS] [--plain] | --summary-hours H\n", stderr);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const double seconds = argc > 2 && argv[2][0] != '-' ? std::atof(argv[2]) : 30;
    const bool plain = argc > 2 && !std::strcmp(argv[argc - 1], "--plain");
    std::filesystem::create_directories(folder);
    const std::filesystem::path log = folder / "bench.txt";
    std::ofstream(log, std::ios::binary | std::ios::trunc) << SyntheticHeader(1);

    HttpServer server;
    LiveSession session;
    LiveSessionSettings settings;
    settings.path = log.string();
    std::string error;
    if (!plain) {
        Circuit circuit;
        ParseCircuit("R0-p(R1,C1)-p(R2,C2)", circuit, error);
        settings.analysis.circuit = circuit;
        settings.analysis.check = true;
    }
    if (!session.Start(settings, [&](std::string_view name, const Json& data) { server.Publish(name, data); }, error) ||
        !server.Start(HttpServerSettings{{"127.0.0.1", 0}}, session.Routes(), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    // The event client: each status event's last count and when it came.
    namespace asio = boost::asio;
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::make_address("127.0.0.1"), server.Port()});
    const std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    asio::write(socket, asio::buffer(request));
    std::mutex lock;
    std::vector<std::pair<uint64_t, Clock::time_point>> events;
    std::thread client([&] {
        std::string text;
        char chunk[65536];
        boost::system::error_code failure;
        for (;;) {
            const size_t size = socket.read_some(asio::buffer(chunk), failure);
            if (failure)
                return;
            const auto now = Clock::now();
            text.append(chunk, size);
            for (size_t at; (at = text.find("\"last_meascount\":")) != std::string::npos;) {
                const uint64_t count = std::strtoull(text.c_str() + at + 17, nullptr, 10);
                std::lock_guard hold(lock);
                events.emplace_back(count, now);
                text.erase(0, at + 17);
            }
            if (text.size() > 4096)
                text.erase(0, text.size() - 4096);
        }
    });

    // The writer: 10 rows every 10 ms.
    SyntheticSpectra synthetic(1000);
    std::vector<Written> written;
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    uint64_t count = 0;
    for (auto next = start; next - start < std::chrono::duration<double>(seconds); next += std::chrono::milliseconds(10)) {
        std::this_thread::sleep_until(next);
        std::string rows;
        for (int i = 0; i < 10; ++i, ++count)
            AppendSyntheticRow(rows, SyntheticSpectrum(synthetic, count, 1000 + count * 0.01));
        std::ofstream(log, std::ios::binary | std::ios::app) << rows;
        written.push_back({count - 1, Clock::now()});
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    socket.shutdown(asio::ip::tcp::socket::shutdown_both);
    socket.close();
    client.join();
    server.Stop();
    session.Stop();

    // For each write, the first event at or after it that counts its last row.
    std::vector<double> latencies;
    size_t e = 0;
    for (const Written& w : written) {
        while (e < events.size() && (events[e].first < w.lastCount || events[e].second < w.at))
            ++e;
        if (e == events.size())
            break;
        latencies.push_back(std::chrono::duration<double, std::milli>(events[e].second - w.at).count());
    }
    std::sort(latencies.begin(), latencies.end());
    auto at = [&](double q) { return latencies.empty() ? 0.0 : latencies[static_cast<size_t>(q * (latencies.size() - 1))]; };
    std::printf("%s: %zu writes of 10 rows over %.0f s, %zu status events\n",
                plain ? "following alone" : "following with R0-p(R1,C1)-p(R2,C2) fitted and checked every second",
                written.size(), seconds, events.size());
    std::printf("row written -> its status event: p50 %.0f ms, p99 %.0f ms, max %.0f ms (%zu writes seen)\n", at(0.5),
                at(0.99), latencies.empty() ? 0.0 : latencies.back(), latencies.size());
    std::printf("process CPU: %.1f %% of one core (writer and event client included)\n", 100 * cpu / wall);
    std::printf("process %ld KiB resident\n", ResidentKiB());
    return 0;
}
