#include "startup.h"
#include "appstate.h"
#include "mainwnd.h"
#include "store.h"
#include <commctrl.h>
#include <string.h>

namespace {

// How long /Uninstall waits for the running copy to end.
const DWORD kUninstallWaitMs = 15000;

// The running copy's process, or NULL.
HANDLE RunningInstance()
{
    HWND window = FindWindowA(AppState.appName, NULL);
    DWORD processId = 0;
    if (!window || !GetWindowThreadProcessId(window, &processId))
        return NULL;
    return OpenProcess(SYNCHRONIZE, FALSE, processId);
}

// Returns once the running copy has ended (bounded): an installer that
// removes the files next, an MSI's included, finds them free.
int Uninstall()
{
    HANDLE running = RunningInstance();
    SetRunAtStartup(false);
    DWORD recipients = BSM_APPLICATIONS;
    BroadcastSystemMessageA(BSF_IGNORECURRENTTASK, &recipients, AppState.quitMessage, 0, 0);
    if (running) {
        WaitForSingleObject(running, kUninstallWaitMs);
        CloseHandle(running);
    }
    return 0;
}

// A copy run as administrator holds a mutex with a high integrity label; a
// normal start is then refused access instead of told that it exists.
bool AnotherInstanceRuns()
{
    AppState.singleInstanceMutex = CreateMutexA(NULL, FALSE, AppState.appName);
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || (!AppState.singleInstanceMutex && error == ERROR_ACCESS_DENIED);
}

// A window refused in WM_CREATE has posted the quit message on its way out;
// one that never got that far has not, and the loop would wait forever.
bool QuitPosted()
{
    MSG message;
    return PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

int RunMessageLoop()
{
    MSG message = {};
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

bool CommandLineHas(const char* commandLine, const char* word)
{
    const size_t length = strlen(word);
    for (const char* at = commandLine; *at; at = CharNextA(at)) {
        if (strncmp(at, word, length) == 0)
            return true;
    }
    return false;
}

int RunVelmora(HINSTANCE instance, const char* commandLine)
{
    AppState.instance = instance;
    if (CommandLineHas(commandLine, "/background"))
        AppState.backgroundMode = 1;
    if (CommandLineHas(commandLine, "/Uninstall"))
        return Uninstall();
    if (AnotherInstanceRuns())
        return kExitAlreadyRunning;

    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&controls);
    LoadWindowList();
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance) && !QuitPosted()) {
        CloseInstanceMutex();
        return kExitNoMainWindow;
    }
    return RunMessageLoop();
}
