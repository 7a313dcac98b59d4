// A command's outputs checked against its inputs before any work: an output that is one of the
// input files (by the file itself, not its name: a hard link, "./in.txt", another case on Windows,
// a symbolic link) would destroy what is read, and two outputs on one file would lose one.
#pragma once

#include <string>
#include <vector>

// A file named on the command line, with what names it ("-o", "--plot", "the recording").
struct NamedFile {
    std::string role;
    std::string path;
};

// UsageError naming both when an output is an input or another output.
void RefuseOverlappingFiles(const std::vector<NamedFile>& inputs, const std::vector<NamedFile>& outputs);
