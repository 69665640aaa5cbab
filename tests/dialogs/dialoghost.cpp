// Runs one of the tray program's dialogs in a process of its own, the way
// the main window opens it, and reports what it left behind:
//   dialoghost /settings [/log:FILE]   the settings dialog
//   dialoghost /about                  the About box
// /library:COUNT,SHIFT,UNFOCUSED,CTRLPAGE and /state:FILE hand the library's
// count and options over and back (the same, blank-separated): on the NT
// line they are per process.
// The exit code is the dialog's result. With /log the finder's inversions
// are written to FILE, one window handle a line, and at the end a line
// "end RESULT scrollCount N capture C dragging D highlighted H".
// Posting kStealCapture to the hidden owner makes it take the mouse capture,
// as another window of the program would; kDestroyOwner destroys it. The
// owner also answers what only the host can tell: its code page and where
// the dialog's controls come from (dialoghost.h).
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
#include <cstdio>
#include <cstring>
#include <string>
#include "appstate.h"
#include "dialogs.h"
#include "settings.h"
#include "store.h"
#include "dialoghost.h"
#include "kestro.h"

namespace {

FILE* logFile = NULL;

LRESULT DescribeControl(HWND owner, WPARAM id)
{
    HWND dialog = GetLastActivePopup(owner);
    HWND control = dialog != owner ? GetDlgItem(dialog, static_cast<int>(id)) : NULL;
    if (!control)
        return -1;
    HMODULE module = NULL;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(GetClassLongPtrW(control, GCLP_WNDPROC)), &module);
    LRESULT made = 0;
    if (module && module == GetModuleHandleW(L"comctl32.dll"))
        made |= kFromCommonControls;
    if (GetWindowTheme(control))
        made |= kThemed;
    return made;
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kQueryCodePage)
        return static_cast<LRESULT>(GetACP());
    if (message == kQueryControl)
        return DescribeControl(window, wParam);
    if (message == kStealCapture) {
        SetCapture(window);
        return 0;
    }
    if (message == kDestroyOwner) {
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void LogInversion(HWND window)
{
    fprintf(logFile, "invert %lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(window)));
    fflush(logFile);
}

HWND CreateOwner(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "VelmoraDialogHost";
    RegisterClassExA(&windowClass);
    return CreateWindowExA(0, "VelmoraDialogHost", "VelmoraDialogHost", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                           NULL, NULL, instance, NULL);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    AppState.instance = instance;
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS };
    InitCommonControlsEx(&controls);
    LoadWindowList();
    if (const char* log = strstr(commandLine, "/log:")) {
        logFile = fopen(log + 5, "w");
        if (logFile)
            FinderInversionObserver = LogInversion;
    }
    int count = 0, shift = 0, unfocused = 0, page = 0;
    const char* library = strstr(commandLine, "/library:");
    if (library && sscanf(library + 9, "%d,%d,%d,%d", &count, &shift, &unfocused, &page) == 4)
        SetScrollCount(count), SetShiftScroll(shift), SetScrollUnfocused(unfocused), SetCtrlPage(page);
    HWND owner = CreateOwner(instance);
    const INT_PTR result = strstr(commandLine, "/about") ? ShowAboutBox(owner) : ShowSettingsDialog(owner);
    if (logFile) {
        fprintf(logFile, "end %d scrollCount %d capture %d dragging %d highlighted %d\n", static_cast<int>(result),
                AppState.scrollCount, GetCapture() != NULL, AppState.dragging,
                AppState.highlightedWindow != NULL);
        fclose(logFile);
    }
    const char* state = strstr(commandLine, "/state:");
    FILE* file = state ? fopen(std::string(state + 7, strcspn(state + 7, " ")).c_str(), "w") : NULL;
    if (file) {
        fprintf(file, "%d %d %d %d\n", GetScrollCount(), GetShiftScroll(), GetScrollUnfocused(), GetCtrlPage());
        fclose(file);
    }
    if (IsWindow(owner))
        DestroyWindow(owner);
    return static_cast<int>(result);
}
