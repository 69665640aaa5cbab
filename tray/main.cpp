// Velmora.exe: the tray program's entry point.
#include "startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // The switches may sit anywhere, the program's own path included.
    return RunVelmora(instance, GetCommandLineA());
}
