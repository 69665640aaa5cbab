// Velmora.exe as separate processes: start-up paths, the main window's
// answers and the tray icon.
#include "traytest.h"
#include "kestro.h"
#include "mainwnd.h"
#include "../../common/wheelpane.h"
#include <deque>
#include <sddl.h>
#include "policy.h"
#include "store.h"
#include "../../tools/codewin/codewin.h"
#include "../../tools/hookhost/hookhost.h"

namespace {

const UINT kQuitInstance = RegisterWindowMessageA("Velmora5");

struct Running {
    ChildProcess process;
    HWND window = NULL;
};

// The scroll count in the library of a running program.
int LibraryCount(const Running& running) { return static_cast<int>(CallLibraryIn(running.process, 6)); }

class VelmoraProgram : public StoredSettings {
protected:
    // Everything started is ended by the fixture, whatever the test did.
    std::deque<Running> runs;
    std::deque<ChildProcess> others;

    Running& Start(const std::string& exe, const std::string& arguments)
    {
        runs.emplace_back();
        Running& running = runs.back();
        running.process = StartChild(exe, arguments);
        running.window = WaitForWindow("Velmora5", running.process.processId);
        return running;
    }
    Running& StartVelmora(const std::string& arguments = "/background") { return Start("Velmora.exe", arguments); }
    ChildProcess& StartOther(const std::string& exe, const std::string& arguments)
    {
        others.push_back(StartChild(exe, arguments));
        return others.back();
    }
    // Runs a start that is expected to end by itself; its exit code.
    DWORD RunToEnd(const std::string& arguments)
    {
        ChildProcess child = StartChild("Velmora.exe", arguments);
        const DWORD code = WaitChild(child, 15000);
        EndChild(child);
        return code;
    }
    HWND AboutBoxOf(const Running& running) { return FindProcessWindow("#32770", running.process.processId); }
    DWORD Exit(Running& running)
    {
        PostMessageA(running.window, WM_COMMAND, IDM_EXIT, 0);
        return WaitChild(running.process);
    }
    void TearDown() override
    {
        for (Running& running : runs)
            EndChild(running.process);
        for (ChildProcess& child : others)
            EndChild(child);
        StoredSettings::TearDown();
    }
};

TEST_F(VelmoraProgram, SecondStartExitsWithOneAndChangesNothing)
{
    PutDword(VELMORA_OPTION_KEY, "ScrollCount", 5);
    Running& first = StartVelmora();
    ASSERT_NE(first.window, nullptr);
    ASSERT_EQ(LibraryCount(first), 5);

    PutDword(VELMORA_OPTION_KEY, "ScrollCount", 9);
    PutWindowList({ "SomeClass" });
    EXPECT_EQ(RunToEnd("/background"), 1u);
    EXPECT_EQ(RunToEnd(""), 1u) << "no About box either";
    EXPECT_EQ(LibraryCount(first), 5) << "the second start touched the library";
    EXPECT_TRUE(IsWindow(first.window));
    EXPECT_TRUE(TrayIconExists(first.window));
    EXPECT_EQ(Exit(first), 0u);
}

// A copy run as administrator: its mutex refuses a normal start access.
// Made here with a DACL that grants only SYNCHRONIZE, which Wine enforces.
TEST_F(VelmoraProgram, AMutexThatRefusesAccessCountsAsRunning)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;0x00100000;;;WD)", SDDL_REVISION_1,
                                                                     &descriptor, NULL));
    SECURITY_ATTRIBUTES attributes = { sizeof attributes, descriptor, FALSE };
    HANDLE mutex = CreateMutexA(&attributes, FALSE, "Velmora5");
    LocalFree(descriptor);
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Velmora5"), nullptr) << "the DACL is not enforced";
    EXPECT_EQ(RunToEnd("/background"), 1u);
    EXPECT_EQ(FindProcessWindow("Velmora5"), nullptr);
    CloseHandle(mutex);
}

// The Run value of this very file, written with another case.
std::string OwnRunValue() { return "\"" + std::string(CharUpperA(&(BinDir() + "\\Velmora.exe")[0])) + "\" /background"; }

