#include "startup.h"
#include "appstate.h"
#include "mainwnd.h"
#include "policy.h"
#include "store.h"
#include <commctrl.h>
#include <string.h>

namespace {

// PROCESS_QUERY_LIMITED_INFORMATION: Vista's right, also to a copy run as administrator.
const DWORD kQueryLimitedInformation = 0x1000;

// How long /Stop and /Uninstall wait for the running copies to end.
const DWORD kUninstallWaitMs = 15000;

// The processes of the running copies, found by their main windows; with
// `ownFolderOnly`, only those started from this program's folder.
struct RunningCopies {
    HANDLE processes[MAXIMUM_WAIT_OBJECTS];
    HWND windows[MAXIMUM_WAIT_OBJECTS];
    DWORD count;
    bool ownFolderOnly;
};

// Length of the folder part of `path`, its last backslash included.
int FolderLength(const wchar_t* path)
{
    int folder = 0;
    for (int i = 0; path[i]; ++i)
        folder = path[i] == L'\\' ? i + 1 : folder;
    return folder;
}

// Whether `process` runs from this program's folder. Vista's call, looked up
// at run time; where it is missing (XP, Windows 9x) every copy counts, so
// that the files are freed as before.
bool RunsFromOwnFolder(HANDLE process)
{
    typedef BOOL(WINAPI * ImageName)(HANDLE, DWORD, wchar_t*, DWORD*);
    ImageName imageName = reinterpret_cast<ImageName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW")));
    wchar_t own[MAX_PATH] = {}, other[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!imageName || !GetModuleFileNameW(NULL, own, MAX_PATH) || !imageName(process, 0, other, &size))
        return true;
    const int length = FolderLength(own);
    return FolderLength(other) == length &&
           CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, own, length, other, length) == CSTR_EQUAL;
}

BOOL CALLBACK CollectCopy(HWND window, LPARAM copies)
{
    RunningCopies* found = reinterpret_cast<RunningCopies*>(copies);
    char name[16] = {};
    DWORD processId = 0;
    if (found->count == MAXIMUM_WAIT_OBJECTS || !GetClassNameA(window, name, sizeof name) ||
        lstrcmpA(name, AppState.appName) != 0 || !GetWindowThreadProcessId(window, &processId))
        return TRUE;
    HANDLE process = OpenProcess(SYNCHRONIZE | kQueryLimitedInformation, FALSE, processId);
    if (!process)
        process = OpenProcess(SYNCHRONIZE, FALSE, processId); // Windows 9x and XP
    if (process && found->ownFolderOnly && !RunsFromOwnFolder(process)) {
        CloseHandle(process);
        return TRUE;
    }
    if (process) {
        found->windows[found->count] = window;
        found->processes[found->count++] = process;
    }
    return TRUE;
}

// Ends the running copies and returns once they have ended (bounded): an
// installer that replaces or removes the files next, an MSI's included,
// finds them free. Nothing in the registry changes. An uninstaller ends only
// its own folder's copies: another copy (the machine's) keeps running.
int StopRunningCopies(bool ownFolderOnly)
{
    RunningCopies copies = {};
    copies.ownFolderOnly = ownFolderOnly;
    EnumWindows(CollectCopy, reinterpret_cast<LPARAM>(&copies));
    if (ownFolderOnly) {
        for (DWORD i = 0; i < copies.count; ++i)
            PostMessageA(copies.windows[i], AppState.quitMessage, 0, 0);
    } else {
        DWORD recipients = BSM_APPLICATIONS;
        BroadcastSystemMessageA(BSF_IGNORECURRENTTASK, &recipients, AppState.quitMessage, 0, 0);
    }
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
    StopRunningCopies(false);
    return 0;
}

// "Disabled" keeps Velmora from running after a logon without touching the
// user's Run value: a start from it (or from the policy's own value, once
// the policy no longer asks for it) leaves at once.
bool LogonStartRefused(const char* commandLine)
{
    int run = -1;
    ReadPolicy(kRunAtLogonPolicy, &run);
    if (CommandLineHas(commandLine, "/policy"))
        return run != 1;
    return run == 0 && CommandLineHas(commandLine, kBackgroundSwitch);
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
    if (CommandLineHas(commandLine, "/StopHere"))
        return StopRunningCopies(true);
    if (CommandLineHas(commandLine, "/Stop"))
        return StopRunningCopies(false);
    if (LogonStartRefused(commandLine)) {
        SetPolicyRunAtLogon(false); // a value the policy left behind
        return 0;
    }
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
