// The hidden main window. Its procedure only dispatches; each handler below
// does one job.
#include "mainwnd.h"
#include "appstate.h"
#include "dialogs.h"
#include "hookwatch.h"
#include "policy.h"
#include "store.h"
#include "texts.h"
#include "kestro.h"
#include "../common/wheelpane.h"
#include <shellapi.h>
#include <windowsx.h>

namespace {

const UINT_PTR kTrayRetryTimer = 1;
const UINT kTrayRetryMs = 2000;
// Five minutes; a shell that starts later still announces itself.
const int kTrayRetryLimit = 150;

// Sent by the shell to every top-level window when its taskbar is (re)created.
const UINT taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
int trayRetriesLeft = 0;

void FillTrayRecord(NOTIFYICONDATAA* icon, HWND window)
{
    ZeroMemory(icon, sizeof *icon);
    icon->cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon->hWnd = window;
    icon->uID = 0;
}

bool AddTrayIcon(HWND window)
{
    NOTIFYICONDATAA icon;
    FillTrayRecord(&icon, window);
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_TRAYNOTIFY;
    icon.hIcon = static_cast<HICON>(LoadImageA(AppState.instance, MAKEINTRESOURCEA(IDI_TRAYICON), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
    lstrcpynA(icon.szTip, AppState.appName, 64);
    return Shell_NotifyIconA(NIM_ADD, &icon) != FALSE;
}

// At logon the shell may not be ready yet; without the icon the program
// could not be reached at all.
void AddTrayIconOrRetry(HWND window)
{
    if (AddTrayIcon(window)) {
        KillTimer(window, kTrayRetryTimer);
        return;
    }
    trayRetriesLeft = kTrayRetryLimit;
    SetTimer(window, kTrayRetryTimer, kTrayRetryMs, NULL);
}

void RemoveTrayIcon(HWND window)
{
    NOTIFYICONDATAA icon;
    FillTrayRecord(&icon, window);
    Shell_NotifyIconA(NIM_DELETE, &icon);
}

// The shell lost its icons; a stale one of ours would make the add fail.
void ReAddTrayIcon(HWND window)
{
    RemoveTrayIcon(window);
    AddTrayIconOrRetry(window);
}

// UIPI drops registered messages that reach a copy run as administrator from
// a process that is not: the shell's "TaskbarCreated" and the quit message of
// an /Uninstall. Both are let through, with the call of Windows 7, or of
// Vista, looked up at run time; earlier systems and Windows 9x have neither.
void LetRegisteredMessagesIn(HWND window)
{
    typedef BOOL(WINAPI * WindowFilter)(HWND, UINT, DWORD, void*);
    typedef BOOL(WINAPI * ProcessFilter)(UINT, DWORD);
    const DWORD kMsgfltAllow = 1; // MSGFLT_ALLOW, and MSGFLT_ADD for Vista's call
    if (!IsPlatformNT())
        return;
    HMODULE user32 = GetModuleHandleA("user32.dll");
    WindowFilter filterEx = reinterpret_cast<WindowFilter>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    ProcessFilter filter = filterEx ? NULL : reinterpret_cast<ProcessFilter>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilter")));
    const UINT messages[] = { taskbarCreatedMessage, AppState.quitMessage };
    for (UINT message : messages) {
        if (message && filterEx)
            filterEx(window, message, kMsgfltAllow, NULL);
        else if (message && filter)
            filter(message, kMsgfltAllow);
    }
}

bool AnyClassListed()
{
    return WindowListCount(&AppState.windowList) > 0 || WindowListCount(&AppState.policyWindowList) > 0;
}

void RegisterCommanderIfListed(HWND window)
{
    if (AnyClassListed())
        SetCommanderWindow(window);
}

// "Enabled" starts through a Run value of the policy's own; the user's own
// value is never touched, so that the user's choice applies again once the
// policy goes. "Disabled" is kept at the start (startup.cpp).
void ApplyRunAtLogonPolicy()
{
    int run = 0;
    SetPolicyRunAtLogon(ReadPolicy(kRunAtLogonPolicy, &run) && run == 1);
}

// At start and on a policy refresh; installing the hook set the library's
// count from the system, and the stored one wins.
void ApplyStoredSettings()
{
    SetScrollCount(LoadScrollCount());
    AppState.scrollCount = GetScrollCount();
    AppState.countByPolicy = PolicySets(kScrollCountPolicy);
    SetShiftScroll(LoadShiftScroll());
    SetScrollUnfocused(LoadScrollUnfocused());
    SetCtrlPage(LoadCtrlPage());
    ApplyRunAtLogonPolicy();
}

// While the settings dialog is open the commander stays withdrawn; it is
// registered again as the dialog closes.
void ReapplyPolicies(HWND window)
{
    ApplyStoredSettings();
    LoadPolicyWindowList(&AppState.policyWindowList);
    if (!AppState.modalOpen)
        SetCommanderWindow(AnyClassListed() ? window : NULL);
}

// Runs on WM_DESTROY and when creation is refused; doing it twice is harmless.
void EndMainWindow(HWND window)
{
    KillTimer(window, kTrayRetryTimer);
    StopHookWatch(window);
    RemoveTrayIcon(window);
    SetCommanderWindow(NULL);
    InstallMouseHook(0);
    CloseInstanceMutex();
    PostQuitMessage(0);
}

LRESULT OnCreate(HWND window)
{
    LetRegisteredMessagesIn(window);
    RegisterCommanderIfListed(window);
    if (!InstallMouseHook(1)) {
        ShowMessageBox(window, UiText(kHookFailedText));
        // Not every platform sends WM_DESTROY to a window refused here.
        EndMainWindow(window);
        return -1;
    }
    ApplyStoredSettings();
    StartHookWatch(window);
    AddTrayIconOrRetry(window);
    if (!AppState.backgroundMode)
        SendMessageA(window, WM_COMMAND, IDM_ABOUT, 0);
    return 0;
}

LRESULT OnDestroy(HWND window)
{
    EndMainWindow(window);
    return 0;
}

void RunAboutCommand(HWND window)
{
    AppState.modalOpen = 1;
    ShowAboutBox(window);
    AppState.modalOpen = 0;
}

// No forwarded wheel events while the list is being edited.
void RunSettingsCommand(HWND window)
{
    AppState.modalOpen = 1;
    SetCommanderWindow(NULL);
    ShowSettingsDialog(window);
    RegisterCommanderIfListed(window);
    AppState.modalOpen = 0;
}

void OnCommand(HWND window, WORD command)
{
    switch (command) {
    case IDM_ABOUT: RunAboutCommand(window); break;
    case IDM_EXIT: DestroyWindow(window); break;
    case IDM_SETTINGS: RunSettingsCommand(window); break;
    }
}

// The point arrives as two 16-bit words, negative left of or above the
// primary monitor. The other marks of the notch go on to the list variant.
LRESULT OnWheelForward(WPARAM notch, LPARAM point)
{
    const int marked = static_cast<int>(notch & ~kForwardSideways);
    if (notch & kForwardSideways)
        return ScrollSidewaysAt(marked, GET_X_LPARAM(point), GET_Y_LPARAM(point));
    return ScrollPaneAt(marked, GET_X_LPARAM(point), GET_Y_LPARAM(point));
}

void BringOpenDialogForward(HWND window)
{
    if (!AppState.modalOpen)
        return;
    HWND popup = GetLastActivePopup(window);
    SetForegroundWindow(IsWindow(popup) ? popup : window);
}

void ShowTrayMenu(HWND window)
{
    if (AppState.modalOpen)
        return;
    // From the UTF-16 template, never through the ANSI code page; Windows 9x
    // has only the ANSI form.
    HMENU menu = IsPlatformNT() ? LoadMenuW(AppState.instance, MAKEINTRESOURCEW(IDR_TRAYMENU))
                                : LoadMenuA(AppState.instance, MAKEINTRESOURCEA(IDR_TRAYMENU));
    if (!menu)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    SetEnglishMenuTexts(popup);
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(window);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, NULL);
    SetForegroundWindow(window);
    DestroyMenu(menu); // and its popup with it
}

LRESULT OnTrayNotify(HWND window, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN: BringOpenDialogForward(window); break;
    case WM_RBUTTONDOWN: ShowTrayMenu(window); break;
    }
    return 0;
}

void RetryTrayIcon(HWND window)
{
    if (AddTrayIcon(window) || --trayRetriesLeft <= 0)
        KillTimer(window, kTrayRetryTimer);
}

LRESULT OnTimer(HWND window, WPARAM timer)
{
    if (timer == kTrayRetryTimer)
        RetryTrayIcon(window);
    else if (IsHookWatchTimer(timer))
        CheckMouseHook(window);
    return 0;
}

// Windows broadcasts "Policy" after a policy refresh (wParam 1 for the
// machine's, 0 for the user's); nothing else changes what Velmora reads.
LRESULT OnSettingChange(HWND window, LPARAM area)
{
    if (area && lstrcmpiA(reinterpret_cast<const char*>(area), "Policy") == 0)
        ReapplyPolicies(window);
    return 0;
}

// Registered messages have no fixed numbers, so they are told apart here.
LRESULT OnOtherMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (AppState.quitMessage && message == AppState.quitMessage)
        return DestroyWindow(window);
    if (taskbarCreatedMessage && message == taskbarCreatedMessage)
        ReAddTrayIcon(window);
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void SetCommanderWindow(HWND window)
{
    SetCommander(window, kCommanderAccessCode);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy(window);
    case WM_COMMAND: OnCommand(window, LOWORD(wParam)); break;
    case WM_WHEELFORWARD: return OnWheelForward(wParam, lParam);
    case WM_TRAYNOTIFY: return OnTrayNotify(window, lParam);
    case WM_TIMER: return OnTimer(window, wParam);
    case WM_INPUT: WakeHookWatch(window); break; // and on to DefWindowProcA, which frees it
    case WM_SETTINGCHANGE: return OnSettingChange(window, lParam);
    }
    return OnOtherMessage(window, message, wParam, lParam);
}

void RegisterMainWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = AppState.appName;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TRAYICON));
    RegisterClassExA(&windowClass);
}

int CreateMainWindow(HINSTANCE instance)
{
    HWND window = CreateWindowExA(0, AppState.appName, AppState.appName, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 300, 240, NULL, NULL, instance, NULL);
    if (!window)
        return 0;
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    return 1;
}
