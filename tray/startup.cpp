#include "startup.h"
#include "appstate.h"
#include "mainwnd.h"
#include "store.h"
#include <commctrl.h>
#include <string.h>

namespace {

// How long /Stop and /Uninstall wait for the running copies to end.
const DWORD kUninstallWaitMs = 15000;

// The processes of the running copies, found by their main windows.
struct RunningCopies {
    HANDLE processes[MAXIMUM_WAIT_OBJECTS];
    DWORD count;
};

BOOL CALLBACK CollectCopy(HWND window, LPARAM copies)
{
    RunningCopies* found = reinterpret_cast<RunningCopies*>(copies);
    char name[16] = {};
    DWORD processId = 0;
    if (found->count == MAXIMUM_WAIT_OBJECTS || !GetClassNameA(window, name, sizeof name) ||
        lstrcmpA(name, AppState.appName) != 0 || !GetWindowThreadProcessId(window, &processId))
        return TRUE;
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId))
        found->processes[found->count++] = process;
    return TRUE;
}

// Ends the running copies and returns once they have ended (bounded): an
// installer that replaces or removes the files next, an MSI's included,
// finds them free. Nothing in the registry changes.
int StopRunningCopies()
{
    RunningCopies copies = {};
    EnumWindows(CollectCopy, reinterpret_cast<LPARAM>(&copies));
    DWORD recipients = BSM_APPLICATIONS;
    BroadcastSystemMessageA(BSF_IGNORECURRENTTASK, &recipients, AppState.quitMessage, 0, 0);
    DWORD waited = WAIT_OBJECT_0;
    if (copies.count)
        waited = WaitForMultipleObjects(copies.count, copies.processes, TRUE, kUninstallWaitMs);
    for (DWORD i = 0; i < copies.count; ++i)
        CloseHandle(copies.processes[i]);
    return waited == WAIT_TIMEOUT ? kExitStillRunning : 0;
}

// The Run value and the logon step only where they are this copy's: a
// machine copy's logon start must outlive the removal of a per-user copy.
int Uninstall()
{
    ForgetOwnRunAtStartup();
    StopRunningCopies();
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
    if (CommandLineHas(commandLine, "/Stop"))
        return StopRunningCopies();
    if (AnotherInstanceRuns())
        return kExitAlreadyRunning;

    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS };
    InitCommonControlsEx(&controls);
    LoadWindowList();
    RegisterMainWindowClass(instance);
    if (!CreateMainWindow(instance) && !QuitPosted()) {
        CloseInstanceMutex();
        return kExitNoMainWindow;
    }
    return RunMessageLoop();
}