TEST_F(VelmoraProgram, UninstallEndsTheRunningInstanceAndKeepsTheSettings)
{
    PutDword(VELMORA_OPTION_KEY, "ScrollCount", 4);
    PutString(VELMORA_RUN_KEY, "Velmora5", OwnRunValue());
    Running& running = StartVelmora();
    ASSERT_TRUE(TrayIconExists(running.window));

    EXPECT_EQ(RunToEnd("/Uninstall"), 0u);
    EXPECT_EQ(WaitChild(running.process), 0u) << "the running instance did not end through its loop";
    EXPECT_FALSE(TrayIconExists(running.window));
    EXPECT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5").present);
    EXPECT_TRUE(GetValue(VELMORA_OPTION_KEY, "ScrollCount").present);
}

TEST_F(VelmoraProgram, UninstallWithoutAnInstanceStillRemovesTheRunValue)
{
    PutWindowList({ "Kept" });
    PutString(VELMORA_RUN_KEY, "Velmora5", OwnRunValue());
    EXPECT_EQ(RunToEnd("/Uninstall"), 0u);
    EXPECT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5").present);
    EXPECT_TRUE(GetValue(VELMORA_WINDOWLIST_KEY, "0").present);

    // Another copy's Run value is that copy's to remove.
    PutString(VELMORA_RUN_KEY, "Velmora5", "\"C:\\Velmora.exe\" /background");
    EXPECT_EQ(RunToEnd("/Uninstall"), 0u);
    EXPECT_EQ(GetValue(VELMORA_RUN_KEY, "Velmora5").Text(), "\"C:\\Velmora.exe\" /background");

    PutString(VELMORA_RUN_KEY, "Velmora5", OwnRunValue());
    EXPECT_EQ(RunToEnd("/background /Uninstall"), 0u) << "both switches take the uninstall path";
    EXPECT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5").present);
    EXPECT_EQ(FindProcessWindow("Velmora5"), nullptr);
}

// Installers' stop: the running copy ends before the exit, and the registry stays.
TEST_F(VelmoraProgram, StopEndsTheRunningInstanceAndChangesNothing)
{
    PutString(VELMORA_RUN_KEY, "Velmora5", OwnRunValue());
    Running& running = StartVelmora();
    EXPECT_EQ(RunToEnd("/Stop"), 0u);
    EXPECT_EQ(WaitForSingleObject(running.process.process, 0), WAIT_OBJECT_0) << "still running after the exit";
    EXPECT_EQ(GetValue(VELMORA_RUN_KEY, "Velmora5").Text(), OwnRunValue());
    EXPECT_EQ(RunToEnd("/Stop"), 0u) << "with no copy running";
}

// "Disabled" keeps a logon start from running and the user's Run value as it is; a start by the
// policy's own value outlives the policy only until it runs.
TEST_F(VelmoraProgram, LogonStartLeavesAtOnceWhileThePolicyForbidsIt)
{
    PutString(VELMORA_RUN_KEY, "Velmora5", OwnRunValue());
    PutString(VELMORA_RUN_KEY, "Velmora5.Policy", OwnRunValue() + " /policy");
    PutDword(VELMORA_POLICY_KEY, "RunAtLogon", 0);
    EXPECT_EQ(RunToEnd("/background"), 0u);
    RegDeleteTreeA(HKEY_CURRENT_USER, VELMORA_POLICY_KEY);
    EXPECT_EQ(RunToEnd("/background /policy"), 0u);
    EXPECT_EQ(FindProcessWindow("Velmora5"), nullptr);
    EXPECT_EQ(GetValue(VELMORA_RUN_KEY, "Velmora5").Text(), OwnRunValue());
    EXPECT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5.Policy").present) << "left behind";
}

