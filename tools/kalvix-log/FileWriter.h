// An output file as the program opens it: a regular file (or a new name) written whole or not at
// all (AtomicFile: "NAME.partial" beside it, renamed into place, registered with TemporaryFiles
// so that an interrupt removes it too); what cannot be replaced (a device, a FIFO, a console:
// OutputTarget.h) written directly; a symbolic link's target replaced, the link left a link.
// Paths are UTF-8, opened through the system's own calls (the wide API on Windows).
#pragma once

#include "data/AtomicFile.h"

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
    bool WriteFailed() const { return file_.WriteFailed(); }

private:
    void Abandon();

    AtomicFile file_;
    int temporaryHandle_ = -1;   // TemporaryFiles.h
};
