#include "FileWriter.h"

#include "data/PathText.h"
#include "OutputTarget.h"
#include "TemporaryFiles.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string SystemReason()
{
    return errno ? std::strerror(errno) : "input/output error";
}

#ifdef _WIN32
std::FILE* StreamOf(HANDLE handle, std::string& reason)
{
    if (handle == INVALID_HANDLE_VALUE) {
        reason = std::system_category().message(static_cast<int>(GetLastError()));
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        reason = SystemReason();
        return nullptr;
    }
    std::FILE* stream = _fdopen(descriptor, "wb");
    if (!stream) {
        reason = SystemReason();
        _close(descriptor);
    }
    return stream;
}

// Shared for deletion, so that an interrupt can remove it while it is open.
std::FILE* CreateTemporary(const std::filesystem::path& path, const std::filesystem::path&, std::string& reason)
{
    return StreamOf(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr),
                    reason);
}

std::FILE* OpenDirect(const std::filesystem::path& path, std::string& reason)
{
    return StreamOf(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr),
                    reason);
}
#else
std::FILE* StreamOf(int descriptor, std::string& reason)
{
    if (descriptor < 0) {
        reason = SystemReason();
        return nullptr;
    }
    std::FILE* stream = fdopen(descriptor, "wb");
    if (!stream) {
        reason = SystemReason();
        close(descriptor);
    }
    return stream;
}

// Never through a link left under the temporary name; with the permissions of the file it
// replaces, when there is one.
std::FILE* CreateTemporary(const std::filesystem::path& path, const std::filesystem::path& target, std::string& reason)
{
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    struct stat replaced {};
    if (descriptor >= 0 && stat(target.c_str(), &replaced) == 0)
        fchmod(descriptor, replaced.st_mode & 07777);
    return StreamOf(descriptor, reason);
}

// Appending: a file behind /dev/stdout keeps what the shell's ">>" kept; a device does not mind.
std::FILE* OpenDirect(const std::filesystem::path& path, std::string& reason)
{
    return StreamOf(open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC), reason);
}
#endif

} // namespace

FileWriter::~FileWriter()
{
    Abandon();
}

void FileWriter::Abandon()
{
    file_.Abandon();
    ForgetTemporaryFile(temporaryHandle_);
    temporaryHandle_ = -1;
}

bool FileWriter::Open(const std::string& path, std::string& reason)
{
    Abandon();
    OutputTarget target;
    if (!FindOutputTarget(path, target, reason))
        return false;
    errno = 0;
    if (target.way == OutputWay::Direct) {
        std::FILE* stream = OpenDirect(target.path, reason);
        if (stream)
            file_.Take(stream, target.path, {});
        return stream != nullptr;
    }
    const std::filesystem::path temporary = AtomicFile::TemporaryPath(target.path);
    // Registered before it exists: an interrupt at any moment from here on removes it.
    temporaryHandle_ = RegisterTemporaryFile(temporary);
    std::FILE* stream = CreateTemporary(temporary, target.path, reason);
    if (!stream) {
        Abandon();
        return false;
    }
    file_.Take(stream, temporary, target.path);
    return true;
}

bool FileWriter::Write(std::string_view bytes, std::string& reason)
{
    return file_.Write(bytes, reason);
}

bool FileWriter::Commit(std::string& reason)
{
    const bool committed = file_.Commit(reason);
    ForgetTemporaryFile(temporaryHandle_);
    temporaryHandle_ = -1;
    return committed;
}
