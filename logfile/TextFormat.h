// Bounded text building over {fmt}: a TextSink is a caller's buffer that Print fills with
// formatted text. Numbers never depend on the C locale ('.' is always the decimal point; the
// locale-dependent 'L' specifier is never used). Every write is cut at the limit the way a bounded
// printf cuts (the text stays terminated), and the sink remembers that it was cut.
#pragma once

#include <fmt/format.h>

#include <cstddef>
#include <cstdint>

struct TextSink {
    char* buffer;
    size_t limit;     // room including the terminator
    size_t length;    // characters stored, terminator excluded
    bool truncated;   // something did not fit
};

// A sink over buffer[0 .. limit-1]; the buffer is terminated at once (when limit > 0).
TextSink MakeTextSink(char* buffer, size_t limit);

// Appends the formatted text (format_to_n with `format`, checked when compiled), cut at the limit.
// A floating-point field with a width names its alignment ("{:>12.2f}"): {fmt} 9 puts the blanks
// of "nan" and "inf" after them unless told, where printf puts them before. The arguments are
// taken by const reference, so a field of a packed record (SpectrumRecord) binds to a copy.
void PrintArgs(TextSink& sink, fmt::string_view format, fmt::format_args args);
template <typename... Args>
void Print(TextSink& sink, fmt::format_string<Args...> format, const Args&... args)
{
    PrintArgs(sink, format, fmt::make_format_args(args...));
}

// The length of text in a buffer of `size` characters that may lack a terminator.
size_t BoundedLength(const char* text, size_t size);
