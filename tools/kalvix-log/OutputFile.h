// Where a command's text or picture goes: standard output, or a file written whole or not at all
// (FileWriter: a failed or interrupted command never leaves half a file under the name asked
// for; a device, FIFO or console is written directly). The file is opened when the OutputFile
// is made, so a command makes its outputs before its work: a folder that does not exist or
// cannot be written is told at once. Errors throw InputError.
#pragma once

#include "FileWriter.h"
#include "figure/Figure.h"

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
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    bool toStandardOutput_ = false;
    FileWriter file_;
};

// The figure as a PNG or SVG, by the output's name, written whole and committed.
void WriteFigureTo(OutputFile& output, const Figure& figure);
