// The library's exports as a client loads them, the state it shares between
// processes, and the hook's installation and removal.
#include "hooktest.h"
#include "kestro.h"
#include "wheelpane.h"
#include "../../tools/hookhost/hookhost.h"

namespace {

using SetCommanderFn = void(WINAPI*)(HWND, int);
using InstallMouseHookFn = int(WINAPI*)(int);
using SetScrollCountFn = int(WINAPI*)(int);
using GetScrollCountFn = int(WINAPI*)();
using HookProcFn = LRESULT(CALLBACK*)(int, WPARAM, LPARAM);

struct Library {
    HMODULE module = LoadLibraryA("kestro.dll");
    ~Library() { FreeLibrary(module); }
    FARPROC ByOrdinal(int ordinal) const { return GetProcAddress(module, MAKEINTRESOURCEA(ordinal)); }
    FARPROC ByName(const char* name) const { return GetProcAddress(module, name); }

    SetCommanderFn setCommander = As<SetCommanderFn>(ByOrdinal(3));
    InstallMouseHookFn installMouseHook = As<InstallMouseHookFn>(ByOrdinal(4));
    SetScrollCountFn setScrollCount = As<SetScrollCountFn>(ByOrdinal(5));
    GetScrollCountFn getScrollCount = As<GetScrollCountFn>(ByOrdinal(6));
    HookProcFn getMsgProc = As<HookProcFn>(ByOrdinal(1));
    HookProcFn lowLevelMouseProc = As<HookProcFn>(ByOrdinal(2));
};

// Sets the system's lines-per-notch for one test.
struct SystemWheelLines {
    UINT saved = 3;
    explicit SystemWheelLines(UINT lines)
    {
        SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &saved, 0);
        SystemParametersInfoA(SPI_SETWHEELSCROLLLINES, lines, NULL, 0);
    }
    ~SystemWheelLines() { SystemParametersInfoA(SPI_SETWHEELSCROLLLINES, saved, NULL, 0); }
};

TEST(Exports, EachOrdinalCarriesItsName)
{
    Library library;
    ASSERT_NE(library.module, nullptr);
    const char* names[] = { "GetMsgProc", "LowLevelMouseProc", "SetCommander", "InstallMouseHook", "SetScrollCount",
                            "GetScrollCount", "GetHookCallCount", "SetShiftScroll", "GetShiftScroll",
                            "SetScrollUnfocused", "GetScrollUnfocused", "SetCtrlPage", "GetCtrlPage" };
    for (int ordinal = 1; ordinal <= 13; ++ordinal) {
        EXPECT_NE(library.ByOrdinal(ordinal), nullptr) << ordinal;
        EXPECT_EQ(library.ByOrdinal(ordinal), library.ByName(names[ordinal - 1])) << names[ordinal - 1];
    }
}

// Every call of the low-level hook counts, whatever the event; the message
// hook's do not.
TEST(Exports, LowLevelHookCallsAreCounted)
{
    Library library;
    auto lowLevel = As<HookProcFn>(library.ByOrdinal(2));
    auto calls = As<LONG(WINAPI*)()>(library.ByOrdinal(7));
    MSLLHOOKSTRUCT mouse = {};
    MSG message = {};
    message.message = WM_MOUSEMOVE;
    const LONG before = calls();
    lowLevel(HC_ACTION, WM_MOUSEMOVE, reinterpret_cast<LPARAM>(&mouse));
    lowLevel(-1, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&mouse));
    library.getMsgProc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&message));
    EXPECT_EQ(calls() - before, 2);
}

TEST(Exports, ScrollCountIsStoredWithoutRangeChecks)
{
    Library library;
    for (int count : { 0, -5, 7, 51, -1 }) {
        EXPECT_EQ(library.setScrollCount(count), count);
        EXPECT_EQ(library.getScrollCount(), count);
    }
    library.setScrollCount(3);
}

TEST(Exports, CommanderChangesOnlyWithTheAccessCode)
{
    Library library;
    Commander first;
    Commander second;
    first.reply = second.reply = 0;
    // A wheel notch over no code window is forwarded to the commander; on the
    // NT line, whose hook reads this process's commander.
    MSLLHOOKSTRUCT wheel = {};
    wheel.pt = { 1250, 780 };
    wheel.mouseData = static_cast<DWORD>(WHEEL_DELTA) << 16;
    auto turn = [&] { library.lowLevelMouseProc(HC_ACTION, WM_MOUSEWHEEL, reinterpret_cast<LPARAM>(&wheel)); };
    const MessageSequence one = { { WM_WHEELFORWARD, SB_LINEUP, MAKELPARAM(1250, 780) } };

    library.setCommander(first.window, kCommanderAccessCode);
    turn();
    library.setCommander(second.window, kCommanderAccessCode + 1);
    library.setCommander(NULL, 0);
    turn();
    EXPECT_TRUE(SequenceIs({ one[0], one[0] }, first.received));
    EXPECT_TRUE(SequenceIs({}, second.received));

    library.setCommander(second.window, kCommanderAccessCode);
    turn();
    EXPECT_TRUE(SequenceIs(one, second.received));

    library.setCommander(NULL, kCommanderAccessCode);
    turn();
    EXPECT_EQ(first.received.size(), 2u);
    EXPECT_EQ(second.received.size(), 1u);
}

