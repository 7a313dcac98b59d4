// Where a command's text goes: standard output, or a file written whole or not at all (AtomicFile:
// a failed or interrupted command never leaves half a file under the name asked for). Write
// errors (a full disk) throw InputError.
#pragma once

#include "data/AtomicFile.h"

#include <string>
#include <string_view>

class OutputFile {
public:
    // "-" or empty: standard output.
    explicit OutputFile(const std::string& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::string_view text);
    // Writes `text` once it has grown past a block, then empties it.
    void WriteWhenFull(std::string& text);
    void Commit();

private:
    std::string path_;
    bool toStandardOutput_ = false;
    AtomicFile file_;
};