// Removing one copy ends the copies of its own folder only: a machine copy keeps running.
TEST_F(VelmoraProgram, StopHereEndsOnlyTheCopiesOfItsOwnFolder)
{
    const std::string other = BinDir() + "\\stophere";
    CreateDirectoryA(other.c_str(), NULL);
    for (const char* name : { "\\Velmora.exe", "\\kestro.dll" })
        ASSERT_TRUE(CopyFileA((BinDir() + name).c_str(), (other + name).c_str(), FALSE));
    Running& running = Start("stophere\\Velmora.exe", "/background");
    EXPECT_EQ(RunToEnd("/StopHere"), 0u);
    EXPECT_EQ(WaitForSingleObject(running.process.process, 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "ended from another folder";
    EXPECT_EQ(WaitChild(StartOther("stophere\\Velmora.exe", "/StopHere"), 15000), 0u);
    EXPECT_EQ(WaitChild(running.process), 0u) << "its own folder's copy still runs";
    for (const char* name : { "\\Velmora.exe", "\\kestro.dll" })
        DeleteFileA((other + name).c_str());
    RemoveDirectoryA(other.c_str());
}

TEST_F(VelmoraProgram, LowerCaseUninstallIsNotASwitch)
{
    PutString(VELMORA_RUN_KEY, "Velmora5", "\"C:\\Velmora.exe\" /background");
    Running& running = StartVelmora("/uninstall /background");
    ASSERT_NE(running.window, nullptr) << "it should have started normally";
    EXPECT_EQ(RunToEnd("/uninstall"), 1u);
    EXPECT_TRUE(GetValue(VELMORA_RUN_KEY, "Velmora5").present);
    EXPECT_EQ(Exit(running), 0u);
}

TEST_F(VelmoraProgram, AboutBoxAtStartUnlessBackgroundAppearsAnywhere)
{
    Running& plain = StartVelmora("");
    ASSERT_NE(plain.window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return AboutBoxOf(plain) != NULL; })) << "a plain start shows the About box";
    EXPECT_TRUE(TrayIconExists(plain.window)) << "the icon is added before the box opens";
    EndChild(plain.process);

    // The program's own path holds the switch.
    const std::string dir = BinDir() + "\\background";
    CreateDirectoryA(dir.c_str(), NULL);
    ASSERT_TRUE(CopyFileA((BinDir() + "\\Velmora.exe").c_str(), (dir + "\\Velmora.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((BinDir() + "\\kestro.dll").c_str(), (dir + "\\kestro.dll").c_str(), FALSE));
    const std::string korean = "\xb0\xa1\xb3\xaa\xb4\xd9 "; // "가나다 "
    std::string longLine;
    while (longLine.size() < 29980)
        longLine += korean;
    const std::pair<std::string, std::string> starts[] = {
        { "/background\\Velmora.exe", "" },
        { "Velmora.exe", longLine + "/background" },
        { "Velmora.exe", "x/backgroundx" },
    };
    for (const auto& start : starts) {
        SCOPED_TRACE(start.first + " with " + std::to_string(start.second.size()) + " characters of arguments");
        Running& background = Start(start.first, start.second);
        ASSERT_NE(background.window, nullptr);
        PumpFor(1000);
        EXPECT_EQ(AboutBoxOf(background), nullptr);
        EXPECT_EQ(Exit(background), 0u);
    }

    Running& longPlain = StartVelmora(longLine);
    ASSERT_NE(longPlain.window, nullptr) << "a long double-byte command line without switches";
    EXPECT_TRUE(WaitUntil([&] { return AboutBoxOf(longPlain) != NULL; }));
}

TEST_F(VelmoraProgram, ExitAndQuitInstanceEndTheSameWay)
{
    for (int viaQuitMessage = 0; viaQuitMessage < 2; ++viaQuitMessage) {
        SCOPED_TRACE(viaQuitMessage ? "WM_QUITINSTANCE" : "Exit command");
        Running& running = StartVelmora();
        ASSERT_TRUE(TrayIconExists(running.window));
        if (viaQuitMessage)
            PostMessageA(running.window, kQuitInstance, 0, 0);
        else
            PostMessageA(running.window, WM_COMMAND, IDM_EXIT, 0);
        EXPECT_EQ(WaitChild(running.process), 0u);
        EXPECT_FALSE(TrayIconExists(running.window));
    }
}

TEST_F(VelmoraProgram, LibraryHoldsTheStoredScrollCount)
{
    const std::pair<DWORD, int> cases[] = { { 7, 7 }, { 50, 50 }, { 0, 3 }, { 51, 3 } };
    for (const auto& c : cases) {
        PutDword(VELMORA_OPTION_KEY, "ScrollCount", c.first);
        Running& running = StartVelmora();
        EXPECT_EQ(LibraryCount(running), c.second) << "stored " << c.first;
        EXPECT_EQ(Exit(running), 0u);
    }
}

// The shell lost its icons (a restart of it): the program puts its own back.
TEST_F(VelmoraProgram, TrayIconComesBackWhenTheTaskbarIsCreated)
{
    Running& running = StartVelmora();
    ASSERT_TRUE(TrayIconExists(running.window));
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = running.window;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &icon));
    ASSERT_FALSE(TrayIconExists(running.window));
    SendMessageA(running.window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconExists(running.window));
    SendMessageA(running.window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(TrayIconExists(running.window)) << "a second announcement with the icon still there";
    EXPECT_EQ(Exit(running), 0u);
}

// A sample code window of a given class, by default with the focus on its
// edit child.
struct CodeWindow {
    ChildProcess process;
    HWND window = NULL;
    CodeWindow(const std::string& className, const char* at = "/at:100,100,500,400", const char* focus = "/child")
    {
        process = StartChild("codewin.exe", "/class:" + className + " " + focus + " " + at);
        window = WaitForWindow(className.c_str(), process.processId);
    }
    ~CodeWindow() { EndChild(process); }
    bool Focus()
    {
        PostMessageA(window, CW_FOCUS, 0, 0);
        return WaitUntil([&] { return GetForegroundWindow() == window; });
    }
    HWND LowerBar() { return reinterpret_cast<HWND>(SendMessageA(window, CW_GETBAR, 1, 0)); }
    POINT LowerPane() { return ClientPoint(window, 0.5, 0.8); }
    void Clear() { SendMessageA(window, CW_CLEAR, 0, 0); }
};

TEST_F(VelmoraProgram, ForwardedWheelScrollsOnlyListedClasses)
{
    PutWindowList({ "VelmoraOther", "VelmoraListed" });
    PutDword(VELMORA_OPTION_KEY, "ScrollCount", 2);
    Running& running = StartVelmora();
    ASSERT_NE(running.window, nullptr);

    CodeWindow listed("VelmoraListed");
    ASSERT_TRUE(listed.Focus());
    const POINT point = listed.LowerPane();
    ASSERT_TRUE(MoveCursor(point));
    EXPECT_EQ(SendMessageA(running.window, WM_WHEELFORWARD, SB_LINEDOWN, MAKELPARAM(point.x, point.y)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, listed.LowerBar(), 2), CodeWindowRecord(listed.window)));

    // A real wheel notch goes through the hook and the forward.
    listed.Clear();
    ASSERT_TRUE(Xdo("click 4"));
    EXPECT_TRUE(WaitUntil([&] { return CodeWindowRecord(listed.window).size() >= 4; }));
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEUP, listed.LowerBar(), 2), CodeWindowRecord(listed.window)));

    CodeWindow unlisted("VelmoraUnlisted", "/at:650,100,400,300");
    ASSERT_TRUE(unlisted.Focus());
    const POINT other = unlisted.LowerPane();
    ASSERT_TRUE(MoveCursor(other));
    EXPECT_EQ(SendMessageA(running.window, WM_WHEELFORWARD, SB_LINEDOWN, MAKELPARAM(other.x, other.y)), 0);
    EXPECT_TRUE(SequenceIs({}, CodeWindowRecord(unlisted.window)));
    EXPECT_EQ(Exit(running), 0u);
}

