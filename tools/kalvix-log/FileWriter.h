// An output file written whole or not at all: the bytes go to "NAME.partial" beside it, which Commit()
// renames into place; a file that is never committed (an error, an exception, an interrupted
// command) is removed again, so the name asked for never holds half a file. What cannot be
// replaced (a device, a FIFO, a console: OutputTarget.h) is written directly instead, and a
// symbolic link has the file it leads to replaced. Paths are UTF-8.
#pragma once

#include "OutputTarget.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

class FileWriter {
public:
    FileWriter() = default;
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Each returns false with `reason` set to what the system said.
    bool Open(const std::string& path, std::string& reason);
    bool Write(std::string_view bytes, std::string& reason);
    // Flushes, closes and renames into place.
    bool Commit(std::string& reason);
    // Writing, flushing or closing failed (a full disk), as opposed to opening or the rename.
    bool WriteFailed() const { return writeFailed_; }

    // "NAME.partial" for the file NAME.
    static std::filesystem::path TemporaryPath(const std::filesystem::path& target);

private:
    // Closes the file and removes the temporary one, when there is one not yet renamed.
    void Discard();

    OutputTarget target_;
    std::filesystem::path written_;   // the temporary file, or the target written directly
    std::FILE* file_ = nullptr;
    int temporaryHandle_ = -1;        // TemporaryFiles.h
    bool temporaryPending_ = false;   // written_ is a temporary file not yet renamed into place
    bool writeFailed_ = false;
};
