// Text files read line by line, opened by their UTF-8 names ("-" is standard input; a pipe works
// too). The first bytes are read once into memory, so the kind of a file can be judged from them
// and reading goes on from the same bytes: nothing is read twice, rewound or reopened.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

constexpr size_t TextStartBytes = 64 * 1024;    // what the kind of a file is judged from
constexpr size_t TextLongestLine = 64 * 1024;   // far above any line the panel or a CSV writes

// Opens the file of this UTF-8 name for reading, in binary mode (on Windows through the wide API,
// so a name in any script opens); "-" is standard input (set to binary mode on Windows).
// nullptr with `error` ("cannot open: No such file or directory", "is a folder, not a file").
std::FILE* OpenFileForReading(const std::string& path, std::string& error);

// True when text starts with a UTF-16 byte-order mark or has the NUL bytes of UTF-16 (one byte of
// every pair of mostly ASCII text).
bool LooksLikeUtf16(std::string_view text);

// The first line of `text`: its length and the length of its line end (LF, CR LF or CR; 0 for a
// last line without one).
struct LineSpan {
    size_t length;
    size_t end;
};
LineSpan FirstLine(std::string_view text);

// The first line of `text` without its line end, taken off the front of `text` with that end.
std::string_view TakeLine(std::string_view& text);

struct TextLine {
    std::string_view text;   // without its line end; valid until the next Next()
    uint64_t number = 0;     // 1-based
    bool ended = false;      // it had a line end (the last line of a file may not)
    bool tooLong = false;    // longer than TextLongestLine: `text` holds its first
                             // TextLongestLine + 1 bytes, the rest is skipped
};

// An opened text file and its lines: LF, CR LF and CR alone end a line, and a UTF-8 byte-order
// mark at the start is skipped. A CR as the last byte of a file whose lines end with CR LF ends no
// line: the file was cut before its LF. Memory is one read chunk and one line, whatever the file.
class TextLines {
public:
    TextLines() = default;
    ~TextLines();
    TextLines(TextLines&& other) noexcept;
    TextLines& operator=(TextLines&& other) noexcept;
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    // Opens the file and reads its first TextStartBytes. False with `error` (as OpenFileForReading
    // gives it, "read error: ...", or "is UTF-16 text: save it as UTF-8").
    bool Open(const std::string& path, std::string& error);
    // The first bytes of the file (after a byte-order mark); valid until the first Next().
    std::string_view Start() const { return start_; }

    // The next line; false at the end of the file, or after a read error (ReadError() tells it).
    bool Next(TextLine& line);

    uint64_t BytesRead() const { return bytesRead_; }
    uint64_t FileSize() const { return fileSize_; }   // 0 for a pipe or standard input
    const std::string& ReadError() const { return readError_; }

private:
    bool Refill();
    void Close();
    void Consume(size_t bytes);
    // Past the CR, LF or CR LF at begin_; false for a CR that ends a CR LF file (its LF cut off).
    bool ConsumeLineEnd();

    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;   // false for standard input
    std::vector<char> buffer_;
    size_t begin_ = 0, end_ = 0;   // unread bytes of buffer_
    bool atEnd_ = false;
    bool sawCrLf_ = false;    // lines end with CR LF
    bool skipRest_ = false;   // the last line was too long: its rest is skipped
    std::string_view start_;
    std::string line_;
    uint64_t number_ = 0, bytesRead_ = 0, fileSize_ = 0;
    std::string readError_;
};
