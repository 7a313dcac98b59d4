#include "GdiLedger.h"

#include <cstring>
#include <vector>

namespace {

GdiLedger* Current = nullptr;

// The import address slot of one function of one library in this program's import table.
void** ImportSlot(const char* library, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), library) != 0 || !entry->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

bool WriteSlot(void** slot, void* value)
{
    DWORD former = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &former))
        return false;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, former, &former);
    return true;
}

decltype(&CreatePen) RealCreatePen;
decltype(&ExtCreatePen) RealExtCreatePen;
decltype(&CreateSolidBrush) RealCreateSolidBrush;
decltype(&CreateFontA) RealCreateFontA;
decltype(&CreateCompatibleBitmap) RealCreateCompatibleBitmap;
decltype(&CreateCompatibleDC) RealCreateCompatibleDC;
decltype(&DeleteObject) RealDeleteObject;
decltype(&DeleteDC) RealDeleteDC;

template <typename Handle>
Handle Note(Handle made, const char* kind)
{
    if (Current && made)
        Current->Made(made, kind);
    return made;
}

HPEN WINAPI CountedCreatePen(int style, int width, COLORREF colour)
{
    return Note(RealCreatePen(style, width, colour), "pen");
}

HPEN WINAPI CountedExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD count, const DWORD* pattern)
{
    return Note(RealExtCreatePen(style, width, brush, count, pattern), "pen");
}

HBRUSH WINAPI CountedCreateSolidBrush(COLORREF colour)
{
    return Note(RealCreateSolidBrush(colour), "brush");
}

HFONT WINAPI CountedCreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                                DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                                DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR face)
{
    return Note(RealCreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                                outPrecision, clipPrecision, quality, pitchAndFamily, face),
                "font");
}

HBITMAP WINAPI CountedCreateCompatibleBitmap(HDC dc, int width, int height)
{
    return Note(RealCreateCompatibleBitmap(dc, width, height), "bitmap");
}

HDC WINAPI CountedCreateCompatibleDC(HDC dc)
{
    return Note(RealCreateCompatibleDC(dc), "memory context");
}

BOOL WINAPI CountedDeleteObject(HGDIOBJ object)
{
    BOOL done = RealDeleteObject(object);
    if (Current)
        Current->Deleted(object, done);
    return done;
}

BOOL WINAPI CountedDeleteDC(HDC dc)
{
    BOOL done = RealDeleteDC(dc);
    if (Current)
        Current->Deleted(dc, done);
    return done;
}

struct Redirect {
    const char* function;
    void* counted;
    void** real;
};

const Redirect Redirects[] = {
    {"CreatePen", reinterpret_cast<void*>(&CountedCreatePen), reinterpret_cast<void**>(&RealCreatePen)},
    {"ExtCreatePen", reinterpret_cast<void*>(&CountedExtCreatePen), reinterpret_cast<void**>(&RealExtCreatePen)},
    {"CreateSolidBrush", reinterpret_cast<void*>(&CountedCreateSolidBrush), reinterpret_cast<void**>(&RealCreateSolidBrush)},
    {"CreateFontA", reinterpret_cast<void*>(&CountedCreateFontA), reinterpret_cast<void**>(&RealCreateFontA)},
    {"CreateCompatibleBitmap", reinterpret_cast<void*>(&CountedCreateCompatibleBitmap),
     reinterpret_cast<void**>(&RealCreateCompatibleBitmap)},
    {"CreateCompatibleDC", reinterpret_cast<void*>(&CountedCreateCompatibleDC), reinterpret_cast<void**>(&RealCreateCompatibleDC)},
    {"DeleteObject", reinterpret_cast<void*>(&CountedDeleteObject), reinterpret_cast<void**>(&RealDeleteObject)},
    {"DeleteDC", reinterpret_cast<void*>(&CountedDeleteDC), reinterpret_cast<void**>(&RealDeleteDC)},
};

void RestoreImports()
{
    for (const Redirect& r : Redirects) {
        void** slot = ImportSlot("gdi32.dll", r.function);
        if (slot && *r.real && *slot == r.counted)
            WriteSlot(slot, *r.real);
    }
}

} // namespace

GdiLedger::GdiLedger()
{
    if (Current)
        return;
    std::vector<void**> slots;
    for (const Redirect& r : Redirects) {
        void** slot = ImportSlot("gdi32.dll", r.function);
        if (!slot)
            return;
        slots.push_back(slot);
    }
    Current = this;
    for (size_t i = 0; i < slots.size(); ++i) {
        *Redirects[i].real = *slots[i];
        if (!WriteSlot(slots[i], Redirects[i].counted)) {
            RestoreImports();
            Current = nullptr;
            return;
        }
    }
    open = true;
}

GdiLedger::~GdiLedger()
{
    if (!open)
        return;
    RestoreImports();
    Current = nullptr;
}

std::string GdiLedger::LiveKinds() const
{
    std::map<std::string, int> counts;
    for (const auto& [object, kind] : live)
        ++counts[kind];
    std::string text;
    for (const auto& [kind, n] : counts)
        text += (text.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
    return text.empty() ? "none" : text;
}

void GdiLedger::Made(HGDIOBJ object, const char* kind)
{
    live[object] = kind;
}

void GdiLedger::Deleted(HGDIOBJ object, BOOL done)
{
    if (!done) {
        ++refused;
        return;
    }
    if (live.erase(object) == 0)
        ++foreign;
}

DWORD ReportedGdiObjects()
{
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}
