// Velmora.exe: the tray program's entry point.
#include "startup.h"
#include "../common/wheelpane.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    TakeTestNotchBudget();
    // The switches may sit anywhere, the program's own path included.
    return RunVelmora(instance, GetCommandLineA());
}
