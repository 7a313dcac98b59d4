// Which GDI objects and memory contexts this test program makes and deletes while a ledger is
// open. The program's own imports of the gdi32 calls that make and delete them are sent through
// counters for the ledger's life (the widget code is linked into this program, so its calls are
// counted; calls made inside the system's own libraries are not). One ledger at a time.
#pragma once

#include <windows.h>

#include <cstddef>
#include <map>
#include <string>

class GdiLedger {
public:
    GdiLedger();
    ~GdiLedger();
    GdiLedger(const GdiLedger&) = delete;
    GdiLedger& operator=(const GdiLedger&) = delete;

    // False when an import could not be redirected; the ledger then counts nothing.
    bool Open() const { return open; }

    // Objects and contexts made while the ledger is open and not deleted since.
    size_t Live() const { return live.size(); }
    // The kinds of the live ones, e.g. "2 pen, 1 font", for failure messages.
    std::string LiveKinds() const;
    // Deletions of handles the ledger did not see made, and deletions the system refused.
    int ForeignDeletions() const { return foreign; }
    int RefusedDeletions() const { return refused; }

    // Called by the redirected imports.
    void Made(HGDIOBJ object, const char* kind);
    void Deleted(HGDIOBJ object, BOOL done);

private:
    bool open = false;
    std::map<HGDIOBJ, const char*> live;
    int foreign = 0;
    int refused = 0;
};

// The GDI object count the system reports for this process, or 0 where it reports none
// (Wine does not count them).
DWORD ReportedGdiObjects();
