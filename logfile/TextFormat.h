// Bounded text building that never depends on the C locale: numbers always get '.' as their
// decimal point, whatever locale the process runs in. Every write is cut at the limit the way a
// bounded printf cuts (the text stays terminated), and the sink remembers that it was cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct TextSink {
    char* buffer;
    size_t limit;     // room including the terminator
    size_t length;    // characters stored, terminator excluded
    bool truncated;   // something did not fit
};

// A sink over buffer[0 .. limit-1]; the buffer is terminated at once (when limit > 0).
TextSink MakeTextSink(char* buffer, size_t limit);

void PutText(TextSink& sink, std::string_view text);
// Text padded with blanks on the right to at least `width` characters.
void PutTextPadded(TextSink& sink, std::string_view text, int width);
// "%*d" / "%0*d" / "%-d": right-aligned in width, padded with blanks or (zeroPad) zeros.
void PutInt(TextSink& sink, int64_t value, int width = 0, bool zeroPad = false);
// "%-*d": left-aligned in width, padded with blanks on the right.
void PutIntLeft(TextSink& sink, int64_t value, int width);
// "%0*X": upper-case hexadecimal, zero-padded to width.
void PutHex(TextSink& sink, uint64_t value, int width);
// "%*.*f": fixed notation with `precision` decimals, right-aligned in width.
void PutFixed(TextSink& sink, double value, int width, int precision);

// The length of text in a buffer of `size` characters that may lack a terminator.
size_t BoundedLength(const char* text, size_t size);
