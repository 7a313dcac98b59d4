#include "ProgramStart.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return RunControlPanel(instance, showCommand);
}