// Runs the library's InstallMouseHook(install) on a new thread of the running
// program; its result.
DWORD InstallHookFromAThreadOf(const ChildProcess& program, int install)
{
    return CallLibraryIn(program, 4, static_cast<DWORD>(install));
}

// Low-level hook of this process, installed after the program's: it sees a
// wheel event first, unless the program has put its own hook in front again.
int wheelsSeenFirst = 0;
LRESULT CALLBACK CountingHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_MOUSEWHEEL)
        ++wheelsSeenFirst;
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// The system drops a low-level hook silently when the program's thread
// misses the hook time-out. Made here as it looks from inside the program:
// one thread removes the hook, the next installs one that ends with it, and
// the library is left holding that stale handle and the system's count.
TEST_F(VelmoraProgram, AHookTheSystemDroppedComesBackWithTheStoredCount)
{
    PutDword(VELMORA_OPTION_KEY, "ScrollCount", 5);
    CodeWindow code("VbaWindow", "/at:100,100,500,400", "");
    Running& running = StartVelmora();
    ASSERT_NE(running.window, nullptr);
    HHOOK counting = SetWindowsHookExA(WH_MOUSE_LL, CountingHook, GetModuleHandleA(NULL), 0);
    ASSERT_NE(counting, nullptr);
    ASSERT_TRUE(code.Focus());
    const POINT pane = code.LowerPane();
    const POINT elsewhere = { pane.x - 40, pane.y - 20 };
    auto notch = [&](size_t messages) {
        code.Clear();
        wheelsSeenFirst = 0;
        EXPECT_TRUE(MoveCursor(pane));
        EXPECT_TRUE(Xdo("click 5"));
        WaitUntil([&] { return CodeWindowRecord(code.window).size() >= messages && wheelsSeenFirst > 0; }, 3000);
        PumpFor(300);
        return CodeWindowRecord(code.window);
    };

    // While the hook works, moving the mouse over several looks reinstalls
    // nothing: this process's hook still comes first.
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(MoveCursor(i % 2 ? pane : elsewhere));
        PumpFor(800);
    }
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.LowerBar(), 5), notch(10)));
    EXPECT_EQ(wheelsSeenFirst, 1);

    EXPECT_EQ(InstallHookFromAThreadOf(running.process, 0), 1u);
    EXPECT_EQ(InstallHookFromAThreadOf(running.process, 1), 1u);
    ASSERT_NE(LibraryCount(running), 5) << "installing takes the system's count";
    EXPECT_TRUE(SequenceIs({}, notch(1))) << "the hook is still there";

    // The next mouse movement brings it back, with the stored count, in front.
    ASSERT_TRUE(MoveCursor(elsewhere));
    EXPECT_TRUE(WaitUntil([&] { return LibraryCount(running) == 5; }, 10000));
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.LowerBar(), 5), notch(10)));
    EXPECT_EQ(wheelsSeenFirst, 0);

    UnhookWindowsHookEx(counting);
    EXPECT_EQ(Exit(running), 0u);
}

