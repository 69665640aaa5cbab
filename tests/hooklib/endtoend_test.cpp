// Real wheel input from X over the sample code window, in its own process,
// with the hook installed by the host program on each platform line.
#include "hooktest.h"
#include "../../tools/hookhost/hookhost.h"
#include <tlhelp32.h>

namespace {

bool ProcessHasModule(DWORD processId, const char* moduleName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    MODULEENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Module32First(snapshot, &entry); more && !found; more = Module32Next(snapshot, &entry))
        found = lstrcmpiA(entry.szModule, moduleName) == 0;
    CloseHandle(snapshot);
    return found;
}

struct Host {
    ChildProcess child;
    HWND window = NULL;
    Host(const char* exe, const std::string& options)
    {
        child = StartChild(exe, options);
        window = WaitForWindow("KestroHookHost", child.processId);
    }
    ~Host() { End(); }
    DWORD End()
    {
        const DWORD code = child.process ? EndChild(child) : 0;
        window = NULL;
        return code;
    }
    LRESULT Ask(UINT message) const { return SendMessageA(window, message, 0, 0); }
};

bool Wheel(POINT point, bool down)
{
    return MoveCursor(point) && Xdo(down ? "click 5" : "click 4");
}

class EndToEnd : public ::testing::TestWithParam<const char*> {
protected:
    bool MessageLine() const { return lstrcmpA(GetParam(), "hookhost98.exe") == 0; }
};

TEST_P(EndToEnd, ThePaneUnderThePointerScrollsByTheSetCount)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    Host host(GetParam(), "/count:4");
    ASSERT_NE(host.window, nullptr);
    ASSERT_EQ(host.Ask(HH_INSTALLED), 1);
    ASSERT_EQ(host.Ask(HH_SCROLLCOUNT), 4);

    ASSERT_TRUE(Wheel(code.InPane(1), true));
    EXPECT_TRUE(WaitUntil([&] { return code.Record().size() >= 8; }));
    PumpFor(300);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 4), code.Record()));
    EXPECT_EQ(code.TopLine(1), 4);
    EXPECT_EQ(code.TopLine(0), 0);

    code.Clear();
    SendMessageA(host.window, HH_SETSCROLLCOUNT, 2, 0);
    ASSERT_TRUE(Wheel(code.InPane(1), false));
    EXPECT_TRUE(WaitUntil([&] { return code.Record().size() >= 4; }));
    PumpFor(300);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEUP, code.Bar(1), 2), code.Record()));
    EXPECT_EQ(code.TopLine(1), 2);

    // The message hook runs inside the code window's process, the low-level
    // hook in the host's.
    EXPECT_EQ(ProcessHasModule(code.child.processId, "kestro.dll"), MessageLine());

    // Once the host has removed the hook, the wheel scrolls nothing.
    EXPECT_EQ(host.End(), 0u);
    code.Clear();
    ASSERT_TRUE(Wheel(code.InPane(0), true));
    PumpFor(700);
    EXPECT_TRUE(SequenceIs({}, code.Record()));
}

TEST_P(EndToEnd, OtherWindowsGoToTheCommander)
{
    CodeWindow code("/class:OtherEditor", "OtherEditor");
    ASSERT_TRUE(code.TakeFocus());
    Host host(GetParam(), "/commander /reply:0 /count:3");
    ASSERT_EQ(host.Ask(HH_INSTALLED), 1);

    const POINT pane = code.InPane(1);
    ASSERT_TRUE(Wheel(pane, false));
    EXPECT_TRUE(WaitUntil([&] { return host.Ask(HH_FORWARDCOUNT) >= 1; }));
    EXPECT_EQ(host.Ask(HH_LASTWPARAM), SB_LINEUP);
    EXPECT_EQ(host.Ask(HH_LASTLPARAM), MAKELPARAM(pane.x, pane.y));
    EXPECT_TRUE(SequenceIs({}, code.Record()));
}

INSTANTIATE_TEST_SUITE_P(PlatformLines, EndToEnd, ::testing::Values("hookhost.exe", "hookhost98.exe"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.index ? "MessageHook" : "LowLevelHook");
                         });

} // namespace
