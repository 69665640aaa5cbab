// Real wheel input from X over the sample code window, in its own process,
// with the hook installed by the host program on each platform line.
#include "hooktest.h"
#include "../../tools/hookhost/hookhost.h"

namespace {

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

// What a code window started with /wheel records when the notch reaches it.
MessageSequence WheelMessage(POINT point, bool down)
{
    return { { WM_MOUSEWHEEL, MAKEWPARAM(0, down ? -WHEEL_DELTA : WHEEL_DELTA), MAKELPARAM(point.x, point.y) } };
}

class EndToEnd : public ::testing::TestWithParam<const char*> {
protected:
    bool MessageLine() const { return lstrcmpA(GetParam(), "hookhost98.exe") == 0; }
};

// The sample window scrolls on the wheel by itself too; a served notch never
// reaches it, so the pane moves by the set count alone.
TEST_P(EndToEnd, ThePaneUnderThePointerScrollsByTheSetCount)
{
    CodeWindow code("/wheel");
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
    EXPECT_EQ(ProcessModuleBase(code.child.processId, "kestro.dll") != nullptr, MessageLine());

    // Once the host has removed the hook, the window has the wheel to itself.
    EXPECT_EQ(host.End(), 0u);
    code.Clear();
    ASSERT_TRUE(Wheel(code.InPane(0), true));
    PumpFor(700);
    EXPECT_TRUE(SequenceIs(WheelMessage(code.InPane(0), true), code.Record()));
    EXPECT_EQ(code.TopLine(0), 3);
}

// A notch the commander handles is taken; one it answers 0 goes on to the window.
TEST_P(EndToEnd, OtherWindowsGoToTheCommander)
{
    CodeWindow code("/class:OtherEditor /wheel", "OtherEditor");
    ASSERT_TRUE(code.TakeFocus());
    const POINT pane = code.InPane(1);
    for (int reply : { 0, 1 }) {
        SCOPED_TRACE(reply);
        code.Clear();
        Host host(GetParam(), "/commander /count:3 /reply:" + std::to_string(reply));
        ASSERT_EQ(host.Ask(HH_INSTALLED), 1);
        ASSERT_TRUE(Wheel(pane, false));
        EXPECT_TRUE(WaitUntil([&] { return host.Ask(HH_FORWARDCOUNT) >= 1; }));
        PumpFor(300);
        EXPECT_EQ(host.Ask(HH_LASTWPARAM), SB_LINEUP);
        EXPECT_EQ(host.Ask(HH_LASTLPARAM), MAKELPARAM(pane.x, pane.y));
        EXPECT_TRUE(SequenceIs(reply ? MessageSequence{} : WheelMessage(pane, false), code.Record()));
    }
}

// Touchpads send many small deltas; SendInput passes them on unchanged, as
// the X server cannot. The window, which would scroll on them by itself, gets
// none of them.
bool SendWheel(short delta)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    input.mi.mouseData = static_cast<DWORD>(delta);
    return SendInput(1, &input, sizeof input) == 1;
}

TEST(EndToEndSmallDeltas, ANotchInSmallStepsScrollsOneNotch)
{
    CodeWindow code("/wheel");
    ASSERT_TRUE(code.TakeFocus());
    Host host("hookhost.exe", "/count:3");
    ASSERT_EQ(host.Ask(HH_INSTALLED), 1);
    ASSERT_TRUE(MoveCursor(code.InPane(1)));

    for (short step : { -30, -10 }) {
        SCOPED_TRACE(step);
        code.Clear();
        for (int sent = 0; sent < WHEEL_DELTA; sent -= step)
            ASSERT_TRUE(SendWheel(step));
        EXPECT_TRUE(WaitUntil([&] { return code.Record().size() >= 6; }));
        PumpFor(300);
        EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 3), code.Record()));
    }
    EXPECT_EQ(code.TopLine(1), 6);
}

INSTANTIATE_TEST_SUITE_P(PlatformLines, EndToEnd, ::testing::Values("hookhost.exe", "hookhost98.exe"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.index ? "MessageHook" : "LowLevelHook");
                         });

} // namespace
