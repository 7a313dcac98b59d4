#include "OutputFile.h"

#include "CommandLine.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {
constexpr size_t BlockSize = 1 << 20;
}

OutputFile::OutputFile(const std::string& path) : path_(path)
{
    if (path.empty() || path == "-") {
        file_ = stdout;
#ifdef _WIN32
        // The text carries its own CR LF line ends; text mode would double the CR.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        return;
    }
    temporary_ = path + ".partial";
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (!file_)
        throw InputError(path + ": cannot write: " + std::strerror(errno));
}

OutputFile::~OutputFile()
{
    if (committed_ || file_ == stdout)
        return;
    if (file_)
        std::fclose(file_);
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
}

void OutputFile::Write(std::string_view text)
{
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size())
        throw InputError((file_ == stdout ? std::string("standard output") : path_) +
                         ": write failed: " + std::strerror(errno));
}

void OutputFile::WriteWhenFull(std::string& text)
{
    if (text.size() < BlockSize)
        return;
    Write(text);
    text.clear();
}

void OutputFile::Commit()
{
    if (std::fflush(file_) != 0)
        throw InputError(path_ + ": write failed: " + std::strerror(errno));
    if (file_ == stdout)
        return;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0)
        throw InputError(path_ + ": write failed: " + std::strerror(errno));
    std::error_code error;
    std::filesystem::rename(temporary_, path_, error);
    if (error)
        throw InputError(path_ + ": cannot put the file in place: " + error.message());
    committed_ = true;
}
