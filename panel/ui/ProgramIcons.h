// The program's icons, loaded from its resources once and kept for the program's life.
#pragma once

#include <windows.h>

#include "DpiScale.h"

struct ProgramIcons {
    HICON Program;       // system large size
    HICON ProgramSmall;  // 16 x 16
    HICON Logo;          // 77 x 23, drawn in the logo frame
    HICON ConfigFile;    // 20 x 20
    HICON LogFile;       // 20 x 20
    HICON Activity[4];   // 16 x 16: sent only, received only, both, none
    HICON NoticeOff;     // 16 x 16
    HICON NoticeOn;      // 16 x 16
    DpiScale Scale;      // the scale of the sizes above (the program icons' excepted)
};

enum ActivityIcon { ActivitySent = 0, ActivityReceived = 1, ActivityBoth = 2, ActivityNone = 3 };

extern ProgramIcons Icons;

// Loads every icon the first time; later calls keep the loaded ones.
void LoadProgramIcons(HINSTANCE instance);
// The icons drawn in the windows (all but the program's) loaded again at their sizes times the
// scale, the former ones destroyed; nothing happens when they are at that scale already. Whoever
// shows one of them sets it again afterwards.
void LoadScaledIcons(HINSTANCE instance, DpiScale scale);
