// The measurement log's text from any spectrum, header fields and file name, into buffers of any
// size: every cut text is a terminated prefix of the whole text, flagged as cut exactly when
// something did not fit; numbers read as printf's "%*.*f" would print them.
#include "FuzzInput.h"
#include "LogFormat.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// Formats with `put` into a sink of `limit` bytes and into one that takes everything, and checks
// the one against the other.
template <typename Put>
void CheckCut(size_t limit, Put put)
{
    std::string whole(1 << 16, '\0');
    TextSink big = MakeTextSink(whole.data(), whole.size());
    put(big);
    FUZZ_CHECK(!big.truncated);
    auto buffer = ExactCopy(std::string(limit, '\x55').data(), limit);
    TextSink sink = MakeTextSink(reinterpret_cast<char*>(buffer.get()), limit);
    put(sink);
    if (limit == 0) {
        FUZZ_CHECK(sink.length == 0 && sink.truncated == (big.length > 0));
        return;
    }
    FUZZ_CHECK(sink.length < limit && sink.buffer[sink.length] == '\0');
    FUZZ_CHECK(sink.length == std::min(big.length, limit - 1));
    FUZZ_CHECK(std::memcmp(sink.buffer, whole.data(), sink.length) == 0);
    FUZZ_CHECK(sink.truncated == (big.length > limit - 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const size_t limit = input.Below(3000);
    const SpectrumRecord record = input.Take<SpectrumRecord>();
    CheckCut(limit, [&](TextSink& sink) { FormatLogRow(sink, record); });

    const double value = input.Take<double>();
    const int width = static_cast<int>(input.Below(40));
    const int precision = static_cast<int>(input.Below(12));
    char text[64];
    std::string printed(512, '\0');
    TextSink fixed = MakeTextSink(printed.data(), printed.size());
    Print(fixed, "{:>{}.{}f}", value, width, precision);
    if (std::isfinite(value) && std::fabs(value) < 1e30) {
        std::snprintf(text, sizeof text, "%*.*f", width, precision, value);
        FUZZ_CHECK(std::string(fixed.buffer, fixed.length) == text);
    }

    LogTime time = input.Take<LogTime>();
    float tables[75];
    for (float& v : tables)
        v = input.Take<float>();
    const std::string name = input.Text(input.Below(300)), description = input.Text(input.Below(100));
    const std::string serial = input.Text(20), afe = input.Text(input.Below(1000)), gain = input.Text(8);
    const LogHeaderData header{name, time, description, serial, afe,
                               input.Take<int32_t>(), input.Take<int32_t>(), gain, gain,
                               input.Take<int32_t>(), input.Take<int32_t>(), input.Take<int32_t>(), input.Take<int32_t>(),
                               tables, tables + 15, tables + 45};
    CheckCut(input.Below(6000), [&](TextSink& sink) { FormatLogHeader(sink, header); });

    const uint32_t attempt = input.Take<uint32_t>();
    const std::string path = input.Rest();
    const LogPathParts parts = SplitLogPath(path);
    FUZZ_CHECK(std::string(parts.directory) + std::string(parts.suffix) == path);
    FUZZ_CHECK(parts.suffix.find('\\') == std::string_view::npos);
    FUZZ_CHECK(parts.directory.empty() || parts.directory.back() == '\\');
    CheckCut(limit, [&](TextSink& sink) { FormatFileNameDate(sink, time, parts.suffix); });
    CheckCut(limit, [&](TextSink& sink) { FormatLogNameCandidate(sink, path, attempt); });
    // The candidate is the name with "_n" put in once (none for the first attempt).
    std::string candidate(path.size() + 16, '\0');
    TextSink whole = MakeTextSink(candidate.data(), candidate.size());
    FormatLogNameCandidate(whole, path, attempt);
    candidate.resize(whole.length);
    const std::string number = attempt <= 1 ? std::string() : "_" + std::to_string(attempt);
    FUZZ_CHECK(!whole.truncated);
    const size_t dot = path.rfind('.'), separator = path.find_last_of("\\/");
    const size_t at = dot == std::string::npos || (separator != std::string::npos && separator > dot) ? path.size() : dot;
    FUZZ_CHECK(candidate == path.substr(0, at) + number + path.substr(at));
    return 0;
}
