// Scratch folders and whole-file reads and writes, for test programs that check files.
#pragma once

#include <string>
#include <vector>

// A fresh folder under the temporary folder, removed with its files at destruction.
struct ScratchFolder {
    std::string path; // ends with a backslash
    ScratchFolder();
    ~ScratchFolder();
    std::string File(const std::string& name) const { return path + name; }
};

void WriteBytes(const std::string& fileName, const std::string& bytes);
std::string ReadBytes(const std::string& fileName); // whole file, opened shared for reading and writing
bool FileExists(const std::string& fileName);
std::vector<std::string> FolderEntries(const std::string& folder);
// The folder of the running test program, with a trailing backslash.
std::string TestFolder();

// printf-style formatting in the C locale, as an independent reference for the locale-free
// formatter under test.
std::string Printf(const char* format, ...);
