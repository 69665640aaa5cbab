// Start-up and the main window in this process: the paths that cannot be
// reached from outside a running program.
#include "traytest.h"
#include "appstate.h"
#include "kestro.h"
#include "mainwnd.h"
#include "policy.h"
#include "startup.h"
#include "store.h"
#include <shellapi.h>
#include <tuple>

namespace {

TEST(CommandLineSwitches, FoundAtCharacterBoundariesOnly)
{
    EXPECT_TRUE(CommandLineHas("\"C:\\Velmora.exe\" /background", "/background"));
    EXPECT_TRUE(CommandLineHas("C:/background/Velmora.exe", "/background"));
    EXPECT_TRUE(CommandLineHas("/background", "/background"));
    EXPECT_FALSE(CommandLineHas("x /Background", "/background")) << "case-sensitive";
    EXPECT_FALSE(CommandLineHas("x /uninstall", "/Uninstall"));
    EXPECT_FALSE(CommandLineHas("x /backgroun", "/background"));
    EXPECT_FALSE(CommandLineHas("", "/background"));
    // "가" then the switch: a whole double-byte character before it.
    EXPECT_TRUE(CommandLineHas("\xb0\xa1/background", "/background"));
    // A lead byte swallows the next byte, so a switch right after a stray
    // lead byte is part of that character and is not seen.
    EXPECT_FALSE(CommandLineHas("x\xb0/background", "/background"));
    EXPECT_TRUE(CommandLineHas("x\xb0/ /background", "/background"));
    std::string longLine(30000, 'a');
    EXPECT_FALSE(CommandLineHas(longLine.c_str(), "/background"));
    longLine.replace(29989, 11, "/background");
    EXPECT_TRUE(CommandLineHas(longLine.c_str(), "/background"));
}

// A class of the program's name registered before the program registers its
// own, so that the main window is made by this procedure instead.
class ReplacedMainWindow : public StoredSettings {
protected:
    static LRESULT CALLBACK NeverCreated(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
            return FALSE;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    static LRESULT CALLBACK RefusedInCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_CREATE) {
            PostQuitMessage(0);
            return -1;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    void Replace(WNDPROC procedure)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "Velmora5";
        ASSERT_TRUE(RegisterClassA(&windowClass));
    }
    void TearDown() override
    {
        UnregisterClassA("Velmora5", GetModuleHandleA(NULL));
        StoredSettings::TearDown();
    }
};

TEST_F(ReplacedMainWindow, NoMainWindowEndsTheProgramWithAnError)
{
    Replace(NeverCreated);
    EXPECT_EQ(RunVelmora(GetModuleHandleA(NULL), "Velmora.exe /background"), kExitNoMainWindow);
    EXPECT_EQ(AppState.singleInstanceMutex, nullptr);
    HANDLE mutex = CreateMutexA(NULL, FALSE, "Velmora5");
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "the mutex was left behind";
    CloseHandle(mutex);
}

// The road of a hook that cannot be installed: the window ends the program
// and refuses itself in WM_CREATE; the loop then ends at once with 0.
TEST_F(ReplacedMainWindow, WindowRefusedInCreateEndsTheLoopWithZero)
{
    Replace(RefusedInCreate);
    EXPECT_EQ(RunVelmora(GetModuleHandleA(NULL), "Velmora.exe /background"), 0);
    CloseHandle(AppState.singleInstanceMutex);
    AppState.singleInstanceMutex = NULL;
}

// Holds the tray slot of the main window before its WM_CREATE runs, so that
// the program's first add fails as it does when the shell is not ready.
HWND creatingMainWindow = NULL;
LRESULT CALLBACK OccupyTraySlot(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char name[64] = {};
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpA(name, "Velmora5") == 0) {
            creatingMainWindow = window;
            NOTIFYICONDATAA icon = {};
            icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
            icon.hWnd = window;
            Shell_NotifyIconA(NIM_ADD, &icon);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST_F(StoredSettings, FailedFirstTrayAddIsRetried)
{
    AppState.instance = GetModuleHandleA(NULL);
    AppState.backgroundMode = 1;
    WindowListClear(&AppState.windowList);
    RegisterMainWindowClass(AppState.instance);
    HHOOK hook = SetWindowsHookExA(WH_CBT, OccupyTraySlot, NULL, GetCurrentThreadId());
    ASSERT_EQ(CreateMainWindow(AppState.instance), 1);
    UnhookWindowsHookEx(hook);
    HWND window = creatingMainWindow;
    ASSERT_TRUE(IsWindow(window));

    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon)) << "the slot was not taken, so nothing failed";
    EXPECT_FALSE(TrayIconExists(window));
    EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(window); }, 8000)) << "the add was not tried again";

    DestroyWindow(window);
    EXPECT_FALSE(TrayIconExists(window));
    PumpFor(50); // takes the quit message the window posted
}

