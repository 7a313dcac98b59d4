// Reading a stretch of an open file at a 64-bit offset, and the file's size as seen through the
// open handle, for files that grow while they are read and may be larger than 4 GiB.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The size of the open file (its end offset); false when it cannot be told.
bool OpenFileSize(std::FILE* file, uint64_t& size);
// Up to `count` bytes from `offset` into `into` (which holds them, resized to what was read);
// false with `error` when the seek or the read fails.
bool ReadFileBytes(std::FILE* file, uint64_t offset, size_t count, std::string& into, std::string& error);

// Closes the file when it goes out of scope.
struct FileCloser {
    std::FILE* file;
    ~FileCloser()
    {
        if (file)
            std::fclose(file);
    }
};
