// A file written whole or not at all: the bytes go to "NAME.partial" beside it, which Commit()
// renames into place; a file that is never committed (an error, an exception, an interrupted
// command) is removed again, so the name asked for never holds half a file. Paths are UTF-8.
// The program's front opens its outputs itself (FileWriter: devices written in place, links
// followed, the system's own calls) and hands them over with Take().
#pragma once

#include <cstdio>
#include <filesystem>
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

    // `file`, open for writing on `written`, to be renamed onto `target` by Commit(); with an
    // empty `target` the file is written in place and Commit() only closes it.
    void Take(std::FILE* file, const std::filesystem::path& written, const std::filesystem::path& target);
    // Closes the file and removes it, unless it was written in place or is committed already.
    void Abandon();

    // "NAME.partial" for the file NAME.
    static std::filesystem::path TemporaryPath(const std::filesystem::path& target);

private:
    std::filesystem::path written_, target_;
    std::FILE* file_ = nullptr;
    bool writeFailed_ = false;
};

// `bytes` as the whole of the file at `path`; false with `error` saying why ("cannot write ...").
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);
