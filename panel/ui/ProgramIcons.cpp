#include "ProgramIcons.h"

#include "ResourceIds.h"

#include <initializer_list>

// Program-wide: loaded before any window exists (the window class takes two) and kept to the end.
ProgramIcons Icons{};

namespace {
HICON LoadSizedIcon(HINSTANCE instance, int id, int width, int height)
{
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}

HICON LoadScaledIcon(HINSTANCE instance, int id, DpiScale scale, int width96, int height96)
{
    return LoadSizedIcon(instance, id, Scale(scale, width96), Scale(scale, height96));
}

void LoadDrawnIcons(HINSTANCE instance, DpiScale scale)
{
    Icons.Logo = LoadScaledIcon(instance, IDI_LOGO, scale, 77, 23);
    Icons.ConfigFile = LoadScaledIcon(instance, IDI_CONFIG_FILE, scale, 20, 20);
    Icons.LogFile = LoadScaledIcon(instance, IDI_LOG_FILE, scale, 20, 20);
    Icons.Activity[ActivitySent] = LoadScaledIcon(instance, IDI_TRANSFER_SENT, scale, 16, 16);
    Icons.Activity[ActivityReceived] = LoadScaledIcon(instance, IDI_TRANSFER_RECEIVED, scale, 16, 16);
    Icons.Activity[ActivityBoth] = LoadScaledIcon(instance, IDI_TRANSFER_BOTH, scale, 16, 16);
    Icons.Activity[ActivityNone] = LoadScaledIcon(instance, IDI_TRANSFER_NONE, scale, 16, 16);
    Icons.NoticeOff = LoadScaledIcon(instance, IDI_NOTICE_OFF, scale, 16, 16);
    Icons.NoticeOn = LoadScaledIcon(instance, IDI_NOTICE_ON, scale, 16, 16);
    Icons.Scale = scale;
}

void DestroyDrawnIcons()
{
    for (HICON icon : {Icons.Logo, Icons.ConfigFile, Icons.LogFile, Icons.Activity[0], Icons.Activity[1],
                       Icons.Activity[2], Icons.Activity[3], Icons.NoticeOff, Icons.NoticeOn}) {
        if (icon)
            DestroyIcon(icon);
    }
}
} // namespace

void LoadProgramIcons(HINSTANCE instance)
{
    if (Icons.Program)
        return;
    Icons.Program = LoadSizedIcon(instance, IDI_PROGRAM, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    Icons.ProgramSmall = LoadSizedIcon(instance, IDI_PROGRAM, 16, 16);
    LoadDrawnIcons(instance, DpiScale{});
}

void LoadScaledIcons(HINSTANCE instance, DpiScale scale)
{
    if (Icons.Program && Icons.Scale == scale)
        return;
    DestroyDrawnIcons();
    LoadDrawnIcons(instance, scale);
}