// The window lets the shell's and an /Uninstall's registered messages
// through UIPI. Wine accepts the calls and does nothing, so the calls
// themselves are recorded: this program's import slot of GetProcAddress
// hands the window stand-ins for the two filter functions of user32.
using FilterCall = std::tuple<HWND, UINT, DWORD, void*>; // Vista's call has no window and no extra
std::vector<FilterCall> filterCalls;
bool withoutFilterEx = false; // as on Vista
FARPROC(WINAPI* realGetProcAddress)(HMODULE, LPCSTR) = NULL;
BOOL WINAPI RecordFilterEx(HWND window, UINT message, DWORD action, void* extra)
{
    filterCalls.emplace_back(window, message, action, extra);
    return TRUE;
}
BOOL WINAPI RecordFilter(UINT message, DWORD action)
{
    filterCalls.emplace_back(nullptr, message, action, nullptr);
    return TRUE;
}
FARPROC WINAPI LookUpFilters(HMODULE module, LPCSTR name)
{
    const bool user32 = module == GetModuleHandleA("user32.dll") && HIWORD(name);
    if (user32 && lstrcmpA(name, "ChangeWindowMessageFilterEx") == 0)
        return withoutFilterEx ? NULL : reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(RecordFilterEx));
    if (user32 && lstrcmpA(name, "ChangeWindowMessageFilter") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(RecordFilter));
    return realGetProcAddress(module, name);
}

TEST_F(StoredSettings, RegisteredMessagesPassUipi)
{
    AppState.instance = GetModuleHandleA(NULL);
    AppState.backgroundMode = 1;
    RegisterMainWindowClass(AppState.instance);
    realGetProcAddress = GetProcAddress; // read from the slot, before it is patched
    void** slot = ImportSlot(GetModuleHandleA(NULL), "kernel32.dll",
                               reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(realGetProcAddress)));
    ASSERT_NE(slot, nullptr);
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    for (int vista = 0; vista < 2; ++vista) {
        SCOPED_TRACE(vista ? "ChangeWindowMessageFilter (Vista)" : "ChangeWindowMessageFilterEx");
        withoutFilterEx = vista != 0;
        filterCalls.clear();
        ASSERT_TRUE(Patch(slot, reinterpret_cast<void*>(LookUpFilters)));
        const int created = CreateMainWindow(AppState.instance);
        Patch(slot, reinterpret_cast<void*>(realGetProcAddress));
        ASSERT_EQ(created, 1);
        HWND window = FindProcessWindow("Velmora5", GetCurrentProcessId());
        HWND named = vista ? NULL : window;
        const DWORD allow = 1; // MSGFLT_ALLOW, and MSGFLT_ADD for Vista's call
        const std::vector<FilterCall> expected = { FilterCall(named, taskbarCreated, allow, nullptr),
                                                   FilterCall(named, AppState.quitMessage, allow, nullptr) };
        EXPECT_EQ(filterCalls, expected);
        DestroyWindow(window);
        PumpFor(50); // takes the quit message the window posted
    }
}

// The main window's timer messages, counted as this thread takes them.
int timerMessages = 0;
LRESULT CALLBACK CountTimers(int code, WPARAM removed, LPARAM message)
{
    if (code == HC_ACTION && removed == PM_REMOVE && reinterpret_cast<MSG*>(message)->message == WM_TIMER)
        ++timerMessages;
    return CallNextHookEx(NULL, code, removed, message);
}
bool MouseSinkRegistered()
{
    RAWINPUTDEVICE mouse = {};
    UINT count = 1;
    return GetRegisteredRawInputDevices(&mouse, &count, sizeof mouse) == 1 && mouse.dwFlags == RIDEV_INPUTSINK;
}

