#include "AtomicFile.h"

#include "PathText.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace {

std::string SystemReason()
{
    return errno ? std::strerror(errno) : "input/output error";
}

} // namespace

std::filesystem::path AtomicFile::TemporaryPath(const std::filesystem::path& target)
{
    std::filesystem::path temporary = target;
    temporary += ".partial";
    return temporary;
}

AtomicFile::~AtomicFile()
{
    Abandon();
}

void AtomicFile::Abandon()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    if (!target_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(written_, ignored);
    }
    target_.clear();
}

void AtomicFile::Take(std::FILE* file, const std::filesystem::path& written, const std::filesystem::path& target)
{
    Abandon();
    file_ = file;
    written_ = written;
    target_ = target;
    writeFailed_ = false;
}

bool AtomicFile::Open(const std::string& path, std::string& reason)
{
    const std::filesystem::path target = PathFromUtf8(path);
    const std::filesystem::path temporary = TemporaryPath(target);
    errno = 0;
#ifdef _WIN32
    std::FILE* file = _wfopen(temporary.c_str(), L"wb");
#else
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
#endif
    if (!file) {
        reason = SystemReason();
        return false;
    }
    Take(file, temporary, target);
    return true;
}

bool AtomicFile::Write(std::string_view bytes, std::string& reason)
{
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        writeFailed_ = true;
        reason = SystemReason();
        return false;
    }
    return true;
}

bool AtomicFile::Commit(std::string& reason)
{
    errno = 0;
    const bool flushed = std::fflush(file_) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed) {
        writeFailed_ = true;
        if (!flushed)
            errno = flushError;
        reason = SystemReason();
        Abandon();
        return false;
    }
    if (target_.empty())
        return true;
    std::error_code error;
    std::filesystem::rename(written_, target_, error);
    if (error) {
        reason = error.message();
        Abandon();
        return false;
    }
    target_.clear();
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error)
{
    AtomicFile file;
    std::string reason;
    if (!file.Open(path, reason)) {
        error = "cannot write " + path + ": " + reason;
        return false;
    }
    if (!file.Write(bytes, reason) || !file.Commit(reason)) {
        error = "cannot write " + path + (file.WriteFailed() ? " (disk full?)" : ": " + reason);
        return false;
    }
    return true;
}
