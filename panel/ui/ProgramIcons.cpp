#include "ProgramIcons.h"

#include "ResourceIds.h"

// Program-wide: loaded before any window exists (the window class takes two) and kept to the end.
ProgramIcons Icons{};

namespace {
HICON LoadSizedIcon(HINSTANCE instance, int id, int width, int height)
{
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, width, height, LR_DEFAULTCOLOR));
}
} // namespace

void LoadProgramIcons(HINSTANCE instance)
{
    if (Icons.Program)
        return;
    Icons.Program = LoadSizedIcon(instance, IDI_PROGRAM, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    Icons.ProgramSmall = LoadSizedIcon(instance, IDI_PROGRAM, 16, 16);
    Icons.Logo = LoadSizedIcon(instance, IDI_LOGO, 77, 23);
    Icons.ConfigFile = LoadSizedIcon(instance, IDI_CONFIG_FILE, 20, 20);
    Icons.LogFile = LoadSizedIcon(instance, IDI_LOG_FILE, 20, 20);
    Icons.Activity[ActivitySent] = LoadSizedIcon(instance, IDI_TRANSFER_SENT, 16, 16);
    Icons.Activity[ActivityReceived] = LoadSizedIcon(instance, IDI_TRANSFER_RECEIVED, 16, 16);
    Icons.Activity[ActivityBoth] = LoadSizedIcon(instance, IDI_TRANSFER_BOTH, 16, 16);
    Icons.Activity[ActivityNone] = LoadSizedIcon(instance, IDI_TRANSFER_NONE, 16, 16);
    Icons.NoticeOff = LoadSizedIcon(instance, IDI_NOTICE_OFF, 16, 16);
    Icons.NoticeOn = LoadSizedIcon(instance, IDI_NOTICE_ON, 16, 16);
}
