#include "FileBytes.h"

#include <cerrno>
#include <cstring>

namespace {

bool SeekTo(std::FILE* file, uint64_t offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), origin) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
#endif
}

} // namespace

bool OpenFileSize(std::FILE* file, uint64_t& size)
{
    if (!SeekTo(file, 0, SEEK_END))
        return false;
#ifdef _WIN32
    const long long end = _ftelli64(file);
#else
    const long long end = ftello(file);
#endif
    if (end < 0)
        return false;
    size = static_cast<uint64_t>(end);
    return true;
}

bool ReadFileBytes(std::FILE* file, uint64_t offset, size_t count, std::string& into, std::string& error)
{
    into.resize(count);
    if (!SeekTo(file, offset, SEEK_SET)) {
        error = "cannot seek to byte " + std::to_string(offset) + ": " + std::strerror(errno);
        into.clear();
        return false;
    }
    const size_t got = count ? std::fread(into.data(), 1, count, file) : 0;
    into.resize(got);
    if (got < count && std::ferror(file)) {
        error = "read error at byte " + std::to_string(offset + got) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
