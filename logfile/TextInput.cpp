#include "TextInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#ifdef _WIN32
// From <io.h> and <fcntl.h>, which this layer does not include.
extern "C" int __cdecl _setmode(int fd, int mode);
constexpr int BinaryMode = 0x8000;
#endif

namespace {

constexpr size_t ReadChunk = 1 << 20;

// The index of the first CR or LF in text[0 .. size), or size.
size_t LineEndIn(const char* text, size_t size)
{
    const void* feed = std::memchr(text, '\n', size);
    const size_t feedAt = feed ? static_cast<size_t>(static_cast<const char*>(feed) - text) : size;
    const void* ret = std::memchr(text, '\r', feedAt);
    return ret ? static_cast<size_t>(static_cast<const char*>(ret) - text) : feedAt;
}

} // namespace

std::FILE* OpenFileForReading(const std::string& path, std::string& error)
{
    if (path == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdin), BinaryMode);
#endif
        return stdin;
    }
    std::filesystem::path name;
    try {
        name = std::filesystem::path(std::u8string(path.begin(), path.end()));
    } catch (const std::exception&) {
        error = "cannot open: the name is not valid UTF-8";
        return nullptr;
    }
    std::error_code ignored;
    if (std::filesystem::is_directory(name, ignored)) {
        error = "is a folder, not a file";
        return nullptr;
    }
#ifdef _WIN32
    std::FILE* file = _wfopen(name.c_str(), L"rb");
#else
    std::FILE* file = std::fopen(name.c_str(), "rb");
#endif
    if (!file)
        error = std::string("cannot open: ") + std::strerror(errno);
    return file;
}

bool LooksLikeUtf16(std::string_view text)
{
    if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
        return true;
    // Mostly-ASCII UTF-16 has a NUL in one byte of every pair, always the same one.
    size_t pairs = 0, nulFirst = 0, nulSecond = 0;
    for (size_t i = 0; i + 1 < text.size() && pairs < 512; i += 2, ++pairs) {
        const bool first = text[i] == '\0', second = text[i + 1] == '\0';
        nulFirst += first && !second;
        nulSecond += second && !first;
    }
    return pairs > 0 && std::max(nulFirst, nulSecond) * 4 >= pairs * 3;
}

LineSpan FirstLine(std::string_view text)
{
    const size_t length = LineEndIn(text.data(), text.size());
    if (length == text.size())
        return {length, 0};
    return {length, text[length] == '\r' && length + 1 < text.size() && text[length + 1] == '\n' ? 2u : 1u};
}

std::string_view TakeLine(std::string_view& text)
{
    const LineSpan span = FirstLine(text);
    const std::string_view line = text.substr(0, span.length);
    text.remove_prefix(span.length + span.end);
    return line;
}

TextLines::~TextLines()
{
    Close();
}

TextLines::TextLines(TextLines&& other) noexcept
{
    *this = std::move(other);
}

TextLines& TextLines::operator=(TextLines&& other) noexcept
{
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, nullptr);
        ownsFile_ = std::exchange(other.ownsFile_, false);
        buffer_ = std::move(other.buffer_);
        begin_ = other.begin_;
        end_ = other.end_;
        atEnd_ = other.atEnd_;
        sawCrLf_ = other.sawCrLf_;
        skipRest_ = other.skipRest_;
        start_ = other.start_;   // the buffer's bytes moved with it
        line_ = std::move(other.line_);
        number_ = other.number_;
        bytesRead_ = other.bytesRead_;
        fileSize_ = other.fileSize_;
        readError_ = std::move(other.readError_);
        other.start_ = {};
    }
    return *this;
}

void TextLines::Close()
{
    if (file_ && ownsFile_)
        std::fclose(file_);
    file_ = nullptr;
}

bool TextLines::Open(const std::string& path, std::string& error)
{
    Close();
    file_ = OpenFileForReading(path, error);
    if (!file_)
        return false;
    ownsFile_ = file_ != stdin;
    if (ownsFile_) {
        std::error_code failed;
        const std::filesystem::path name(std::u8string(path.begin(), path.end()));
        if (std::filesystem::is_regular_file(name, failed)) {
            const auto size = std::filesystem::file_size(name, failed);
            fileSize_ = failed ? 0 : static_cast<uint64_t>(size);
        }
    }
    buffer_.resize(ReadChunk);
    end_ = std::fread(buffer_.data(), 1, TextStartBytes, file_);
    if (end_ < TextStartBytes) {
        atEnd_ = true;
        if (std::ferror(file_)) {
            error = std::string("read error: ") + std::strerror(errno);
            return false;
        }
    }
    if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0)
        begin_ = bytesRead_ = 3;
    start_ = std::string_view(buffer_.data() + begin_, end_ - begin_);
    if (LooksLikeUtf16(start_)) {
        error = "is UTF-16 text: save it as UTF-8";
        return false;
    }
    return true;
}

bool TextLines::Refill()
{
    begin_ = end_ = 0;
    if (atEnd_ || !file_)
        return false;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (end_ < buffer_.size()) {
        atEnd_ = true;
        if (std::ferror(file_))
            readError_ = "read error after " + std::to_string(bytesRead_ + end_) + " bytes";
    }
    return end_ > 0;
}

void TextLines::Consume(size_t bytes)
{
    begin_ += bytes;
    bytesRead_ += bytes;
}

bool TextLines::ConsumeLineEnd()
{
    const bool feed = buffer_[begin_] == '\n';
    Consume(1);
    if (feed)
        return true;
    if (begin_ == end_ && !Refill())
        return !sawCrLf_;  // a CR at the end of a CR LF file: the line was cut before its LF
    if (buffer_[begin_] == '\n') {
        Consume(1);
        sawCrLf_ = true;
    }
    return true;
}

bool TextLines::Next(TextLine& line)
{
    line = TextLine{};
    line_.clear();
    std::string_view whole;
    bool inBuffer = false, any = false;
    for (;;) {
        if (begin_ == end_ && !Refill()) {
            if (!any)
                return false;
            break;  // a last line without a line end
        }
        const char* text = buffer_.data() + begin_;
        const size_t available = end_ - begin_;
        const size_t length = LineEndIn(text, available);
        const bool ends = length < available;
        if (skipRest_) {
            Consume(length);
            if (ends) {
                ConsumeLineEnd();
                skipRest_ = false;
            }
            continue;
        }
        any = true;
        const size_t room = TextLongestLine + 1 - line_.size();
        if (length >= room) {
            // Keep one byte beyond the longest line, so its length tells it was too long.
            line_.append(text, room);
            Consume(room);
            line.tooLong = true;
            skipRest_ = true;
            break;
        }
        // A line stays in the buffer unless its line end may go on in the next read.
        if (ends && line_.empty() && length + 1 < available) {
            whole = std::string_view(text, length);
            inBuffer = true;
        } else {
            line_.append(text, length);
        }
        Consume(length);
        if (ends) {
            line.ended = ConsumeLineEnd();
            break;
        }
    }
    line.text = inBuffer ? whole : std::string_view(line_);
    line.number = ++number_;
    return true;
}
