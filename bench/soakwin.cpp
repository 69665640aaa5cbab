// The sample code window, unchanged, made anew each time it is closed: the
// soak run's code windows that come and go, all in one process. A WM_QUIT
// that the window did not cause ends the process.
#include <windows.h>
#define WinMain CodeWindowMain
#include "../tools/codewin/codewin.cpp"
#undef WinMain

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    // The window's destruction takes its scroll bars with it.
    while (CodeWindowMain(instance, previous, commandLine, show) == 0 && !IsWindow(state.paneBar[0])) {
    }
    return 0;
}
