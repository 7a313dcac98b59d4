// Where the bytes written to an output path go. A regular file, or a name that does not exist
// yet, is replaced whole: written under a temporary name beside it and renamed into place. A
// device (/dev/null, NUL, CON), a FIFO, a pipe or a console cannot be replaced and is written
// directly, as is a link to one of this process's open files (/dev/stdout, /dev/fd/N). A symbolic
// link is followed to the file it leads to, which is replaced, so the link stays a link.
#pragma once

#include <filesystem>
#include <string>

enum class OutputWay { Replace, Direct };

struct OutputTarget {
    std::filesystem::path path;   // the file written: the path given, or where its links lead
    OutputWay way = OutputWay::Replace;
};

// False with `reason` when the path is a folder or its links go round in a loop.
bool FindOutputTarget(const std::string& path, OutputTarget& target, std::string& reason);
