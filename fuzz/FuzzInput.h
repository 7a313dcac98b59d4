// Typed values taken off the front of a fuzz input, and the check every target reports with.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// A property of the code under test that does not hold: the input is reported as a finding.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);    \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

// Once the input is used up, everything reads as zero.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t Left() const { return size_; }

    template <typename T>
    T Take()
    {
        T value{};
        const size_t n = std::min(sizeof(T), size_);
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }

    // 0 .. bound - 1 (0 when bound is 0).
    uint32_t Below(uint32_t bound) { return bound ? Take<uint32_t>() % bound : 0; }

    // Up to `n` bytes as text; the rest of the input when n is larger.
    std::string Text(size_t n)
    {
        n = std::min(n, size_);
        std::string text(reinterpret_cast<const char*>(data_), n);
        data_ += n;
        size_ -= n;
        return text;
    }

    std::string Rest() { return Text(size_); }

private:
    const uint8_t* data_;
    size_t size_;
};

// A copy of `n` bytes on the heap with nothing around it, so that AddressSanitizer reports a
// read or write one byte past them.
inline std::unique_ptr<uint8_t[]> ExactCopy(const void* bytes, size_t n)
{
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n ? n : 1]);
    if (n)
        std::memcpy(copy.get(), bytes, n);
    return copy;
}
