// Drives a fuzz target where libFuzzer is not at hand: the files and folders named on the command
// line once each, then random inputs (random lengths, bytes, and bytes of earlier inputs mutated)
// until the time is up.
//   fuzz_<target> [-max_total_time=seconds] [-seed=n] [file or folder ...]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

uint64_t state = 0x9E3779B97F4A7C15ull;

uint64_t Next()
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

void RunFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-max_total_time=", 16) == 0) {
            seconds = std::atof(argv[i] + 16);
        } else if (std::strncmp(argv[i], "-seed=", 6) == 0) {
            state = std::strtoull(argv[i] + 6, nullptr, 10) | 1;
        } else if (argv[i][0] != '-') {
            const std::filesystem::path path(argv[i]);
            if (std::filesystem::is_directory(path)) {
                for (const auto& entry : std::filesystem::directory_iterator(path))
                    if (entry.is_regular_file())
                        RunFile(entry.path());
            } else if (std::filesystem::exists(path)) {
                RunFile(path);
            }
        }
    }

    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::vector<uint8_t> input;
    unsigned long runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int batch = 0; batch < 256; ++batch, ++runs) {
            if (input.empty() || Next() % 4 == 0) {
                // Mostly short inputs, now and then long ones.
                input.resize(Next() % (Next() % 8 == 0 ? 9000 : 300));
                for (uint8_t& b : input)
                    b = static_cast<uint8_t>(Next());
            } else {
                for (uint64_t flips = 1 + Next() % 8; flips > 0; --flips)
                    input[Next() % input.size()] = static_cast<uint8_t>(Next());
            }
            LLVMFuzzerTestOneInput(input.data(), input.size());
        }
    }
    std::printf("Done %lu runs in %.0f second(s)\n", runs, seconds);
    return 0;
}
