// A file written whole or not at all: the bytes go to "NAME.partial" beside it, which Commit()
// renames into place; a file that is never committed (an error, an exception, an interrupted
// command) is removed again, so the name asked for never holds half a file. Paths are UTF-8.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Each returns false with `reason` set to what the system said.
    bool Open(const std::string& path, std::string& reason);
    bool Write(std::string_view bytes, std::string& reason);
    // Flushes, closes and renames into place.
    bool Commit(std::string& reason);
    // Writing, flushing or closing failed (a full disk), as opposed to opening or the rename.
    bool WriteFailed() const { return writeFailed_; }

    static std::filesystem::path TemporaryPath(const std::string& path);

private:
    std::filesystem::path target_, temporary_;
    std::ofstream file_;
    bool open_ = false;
    bool writeFailed_ = false;
};

// `bytes` as the whole of the file at `path`; false with `error` saying why ("cannot write ...").
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);
