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

std::filesystem::path AtomicFile::TemporaryPath(const std::string& path)
{
    std::filesystem::path temporary = PathFromUtf8(path);
    temporary += ".partial";
    return temporary;
}

AtomicFile::~AtomicFile()
{
    if (!open_)
        return;
    file_.close();
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

bool AtomicFile::Open(const std::string& path, std::string& reason)
{
    target_ = PathFromUtf8(path);
    temporary_ = TemporaryPath(path);
    errno = 0;
    file_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!file_) {
        reason = SystemReason();
        return false;
    }
    open_ = true;
    return true;
}

bool AtomicFile::Write(std::string_view bytes, std::string& reason)
{
    errno = 0;
    if (!file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        writeFailed_ = true;
        reason = SystemReason();
        return false;
    }
    return true;
}

bool AtomicFile::Commit(std::string& reason)
{
    errno = 0;
    file_.flush();
    file_.close();
    if (!file_) {
        writeFailed_ = true;
        reason = SystemReason();
        return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) {
        reason = error.message();
        return false;
    }
    open_ = false;
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
