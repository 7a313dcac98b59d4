#include "OutputFile.h"

#include "CommandLine.h"
#include "figure/FigureFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

constexpr size_t BlockSize = 1 << 20;

// Told here, with the system's reason; the error mark is cleared so that the program's last check
// of standard output does not tell it again.
InputError StandardOutputFailed()
{
    const int error = errno;
    std::clearerr(stdout);
    return InputError(std::string("standard output: write failed: ") +
                      (error ? std::strerror(error) : "input/output error"));
}

} // namespace

OutputFile::OutputFile(const std::string& path) : path_(path)
{
    if (path.empty() || path == "-") {
        toStandardOutput_ = true;
#ifdef _WIN32
        // The text carries its own CR LF line ends; text mode would double the CR.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        return;
    }
    std::string reason;
    if (!file_.Open(path, reason))
        throw InputError(path + ": cannot write: " + reason);
}

void OutputFile::Write(std::string_view text)
{
    if (toStandardOutput_) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
            throw StandardOutputFailed();
        return;
    }
    std::string reason;
    if (!file_.Write(text, reason))
        throw InputError(path_ + ": write failed: " + reason);
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
    if (toStandardOutput_) {
        if (std::fflush(stdout) != 0)
            throw StandardOutputFailed();
        return;
    }
    std::string reason;
    if (!file_.Commit(reason))
        throw InputError(path_ + (file_.WriteFailed() ? ": write failed: " : ": cannot put the file in place: ") + reason);
}

void WriteFigureTo(OutputFile& output, const Figure& figure)
{
    std::string bytes, error;
    if (!RenderFigure(figure, PictureFormatOf(output.Path()), bytes, error))
        throw InputError(output.Path() + ": " + error);
    output.Write(bytes);
    output.Commit();
}