TEST(HookLifetime, EveryCallTakesTheSystemWheelSetting)
{
    Library library;
    SystemWheelLines lines(5);

    // Removing when nothing is installed succeeds and still reads the setting.
    library.setScrollCount(7);
    EXPECT_EQ(library.installMouseHook(0), 1);
    EXPECT_EQ(library.getScrollCount(), 5);

    library.setScrollCount(7);
    EXPECT_EQ(library.installMouseHook(1), 1);
    EXPECT_EQ(library.getScrollCount(), 5);
    library.setScrollCount(9);
    EXPECT_EQ(library.installMouseHook(0), 1);
    EXPECT_EQ(library.getScrollCount(), 5);
    EXPECT_EQ(library.installMouseHook(0), 1);
}

TEST(HookLifetime, InstallsOnBothPlatformLines)
{
    for (const char* exe : { "hookhost.exe", "hookhost98.exe" }) {
        ChildProcess host = StartChild(exe, "/count:6");
        HWND hostWindow = WaitForWindow("KestroHookHost", host.processId);
        ASSERT_NE(hostWindow, nullptr) << exe;
        EXPECT_EQ(SendMessageA(hostWindow, HH_INSTALLED, 0, 0), 1) << exe;
        EXPECT_EQ(SendMessageA(hostWindow, HH_SCROLLCOUNT, 0, 0), 6) << exe;
        // The host removes the hook on its way out and reports 0 only then.
        EXPECT_EQ(EndChild(host), 0u) << exe;
    }
}

TEST(HookLifetime, AnEndedThreadLeavesTheModuleHandleForInstalling)
{
    // The message hook needs the module handle; a worker thread that has
    // come and gone must not have cleared it.
    ChildProcess host = StartChild("hookhost98.exe", "/thread");
    HWND hostWindow = WaitForWindow("KestroHookHost", host.processId);
    ASSERT_NE(hostWindow, nullptr) << "the host gave up, exit code " << WaitChild(host, 2000);
    EXPECT_EQ(SendMessageA(hostWindow, HH_INSTALLED, 0, 0), 1);
    EXPECT_EQ(EndChild(host), 0u);
}

// Shared on Windows 9x, whose message hook reads them in every process; on the
// NT line each process's own, or one session's count would be every session's.
TEST(SharedState, CountIsSharedOn9xAndPerProcessOnNT)
{
    for (const char* exe : { "hookhost.exe", "hookhost98.exe" }) {
        SCOPED_TRACE(exe);
        const bool shared = lstrcmpA(exe, "hookhost98.exe") == 0;
        ChildProcess first = StartChild(exe, "/count:9");
        HWND firstWindow = WaitForWindow("KestroHookHost", first.processId);
        ChildProcess second = StartChild(exe, "/count:4");
        HWND secondWindow = WaitForWindow("KestroHookHost", second.processId);
        ASSERT_TRUE(firstWindow && secondWindow);
        EXPECT_EQ(SendMessageA(firstWindow, HH_SCROLLCOUNT, 0, 0), shared ? 4 : 9);
        EXPECT_EQ(SendMessageA(secondWindow, HH_SETSCROLLCOUNT, static_cast<WPARAM>(-2), 0), -2);
        EXPECT_EQ(SendMessageA(firstWindow, HH_SCROLLCOUNT, 0, 0), shared ? -2 : 9);
        EXPECT_EQ(SendMessageA(firstWindow, HH_SETSCROLLCOUNT, 17, 0), 17);
        EXPECT_EQ(SendMessageA(secondWindow, HH_SCROLLCOUNT, 0, 0), shared ? 17 : -2);
        EndChild(second);
        EndChild(first);
    }
}

// On Windows 9x CallNextHookEx needs the installed hook, which only the
// installing process holds; a process that the system maps the library into
// passes it on all the same: the host that installed it can remove it by it.
HHOOK passedOn = NULL;
LRESULT WINAPI RecordNextHook(HHOOK hook, int, WPARAM, LPARAM)
{
    passedOn = hook;
    return 0;
}

TEST(SharedState, AMappedProcessPassesTheInstalledHookOn)
{
    ChildProcess host = StartChild("hookhost98.exe");
    HWND hostWindow = WaitForWindow("KestroHookHost", host.processId);
    ASSERT_NE(hostWindow, nullptr);
    Library library;
    const FARPROC next = GetProcAddress(GetModuleHandleA("user32.dll"), "CallNextHookEx");
    void** slot = ImportSlot(library.module, "user32.dll", next);
    ASSERT_TRUE(slot && Patch(slot, reinterpret_cast<void*>(RecordNextHook)));
    MSG message = {};
    library.getMsgProc(HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&message));
    Patch(slot, reinterpret_cast<void*>(next));
    EXPECT_NE(passedOn, nullptr);
    EXPECT_EQ(SendMessageA(hostWindow, HH_UNHOOK, reinterpret_cast<WPARAM>(passedOn), 0), 1) << "not the host's hook";
    EndChild(host);
}

} // namespace