// Which window the library forwards to, seen from a commander of our own.
TEST_F(VelmoraProgram, CommanderOnlyWithAListAndNotWhileSettingsAreOpen)
{
    ChildProcess& host = StartOther("hookhost.exe", "/commander /reply:0");
    HWND hostWindow = WaitForWindow("KestroHookHost", host.processId);
    ASSERT_NE(hostWindow, nullptr);
    CodeWindow listed("VelmoraListed");
    ASSERT_TRUE(listed.Focus());
    ASSERT_TRUE(MoveCursor(listed.LowerPane()));
    auto forwardsToHost = [&] {
        const LRESULT before = SendMessageA(hostWindow, HH_FORWARDCOUNT, 0, 0);
        Xdo("click 5");
        return WaitUntil([&] { return SendMessageA(hostWindow, HH_FORWARDCOUNT, 0, 0) > before; }, 1500);
    };

    Running& empty = StartVelmora();
    EXPECT_TRUE(forwardsToHost()) << "an empty list must leave the commander alone";
    EXPECT_EQ(Exit(empty), 0u);

    SendMessageA(hostWindow, HH_SETCOMMANDER, 1, 0);
    PutWindowList({ "VelmoraListed" });
    Running& running = StartVelmora();
    ASSERT_TRUE(listed.Focus());
    EXPECT_FALSE(forwardsToHost()) << "with a list the program is the commander";
    listed.Clear();
    Xdo("click 5");
    EXPECT_TRUE(WaitUntil([&] { return !CodeWindowRecord(listed.window).empty(); }));

    // The settings dialog withdraws the registration; so the host, made
    // commander again, keeps receiving until the dialog closes.
    PostMessageA(running.window, WM_COMMAND, IDM_SETTINGS, 0);
    HWND settings = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (settings = FindProcessWindow("#32770", running.process.processId)) != NULL; }));
    SendMessageA(hostWindow, HH_SETCOMMANDER, 1, 0);
    ASSERT_TRUE(listed.Focus());
    EXPECT_TRUE(forwardsToHost());
    PostMessageA(settings, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(settings); }));
    ASSERT_TRUE(listed.Focus());
    EXPECT_FALSE(forwardsToHost()) << "cancelling must register the program again";
    EXPECT_EQ(Exit(running), 0u);
}

HWND VisibleMenuOf(DWORD processId)
{
    HWND menu = FindProcessWindow("#32768", processId);
    return menu && IsWindowVisible(menu) ? menu : NULL;
}

TEST_F(VelmoraProgram, TrayMenuOnlyWhenNoDialogIsOpen)
{
    Running& running = StartVelmora();
    PostMessageA(running.window, WM_COMMAND, IDM_ABOUT, 0);
    HWND about = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (about = FindProcessWindow("#32770", running.process.processId)) != NULL; }));
    PostMessageA(running.window, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    PumpFor(700);
    EXPECT_EQ(VisibleMenuOf(running.process.processId), nullptr);
    PostMessageA(running.window, WM_TRAYNOTIFY, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == about; })) << "a left click raises the box";
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));

    PostMessageA(running.window, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    HWND menu = NULL;
    EXPECT_TRUE(WaitUntil([&] { return (menu = VisibleMenuOf(running.process.processId)) != NULL; }));
    PostMessageA(running.window, WM_CANCELMODE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return VisibleMenuOf(running.process.processId) == NULL; }));
    EXPECT_EQ(Exit(running), 0u);
}

} // namespace
