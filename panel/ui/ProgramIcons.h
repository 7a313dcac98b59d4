// The program's icons, loaded from its resources once and kept for the program's life.
#pragma once

#include <windows.h>

struct ProgramIcons {
    HICON Program;       // system large size
    HICON ProgramSmall;  // 16 x 16
    HICON Logo;          // 77 x 23, drawn in the logo frame
    HICON ConfigFile;    // 20 x 20
    HICON LogFile;       // 20 x 20
    HICON Activity[4];   // 16 x 16: sent only, received only, both, none
    HICON NoticeOff;     // 16 x 16
    HICON NoticeOn;      // 16 x 16
};

enum ActivityIcon { ActivitySent = 0, ActivityReceived = 1, ActivityBoth = 2, ActivityNone = 3 };

extern ProgramIcons Icons;

// Loads every icon the first time; later calls keep the loaded ones.
void LoadProgramIcons(HINSTANCE instance);