// While nothing moves, the hook watch takes no looks and has no timer: it
// waits for the mouse's raw input, and the first input starts it again.
TEST_F(StoredSettings, HookWatchSleepsAtRestAndWakesOnMouseInput)
{
    AppState.instance = GetModuleHandleA(NULL);
    AppState.backgroundMode = 1;
    RegisterMainWindowClass(AppState.instance);
    ASSERT_EQ(CreateMainWindow(AppState.instance), 1);
    HWND window = FindProcessWindow("Velmora5", GetCurrentProcessId());
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CountTimers, NULL, GetCurrentThreadId());
    EXPECT_TRUE(WaitUntil(MouseSinkRegistered, 6000)) << "the watch kept looking at rest";
    timerMessages = 0;
    PumpFor(4500);
    EXPECT_EQ(timerMessages, 0);
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = 5;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    ASSERT_EQ(SendInput(1, &move, sizeof move), 1u);
    EXPECT_TRUE(WaitUntil([] { return !MouseSinkRegistered() && timerMessages > 0; }, 4000)) << "no look after input";
    UnhookWindowsHookEx(hook);
    DestroyWindow(window);
    PumpFor(50); // takes the quit message the window posted
}

// Policies apply at start and at once on a policy refresh; unusable class entries are left out.
TEST_F(StoredSettings, PoliciesApplyAtStartAndOnAPolicyRefresh)
{
    AppState.instance = GetModuleHandleA(NULL);
    AppState.backgroundMode = 1;
    RegisterMainWindowClass(AppState.instance);
    PutDword(VELMORA_POLICY_KEY, "RunAtLogon", 1);
    PutString(VELMORA_RUN_KEY, "Velmora5", "the user's own");
    ASSERT_EQ(CreateMainWindow(AppState.instance), 1);
    EXPECT_TRUE(GetValue(VELMORA_RUN_KEY, "Velmora5.Policy").present);
    PutDword(VELMORA_POLICY_KEY, "RunAtLogon", 0);
    PutDword(VELMORA_POLICY_KEY, "ScrollCount", 4);
    PutDword(VELMORA_POLICY_KEY, "ShiftScroll", 1);
    const struct { HKEY root; const char* name; DWORD type; std::string data; } entries[] = {
        { HKEY_LOCAL_MACHINE, "1", REG_SZ, "Corp" }, { HKEY_LOCAL_MACHINE, "2", REG_SZ, "" },
        { HKEY_LOCAL_MACHINE, "3", REG_DWORD, "Abc" }, { HKEY_CURRENT_USER, "Long", REG_SZ, std::string(300, 'L') },
        { HKEY_CURRENT_USER, "Dup", REG_SZ, "Corp" }, { HKEY_CURRENT_USER, "x", REG_SZ, "UserCorp" } };
    for (const auto& e : entries)
        RegSetKeyValueA(e.root, VELMORA_POLICY_WINDOWLIST_KEY, e.name, e.type, e.data.c_str(), DWORD(e.data.size() + 1));
    HWND window = FindProcessWindow("Velmora5", GetCurrentProcessId());
    SendMessageA(window, WM_SETTINGCHANGE, 1, reinterpret_cast<LPARAM>("Policy"));
    EXPECT_EQ(std::make_pair(GetScrollCount(), GetShiftScroll()), std::make_pair(4, 1));
    const WindowList& list = AppState.policyWindowList;
    EXPECT_EQ(std::vector<std::string>(list.items, list.items + list.count), (std::vector<std::string>{ "Corp", "UserCorp" }));
    EXPECT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5.Policy").present);
    EXPECT_EQ(GetValue(VELMORA_RUN_KEY, "Velmora5").Text(), "the user's own") << "a policy rewrote the user's choice";
    DestroyWindow(window);
    PumpFor(50); // takes the quit message the window posted
}

} // namespace
