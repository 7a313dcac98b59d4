// Owners of GDI resources: each frees what it holds when it goes out of scope, in the order GDI
// needs (an object is put out of a device context before the context or the object is deleted).
// All of them can be moved, none copied; a moved-from owner holds nothing. Header only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

// A GDI object made by the caller (pen, brush, font, bitmap), deleted with its owner.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : held(handle) {}
    ~GdiObject() { Reset(); }

    GdiObject(GdiObject&& other) noexcept : held(std::exchange(other.held, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            Reset();
            held = std::exchange(other.held, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return held; }
    explicit operator bool() const { return held != nullptr; }

    // Deletes the object now; the owner is empty afterwards.
    void Reset()
    {
        if (held)
            DeleteObject(held);
        held = nullptr;
    }

private:
    Handle held = nullptr;
};

using OwnedPen = GdiObject<HPEN>;
using OwnedBrush = GdiObject<HBRUSH>;
using OwnedFont = GdiObject<HFONT>;
using OwnedBitmap = GdiObject<HBITMAP>;

// A font of the given cell height (negative: character height) and face, in the default width,
// weight and quality. The drawn widgets use DEFAULT_CHARSET; controls that get their font by
// WM_SETFONT use ANSI_CHARSET (every other parameter zero).
inline OwnedFont MakeOwnedFont(int32_t height, const char* face, BYTE charSet)
{
    return OwnedFont(CreateFontA(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, charSet, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face));
}

// An object selected into a device context for the owner's scope; the object the context held
// before is selected again when the owner goes. Declare it after the owner of the object, so
// the object is put out of the context before it is deleted. Selecting a null object selects
// nothing and puts nothing back.
class ScopedSelection {
public:
    ScopedSelection() = default;
    ScopedSelection(HDC dc, HGDIOBJ object) : dc(dc), former(SelectObject(dc, object)) {}
    ~ScopedSelection() { Restore(); }

    ScopedSelection(ScopedSelection&& other) noexcept
        : dc(std::exchange(other.dc, nullptr)), former(std::exchange(other.former, nullptr))
    {
    }
    ScopedSelection& operator=(ScopedSelection&& other) noexcept
    {
        if (this != &other) {
            Restore();
            dc = std::exchange(other.dc, nullptr);
            former = std::exchange(other.former, nullptr);
        }
        return *this;
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

    // Puts the former object back now; nothing happens at the end of the scope afterwards.
    void Restore()
    {
        if (dc && former)
            SelectObject(dc, former);
        dc = nullptr;
        former = nullptr;
    }

private:
    HDC dc = nullptr;
    HGDIOBJ former = nullptr;
};

// An off-screen drawing surface: a memory device context compatible with a window's screen,
// with a bitmap of its own selected. It may also keep one font selected for its whole life.
// Released in this order: the former font and bitmap put back, the context deleted, then the
// bitmap and the font deleted.
class OffscreenSurface {
public:
    OffscreenSurface() = default;

    // A width x height surface compatible with the screen of the window (the whole screen's
    // when the window is null). Empty when either size is not positive or the system cannot
    // make the context or the bitmap.
    OffscreenSurface(HWND compatibleWith, int32_t width, int32_t height)
    {
        if (width <= 0 || height <= 0)
            return;
        HDC screen = GetDC(compatibleWith);
        if (!screen)
            return;
        HDC made = CreateCompatibleDC(screen);
        HBITMAP picture = made ? CreateCompatibleBitmap(screen, width, height) : nullptr;
        ReleaseDC(compatibleWith, screen);
        if (!picture) {
            if (made)
                DeleteDC(made);
            return;
        }
        dc = made;
        bitmap = picture;
        formerBitmap = SelectObject(dc, bitmap);
    }

    ~OffscreenSurface() { Reset(); }

    OffscreenSurface(OffscreenSurface&& other) noexcept { Take(other); }
    OffscreenSurface& operator=(OffscreenSurface&& other) noexcept
    {
        if (this != &other) {
            Reset();
            Take(other);
        }
        return *this;
    }
    OffscreenSurface(const OffscreenSurface&) = delete;
    OffscreenSurface& operator=(const OffscreenSurface&) = delete;

    HDC Dc() const { return dc; }
    HBITMAP Bitmap() const { return bitmap; }
    HFONT KeptFont() const { return keptFont.Get(); }
    explicit operator bool() const { return dc != nullptr; }

    // Selects the font for the rest of the surface's life and takes it over; it is deleted
    // after the context. Nothing is kept (the font is deleted at once) when the surface is
    // empty, the font null or its selection fails. A second font takes the first one's place,
    // and the first one is deleted.
    void KeepFontSelected(OwnedFont font)
    {
        if (!dc || !font)
            return;
        HGDIOBJ former = SelectObject(dc, font.Get());
        if (!former)
            return;
        if (!keptFont)
            formerFont = former;
        keptFont = std::move(font);
    }

    // Frees everything now; the surface is empty afterwards.
    void Reset()
    {
        if (dc) {
            if (formerFont)
                SelectObject(dc, formerFont);
            if (formerBitmap)
                SelectObject(dc, formerBitmap);
            DeleteDC(dc);
        }
        if (bitmap)
            DeleteObject(bitmap);
        keptFont.Reset();
        dc = nullptr;
        bitmap = nullptr;
        formerBitmap = nullptr;
        formerFont = nullptr;
    }

private:
    void Take(OffscreenSurface& other)
    {
        dc = std::exchange(other.dc, nullptr);
        bitmap = std::exchange(other.bitmap, nullptr);
        formerBitmap = std::exchange(other.formerBitmap, nullptr);
        keptFont = std::move(other.keptFont);
        formerFont = std::exchange(other.formerFont, nullptr);
    }

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ formerBitmap = nullptr; // what the context held before, put back on release
    OwnedFont keptFont;
    HGDIOBJ formerFont = nullptr;
};
