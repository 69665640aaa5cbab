// Runs one settings-store operation in its own process:
//   /save    loads and saves the window list; exits 100 + IsPlatformNT()
//   /enable  SetRunAtStartup(true); exits with its result
#include "appstate.h"
#include "store.h"
#include "../../common/wheelpane.h"
#include <string.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    AppState.instance = instance;
    const char* commandLine = GetCommandLineA();
    if (strstr(commandLine, "/save")) {
        LoadWindowList();
        SaveWindowList();
        return 100 + (IsPlatformNT() ? 1 : 0);
    }
    if (strstr(commandLine, "/enable"))
        return static_cast<int>(SetRunAtStartup(true));
    return -1;
}
