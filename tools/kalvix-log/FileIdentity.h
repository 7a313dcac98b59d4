// Which file a path names, told apart by what the system knows it by rather than by its name:
// a hard link, "./in.txt", "IN.TXT" on Windows or a symbolic link all name the same file as
// "in.txt". Paths are UTF-8; symbolic links are followed.
#pragma once

#include <cstdint>
#include <string>

struct FileIdentity {
    uint64_t volume = 0;   // st_dev; the volume's serial number on Windows
    uint64_t file = 0;     // st_ino; the file index on Windows
};

bool operator==(const FileIdentity& a, const FileIdentity& b);

// The identity of the regular file at `path`; false when there is none there (no such file, a
// folder, a device, a pipe, "-").
bool ReadFileIdentity(const std::string& path, FileIdentity& identity);

// Both paths name one existing regular file.
bool IsSameFile(const std::string& a, const std::string& b);
