#include "ClipboardExport.h"

#include "ClipboardText.h"
#include "GlobalCtrl.h"

int32_t CopyImpedanceToClipboard(GlobalCtrl* ctrl, const SpectrumRecord* records)
{
    if (!records)
        return -1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, ImpedanceTextSize);
    if (!block)
        return -1;
    char* text = static_cast<char*>(GlobalLock(block));
    if (!text) {
        GlobalFree(block);
        return -1;
    }
    FormatImpedanceText(text, ImpedanceTextSize, ctrl->Frequencies, records[0]);
    GlobalUnlock(block);

    // Another program may hold the clipboard for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !opened; ++attempt) {
        opened = OpenClipboard(nullptr) != FALSE;
        if (!opened)
            Sleep(10);
    }
    if (!opened) {
        GlobalFree(block);
        return -2;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block)) {
        CloseClipboard();
        GlobalFree(block);
        return -2;
    }
    // The clipboard owns the block from here on.
    CloseClipboard();
    return 0;
}
