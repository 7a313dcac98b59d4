#include "RandomToken.h"

#include <array>
#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#endif

namespace {

bool RandomBytes(unsigned char* bytes, size_t count, std::string& error)
{
#ifdef _WIN32
    const NTSTATUS status = BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
        error = "the system's random source failed";
        return false;
    }
    return true;
#else
    std::FILE* source = std::fopen("/dev/urandom", "rb");
    const bool read = source && std::fread(bytes, 1, count, source) == count;
    if (source)
        std::fclose(source);
    if (!read)
        error = "cannot read /dev/urandom";
    return read;
#endif
}

} // namespace

bool MakeRandomToken(std::string& token, std::string& error)
{
    std::array<unsigned char, 32> bytes{};
    if (!RandomBytes(bytes.data(), bytes.size(), error))
        return false;
    static const char digits[] = "0123456789abcdef";
    token.clear();
    for (unsigned char byte : bytes) {
        token += digits[byte >> 4];
        token += digits[byte & 15];
    }
    return true;
}
