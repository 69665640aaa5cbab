// The two hook procedures: called directly from inside a live hook chain (so
// that a CallNextHookEx reaches a recording hook), and through the system.
#include "hooktest.h"
#include "hookstate.h"
#include "kestro.h"
#include "wheelpane.h"
#include "../../tools/hookhost/hookhost.h"
#include <algorithm>
#include <functional>

namespace {

const LRESULT kChainResult = 0x5A5A;
const UINT kTrigger = WM_APP + 300;

struct ChainCall {
    int code;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<ChainCall> chainCalls;
std::function<void()> chainBody;
bool inChainBody = false;

LRESULT CALLBACK DownstreamHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (!inChainBody)
        return CallNextHookEx(NULL, code, wParam, lParam);
    chainCalls.push_back({ code, wParam, lParam });
    return kChainResult;
}

LRESULT CALLBACK UpstreamHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code != HC_ACTION || message->message != kTrigger || !chainBody)
        return CallNextHookEx(NULL, code, wParam, lParam);
    inChainBody = true;
    chainBody();
    inChainBody = false;
    chainBody = nullptr;
    return 0;
}

// Runs `body` while the system is calling a hook of this thread whose next
// hook records its calls and answers kChainResult.
bool RunInHookChain(const std::function<void()>& body)
{
    chainCalls.clear();
    HHOOK downstream = SetWindowsHookExA(WH_GETMESSAGE, DownstreamHook, NULL, GetCurrentThreadId());
    HHOOK upstream = SetWindowsHookExA(WH_GETMESSAGE, UpstreamHook, NULL, GetCurrentThreadId());
    chainBody = body;
    PostThreadMessageA(GetCurrentThreadId(), kTrigger, 0, 0);
    MSG message;
    PeekMessageA(&message, NULL, kTrigger, kTrigger, PM_REMOVE);
    const bool ran = !chainBody;
    chainBody = nullptr;
    UnhookWindowsHookEx(upstream);
    UnhookWindowsHookEx(downstream);
    return ran;
}

enum class Procedure { LowLevel, GetMessage };

const char* Name(Procedure procedure)
{
    return procedure == Procedure::LowLevel ? "LowLevelMouseProc" : "GetMsgProc";
}

struct Event {
    int code = HC_ACTION;
    UINT message = WM_MOUSEWHEEL;
    short delta = -WHEEL_DELTA;
    POINT point = { 0, 0 };
    LPARAM messageLParam = 0; // GetMsgProc only; 0 packs `point`
    WPARAM removal = PM_REMOVE; // GetMsgProc only
    WORD keys = 0; // MK_SHIFT, MK_CONTROL: in the message, or held down for LowLevelMouseProc
};

struct Outcome {
    LRESULT result = -1;
    std::vector<ChainCall> chained;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    Procedure procedure = Procedure::LowLevel;
    UINT message = 0, delivered = 0; // GetMsgProc: the MSG's message before and after
};

// Calls the procedure with the event as the system would hand it over.
Outcome Call(Procedure procedure, const Event& event)
{
    Outcome outcome;
    outcome.procedure = procedure;
    MSLLHOOKSTRUCT mouse = {};
    MSG message = {};
    if (procedure == Procedure::LowLevel) {
        mouse.pt = event.point;
        mouse.mouseData = static_cast<DWORD>(static_cast<WORD>(event.delta)) << 16;
        outcome.wParam = event.message;
        outcome.lParam = reinterpret_cast<LPARAM>(&mouse);
    } else {
        message.message = event.message;
        message.wParam = MAKEWPARAM(event.keys, static_cast<WORD>(event.delta));
        message.lParam = event.messageLParam ? event.messageLParam : MAKELPARAM(event.point.x, event.point.y);
        outcome.wParam = event.removal;
        outcome.lParam = reinterpret_cast<LPARAM>(&message);
    }
    const bool shift = procedure == Procedure::LowLevel && (event.keys & MK_SHIFT);
    const bool control = procedure == Procedure::LowLevel && (event.keys & MK_CONTROL);
    keybd_event(VK_SHIFT, 0, shift ? 0 : KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0, control ? 0 : KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(RunInHookChain([&] {
        outcome.result = procedure == Procedure::LowLevel ? LowLevelMouseProc(event.code, outcome.wParam, outcome.lParam)
                                                          : GetMsgProc(event.code, outcome.wParam, outcome.lParam);
    }));
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
    outcome.chained = chainCalls;
    outcome.message = event.message;
    outcome.delivered = procedure == Procedure::LowLevel ? event.message : message.message;
    return outcome;
}

::testing::AssertionResult PassedDown(const Outcome& outcome, int code)
{
    if (outcome.result != kChainResult)
        return ::testing::AssertionFailure() << "result " << outcome.result << ", not the next hook's";
    if (outcome.chained.size() != 1)
        return ::testing::AssertionFailure() << "next hook called " << outcome.chained.size() << " times";
    const ChainCall& call = outcome.chained[0];
    if (call.code != code || call.wParam != outcome.wParam || call.lParam != outcome.lParam)
        return ::testing::AssertionFailure() << "next hook called with other arguments";
    if (outcome.delivered != outcome.message)
        return ::testing::AssertionFailure() << "message changed to " << outcome.delivered;
    return ::testing::AssertionSuccess();
}

// Taken whole: the low-level hook returns 1 so that the system drops the
// event, the message hook turns the message into WM_NULL.
::testing::AssertionResult Consumed(const Outcome& outcome)
{
    const bool lowLevel = outcome.procedure == Procedure::LowLevel;
    if (outcome.result != (lowLevel ? 1 : 0) || outcome.delivered != (lowLevel ? outcome.message : WM_NULL))
        return ::testing::AssertionFailure() << "result " << outcome.result << ", message " << outcome.delivered;
    if (!outcome.chained.empty())
        return ::testing::AssertionFailure() << "next hook called";
    return ::testing::AssertionSuccess();
}

MessageSequence Forward(int direction, LPARAM packed)
{
    return { { WM_WHEELFORWARD, static_cast<WPARAM>(direction), packed } };
}

// A point away from every window of the tests.
const POINT kEmptySpot = { 1250, 780 };
const LPARAM kEmptySpotPacked = MAKELPARAM(1250, 780);

class HookProcedures : public ::testing::Test {
protected:
    void SetUp() override { wheelRemainder = tiltRemainder = 0; }
    void TearDown() override
    {
        SetCommander(NULL, kCommanderAccessCode);
        SetShiftScroll(0);
        SetScrollUnfocused(0);
        SetCtrlPage(0);
        wheelRemainder = tiltRemainder = 0;
        notchBudgetMs = kLongNotchBudgetMs;
    }
};

TEST_F(HookProcedures, DecisionTable)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    const POINT pane = code.InPane(1);
    ASSERT_TRUE(MoveCursor(pane));
    SetScrollCount(2);
    Commander commander;

    for (Procedure procedure : { Procedure::LowLevel, Procedure::GetMessage }) {
        SCOPED_TRACE(Name(procedure));
        code.Clear();
        commander.received.clear();
        SetCommander(commander.window, kCommanderAccessCode);

        Event negative;
        negative.code = -1;
        negative.point = pane;
        EXPECT_TRUE(PassedDown(Call(procedure, negative), -1));

        for (UINT other : { 0x0200u, 0x0201u, procedure == Procedure::GetMessage ? 0x020Eu : 0x0200u }) {
            Event notWheel;
            notWheel.message = other;
            notWheel.point = pane;
            EXPECT_TRUE(PassedDown(Call(procedure, notWheel), HC_ACTION)) << other;
        }
        EXPECT_TRUE(SequenceIs({}, commander.received));
        EXPECT_TRUE(SequenceIs({}, code.Record()));

        Event scrolled;
        scrolled.point = pane;
        EXPECT_TRUE(Consumed(Call(procedure, scrolled)));
        EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 2), code.Record()));
        EXPECT_TRUE(SequenceIs({}, commander.received));
        code.Clear();

        Event missed;
        missed.point = kEmptySpot;
        commander.reply = 1;
        EXPECT_TRUE(Consumed(Call(procedure, missed)));
        EXPECT_TRUE(SequenceIs(Forward(SB_LINEDOWN, kEmptySpotPacked), commander.received));

        commander.received.clear();
        commander.reply = 0;
        EXPECT_TRUE(PassedDown(Call(procedure, missed), HC_ACTION));
        EXPECT_TRUE(SequenceIs(Forward(SB_LINEDOWN, kEmptySpotPacked), commander.received));

        commander.received.clear();
        SetCommander(NULL, kCommanderAccessCode);
        EXPECT_TRUE(PassedDown(Call(procedure, missed), HC_ACTION));
        EXPECT_TRUE(SequenceIs({}, commander.received));
        EXPECT_TRUE(SequenceIs({}, code.Record()));
    }
}

TEST_F(HookProcedures, DirectionFollowsTheSignOfTheDeltaOnly)
{
    Commander commander;
    commander.reply = 0;
    SetCommander(commander.window, kCommanderAccessCode);
    const struct {
        short delta;
        int direction;
    } cases[] = { { 120, SB_LINEUP },    { 240, SB_LINEUP },     { 32767, SB_LINEUP },
                  { 0, SB_LINEDOWN },    { -120, SB_LINEDOWN }, { -240, SB_LINEDOWN },
                  { -32768, SB_LINEDOWN } };
    for (Procedure procedure : { Procedure::LowLevel, Procedure::GetMessage }) {
        for (const auto& c : cases) {
            commander.received.clear();
            Event event;
            event.delta = c.delta;
            event.point = kEmptySpot;
            Call(procedure, event);
            EXPECT_TRUE(SequenceIs(Forward(c.direction, kEmptySpotPacked), commander.received))
                << Name(procedure) << " delta " << c.delta;
        }
    }
}

// Tilts (NT line) and, with the option on, Shift+wheel go sideways: right for a
// tilt right or the wheel turned back. Tilts add up apart from the wheel. With
// their options on, Ctrl+wheel is marked page-wise and every notch unfocused.
TEST_F(HookProcedures, TiltsAndShiftWheelGoSidewaysOptionsMarkTheForward)
{
    Commander commander;
    SetCommander(commander.window, kCommanderAccessCode);
    const Procedure low = Procedure::LowLevel, msg = Procedure::GetMessage;
    const int none = -1, left = kForwardSideways | SB_LINELEFT, right = kForwardSideways | SB_LINERIGHT;
    const int page = kForwardPage, unfocused = kForwardUnfocused, probe = kForwardProbe;
    const UINT tilt = WM_MOUSEHWHEEL, wheel = WM_MOUSEWHEEL;
    const WORD both = MK_SHIFT | MK_CONTROL;
    // option: 1 Shift+wheel sideways, 2 Ctrl+wheel page-wise, 4 unfocused windows
    const struct { Procedure procedure; UINT message; short delta; WORD keys; int option, forwarded; } cases[] = {
        { low, tilt, 60, 0, 0, probe | right }, { low, wheel, 60, 0, 0, probe }, { low, tilt, 60, 0, 0, right },
        { low, wheel, 60, 0, 0, SB_LINEUP }, { low, tilt, -240, 0, 0, left }, { low, tilt, 0, MK_SHIFT, 1, none },
        { low, wheel, 120, MK_SHIFT, 1, left }, { low, wheel, -120, MK_SHIFT, 1, right }, { low, wheel, 120, 0, 1, 0 },
        { low, wheel, 120, MK_SHIFT, 0, SB_LINEUP }, { msg, wheel, 0, MK_SHIFT, 1, right },
        { msg, wheel, 120, MK_SHIFT, 0, SB_LINEUP }, { msg, wheel, -120, MK_CONTROL, 1, SB_LINEDOWN },
        { low, wheel, 120, MK_CONTROL, 2, page | SB_LINEUP }, { low, wheel, -120, MK_CONTROL, 5, unfocused | 1 },
        { low, wheel, -120, 0, 2, SB_LINEDOWN }, { low, tilt, 120, MK_CONTROL, 2, right }, { low, wheel, 0, 0, 4, unfocused | 1 },
        { low, wheel, 120, both, 3, page | left }, { msg, wheel, -120, MK_CONTROL, 2, page | SB_LINEDOWN },
        { msg, wheel, 120, both, 6, unfocused | page | SB_LINEUP }, { msg, wheel, 120, MK_CONTROL, 5, unfocused } };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << Name(c.procedure) << c.message << ' ' << c.delta << c.keys << c.option);
        SetShiftScroll(c.option & 1);
        SetCtrlPage(c.option & 2);
        SetScrollUnfocused(c.option & 4);
        commander.received.clear();
        const Outcome outcome = Call(c.procedure, { HC_ACTION, c.message, c.delta, kEmptySpot, 0, PM_REMOVE, c.keys });
        EXPECT_TRUE(c.forwarded == none ? PassedDown(outcome, HC_ACTION) : Consumed(outcome));
        EXPECT_TRUE(SequenceIs(c.forwarded == none ? MessageSequence{} : Forward(c.forwarded, kEmptySpotPacked),
                               commander.received));
    }
}

// With the options on, the code window under the pointer scrolls without the
// focus, and Ctrl+wheel sends it one page pair a notch, whatever the count.
TEST_F(HookProcedures, OptionsServeTheUnfocusedCodeWindowAndPageWithCtrl)
{
    CodeWindow code;
    PaneWindow elsewhere("FocusThief", {}, { 900, 600, 1100, 700 });
    ASSERT_TRUE(elsewhere.TakeFocus());
    const POINT pane = code.InPane(1);
    ASSERT_TRUE(MoveCursor(pane));
    SetScrollCount(2);
    const Procedure low = Procedure::LowLevel, msg = Procedure::GetMessage;
    const MessageSequence none, down = LinePairs(SB_LINEDOWN, code.Bar(1), 2), up = LinePairs(SB_LINEUP, code.Bar(1), 2);
    const struct { Procedure procedure; short delta; WORD keys; int unfocused, ctrlPage; MessageSequence scrolled; } cases[] = {
        { low, -120, 0, 0, 1, none }, { msg, -120, MK_CONTROL, 0, 1, none }, { low, -120, 0, 1, 0, down },
        { low, 120, MK_CONTROL, 1, 0, up }, { low, 120, MK_CONTROL, 1, 1, LinePairs(SB_PAGEUP, code.Bar(1), 1) },
        { msg, -120, 0, 1, 1, down }, { msg, 120, MK_CONTROL, 1, 0, up },
        { msg, -120, MK_CONTROL, 1, 1, LinePairs(SB_PAGEDOWN, code.Bar(1), 1) } };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << Name(c.procedure) << c.delta << ' ' << c.keys << c.unfocused << c.ctrlPage);
        SetScrollUnfocused(c.unfocused);
        SetCtrlPage(c.ctrlPage);
        code.Clear();
        const Outcome outcome = Call(c.procedure, { HC_ACTION, WM_MOUSEWHEEL, c.delta, pane, 0, PM_REMOVE, c.keys });
        EXPECT_TRUE(c.scrolled.empty() ? PassedDown(outcome, HC_ACTION) : Consumed(outcome));
        EXPECT_TRUE(SequenceIs(c.scrolled, code.Record()));
    }

    // The focused code window pages too, and is never scrolled in place of
    // the window under the pointer.
    ASSERT_TRUE(code.TakeFocus());
    code.Clear();
    SetScrollUnfocused(0);
    EXPECT_TRUE(Consumed(Call(low, { HC_ACTION, WM_MOUSEWHEEL, -120, pane, 0, PM_REMOVE, MK_CONTROL })));
    SetScrollUnfocused(1);
    const POINT away = elsewhere.ClientPointAt(20, 20);
    ASSERT_TRUE(MoveCursor(away));
    EXPECT_TRUE(PassedDown(Call(msg, { HC_ACTION, WM_MOUSEWHEEL, -120, away, 0, PM_REMOVE, 0 }), HC_ACTION));
    EXPECT_TRUE(SequenceIs(LinePairs(SB_PAGEDOWN, code.Bar(1), 1), code.Record()));
}

// A full-size delta is one notch, whatever its size; only whole notches
// reach the code window, so four quarter notches scroll once.
TEST_F(HookProcedures, TheCodeWindowGetsWholeNotchesOnly)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    const POINT pane = code.InPane(1);
    ASSERT_TRUE(MoveCursor(pane));
    SetScrollCount(3);
    for (Procedure procedure : { Procedure::LowLevel, Procedure::GetMessage }) {
        SCOPED_TRACE(Name(procedure));
        for (short delta : { 240, -360, 0 }) {
            code.Clear();
            Event event;
            event.delta = delta;
            event.point = pane;
            EXPECT_TRUE(Consumed(Call(procedure, event)));
            EXPECT_TRUE(SequenceIs(LinePairs(delta > 0 ? SB_LINEUP : SB_LINEDOWN, code.Bar(1), 3), code.Record()))
                << "delta " << delta;
        }
        code.Clear();
        Event quarter;
        quarter.delta = 30;
        quarter.point = pane;
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(Consumed(Call(procedure, quarter))) << "the pane's own scroll would move on it";
        EXPECT_TRUE(SequenceIs({}, code.Record()));
        EXPECT_TRUE(Consumed(Call(procedure, quarter)));
        EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEUP, code.Bar(1), 3), code.Record()));
    }
}

// A delta that only adds to the sum asks the commander whether the window is
// served (a probe, which scrolls nothing), and is taken whole when it is.
TEST_F(HookProcedures, SmallDeltasAddUpToWholeNotches)
{
    Commander commander;
    SetCommander(commander.window, kCommanderAccessCode);
    const int none = -1, up = SB_LINEUP, down = SB_LINEDOWN;
    struct Step {
        short delta;
        int notch; // direction forwarded by this event, or none: a probe
    };
    const std::vector<Step> cases[] = {
        { { -30, none }, { -30, none }, { -30, none }, { -30, down } },
        { { 40, none }, { 40, none }, { -40, none }, { -80, down } },   // the reversal dropped the +80
        { { -90, none }, { -120, down }, { -30, none }, { -60, none } }, // the -120 cleared the -90
        { { 100, none }, { 30, up }, { 110, up } },                      // 10 was kept
        { { 0, down }, { 240, up }, { 119, none }, { 1, up } },
    };
    for (LRESULT reply : { 1, 0 }) {
        commander.reply = reply;
        for (Procedure procedure : { Procedure::LowLevel, Procedure::GetMessage }) {
            for (const auto& steps : cases) {
                wheelRemainder = 0;
                for (size_t i = 0; i < steps.size(); ++i) {
                    SCOPED_TRACE(::testing::Message() << Name(procedure) << " reply " << reply << ": event " << i
                                                      << " of the case starting " << steps[0].delta);
                    commander.received.clear();
                    Event event;
                    event.delta = steps[i].delta;
                    event.point = kEmptySpot;
                    const Outcome outcome = Call(procedure, event);
                    const int probe = static_cast<int>(kForwardProbe) | WheelDirection(event.delta);
                    EXPECT_TRUE(reply ? Consumed(outcome) : PassedDown(outcome, HC_ACTION));
                    EXPECT_TRUE(SequenceIs(Forward(steps[i].notch == none ? probe : steps[i].notch, kEmptySpotPacked),
                                           commander.received));
                }
            }
        }
    }
}

// Long runs of odd input: the sum stays below a notch and loses nothing.
TEST_F(HookProcedures, TheSumNeitherOverflowsNorDrifts)
{
    Commander commander;
    commander.reply = 1;
    SetCommander(commander.window, kCommanderAccessCode);
    MSLLHOOKSTRUCT mouse = {};
    mouse.pt = kEmptySpot;
    auto send = [&](short delta) {
        mouse.mouseData = static_cast<DWORD>(static_cast<WORD>(delta)) << 16;
        LowLevelMouseProc(HC_ACTION, WM_MOUSEWHEEL, reinterpret_cast<LPARAM>(&mouse));
        return wheelRemainder > -WHEEL_DELTA && wheelRemainder < WHEEL_DELTA;
    };
    auto notches = [&] {
        return std::count_if(commander.received.begin(), commander.received.end(),
                             [](const RecordedMessage& forward) { return !(forward.wParam & kForwardProbe); });
    };

    // 700,000 down, far past 16 bits, is 5,833 notches and 40 left over; the
    // other events are probes.
    bool bounded = true;
    for (int i = 0; i < 100000; ++i)
        bounded = send(-7) && bounded;
    EXPECT_TRUE(bounded);
    EXPECT_EQ(notches(), 5833);
    EXPECT_EQ(wheelRemainder, -40);

    // Every reversal starts afresh, so alternating 119s never make a notch.
    commander.received.clear();
    for (int i = 0; i < 10000; ++i)
        bounded = send(i % 2 ? -119 : 119) && bounded;
    EXPECT_TRUE(bounded);
    EXPECT_EQ(notches(), 0);

    // The extremes are a notch each and clear the sum.
    for (short extreme : { static_cast<short>(-32768), static_cast<short>(32767) }) {
        send(-100);
        commander.received.clear();
        send(extreme);
        EXPECT_EQ(commander.received.size(), 1u) << extreme;
        EXPECT_EQ(wheelRemainder, 0) << extreme;
    }
}

TEST_F(HookProcedures, CoordinatesTravelAs16BitWords)
{
    Commander commander;
    commander.reply = 1;
    SetCommander(commander.window, kCommanderAccessCode);

    // -5 and -70000 keep their low 16 bits: 0xFFFB and 0xEE90.
    const LPARAM negativePacked = static_cast<LPARAM>(0xEE90FFFBu);
    Event negative;
    negative.point = { -5, -70000 };
    EXPECT_TRUE(Consumed(Call(Procedure::LowLevel, negative)));
    Event beyond;
    beyond.point = { 70000, 65536 + 700 };
    EXPECT_TRUE(Consumed(Call(Procedure::LowLevel, beyond)));
    EXPECT_TRUE(SequenceIs({ { WM_WHEELFORWARD, SB_LINEDOWN, negativePacked },
                             { WM_WHEELFORWARD, SB_LINEDOWN, MAKELPARAM(70000 - 65536, 700) } },
                           commander.received));

    // The message hook passes the wheel message's own lParam on unchanged.
    commander.received.clear();
    Event message;
    message.messageLParam = negativePacked;
    EXPECT_TRUE(Consumed(Call(Procedure::GetMessage, message)));
    EXPECT_TRUE(SequenceIs(Forward(SB_LINEDOWN, negativePacked), commander.received));
}

TEST_F(HookProcedures, LowLevelPointsAreSignedMessagePointsAre16Bit)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    const POINT pane = code.InPane(1);
    ASSERT_TRUE(MoveCursor(pane));
    SetScrollCount(1);
    Commander commander;
    commander.reply = 0;
    SetCommander(commander.window, kCommanderAccessCode);

    // 65536 to the left of the pane: off every screen, yet the same low word.
    Event wrapped;
    wrapped.point = { pane.x - 65536, pane.y };
    EXPECT_TRUE(PassedDown(Call(Procedure::LowLevel, wrapped), HC_ACTION));
    EXPECT_TRUE(SequenceIs({}, code.Record()));
    EXPECT_TRUE(SequenceIs(Forward(SB_LINEDOWN, MAKELPARAM(pane.x, pane.y)), commander.received));

    commander.received.clear();
    Event message;
    message.messageLParam = MAKELPARAM(pane.x, pane.y);
    EXPECT_TRUE(Consumed(Call(Procedure::GetMessage, message)));
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 1), code.Record()));
    EXPECT_TRUE(SequenceIs({}, commander.received));
}

// A wheel message that is only peeked at goes down the chain like any other
// message: nothing scrolled, nothing forwarded, the sub-notch sum untouched.
TEST_F(HookProcedures, MessageHookPassesPeekedWheelMessagesOn)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    Commander commander;
    SetCommander(commander.window, kCommanderAccessCode);
    for (POINT point : { code.InPane(1), kEmptySpot }) {
        ASSERT_TRUE(MoveCursor(point));
        for (short delta : { -WHEEL_DELTA, 90 }) {
            wheelRemainder = 60;
            const Event peeked = { HC_ACTION, WM_MOUSEWHEEL, delta, point, 0, PM_NOREMOVE };
            EXPECT_TRUE(PassedDown(Call(Procedure::GetMessage, peeked), HC_ACTION)) << delta;
            EXPECT_EQ(wheelRemainder, 60) << delta;
        }
    }
    EXPECT_TRUE(SequenceIs({}, code.Record()));
    EXPECT_TRUE(SequenceIs({}, commander.received));
}

// Windows 98 and Me hand the hook the caller's own PeekMessage flags.
TEST_F(HookProcedures, MessageHookReadsTheRemovalBitOfThePeekFlags)
{
    Commander commander;
    SetCommander(commander.window, kCommanderAccessCode);
    for (WPARAM flags : { PM_REMOVE | PM_NOYIELD, PM_REMOVE | PM_QS_INPUT, PM_NOREMOVE | PM_NOYIELD, PM_QS_INPUT }) {
        commander.received.clear();
        const Event event = { HC_ACTION, WM_MOUSEWHEEL, -WHEEL_DELTA, kEmptySpot, 0, flags };
        const Outcome outcome = Call(Procedure::GetMessage, event);
        const bool removal = flags & PM_REMOVE;
        EXPECT_TRUE(removal ? Consumed(outcome) : PassedDown(outcome, HC_ACTION)) << std::hex << flags;
        EXPECT_EQ(commander.received.size(), removal ? 1u : 0u) << std::hex << flags;
    }
}

// Through the system: a wheel message peeked at and then removed is one notch.
TEST_F(HookProcedures, MessageHookActsOnRemovalOnly)
{
    Commander commander;
    commander.reply = 0;
    SetCommander(commander.window, kCommanderAccessCode);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, GetMsgProc, NULL, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    PostMessageA(commander.window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), kEmptySpotPacked);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, commander.window, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_NOREMOVE));
    EXPECT_TRUE(PeekMessageA(&message, commander.window, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE));
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(message.lParam, kEmptySpotPacked);
    EXPECT_TRUE(SequenceIs(Forward(SB_LINEUP, kEmptySpotPacked), commander.received));
}

// Through the system: real wheel input reaches a low-level hook of this process.
std::vector<ChainCall> laterHookWheels;
LRESULT CALLBACK LaterLowLevelHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_MOUSEWHEEL)
        laterHookWheels.push_back({ code, wParam, lParam });
    return CallNextHookEx(NULL, code, wParam, lParam);
}

TEST_F(HookProcedures, LowLevelHookEndsTheChainOnlyWhenHandled)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    SetScrollCount(2);
    Commander commander;
    commander.reply = 0;
    SetCommander(commander.window, kCommanderAccessCode);
    HHOOK later = SetWindowsHookExA(WH_MOUSE_LL, LaterLowLevelHook, GetModuleHandleA(NULL), 0);
    HHOOK ours = SetWindowsHookExA(WH_MOUSE_LL, LowLevelMouseProc, GetModuleHandleA(NULL), 0);
    ASSERT_NE(later, nullptr);
    ASSERT_NE(ours, nullptr);

    laterHookWheels.clear();
    ASSERT_TRUE(MoveCursor(code.InPane(1)));
    ASSERT_TRUE(Xdo("click 5"));
    EXPECT_TRUE(WaitUntil([&] { return code.Record().size() >= 4; }));
    PumpFor(200);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 2), code.Record()));
    EXPECT_TRUE(laterHookWheels.empty());
    EXPECT_TRUE(commander.received.empty());

    // X reports the wheel only over a window of ours, so use one that is not a code window.
    PaneWindow other("NotCode", { SBS_VERT });
    const POINT point = other.InBand(0);
    ASSERT_TRUE(MoveCursor(point));
    ASSERT_TRUE(Xdo("click 4"));
    EXPECT_TRUE(WaitUntil([&] { return !laterHookWheels.empty(); }));
    EXPECT_TRUE(SequenceIs(Forward(SB_LINEUP, MAKELPARAM(point.x, point.y)), commander.received));
    EXPECT_TRUE(SequenceIs({}, other.received));

    UnhookWindowsHookEx(ours);
    UnhookWindowsHookEx(later);
}

// A code window whose thread is busy must not hold the hook past its budget,
// and once it has let a send time out, further notches do not wait on it.
TEST_F(HookProcedures, BusyCodeWindowDoesNotHoldTheHook)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    const POINT pane = code.InPane(1);
    ASSERT_TRUE(MoveCursor(pane));
    SetScrollCount(10);
    Event event;
    event.point = pane;

    for (Procedure procedure : { Procedure::LowLevel, Procedure::GetMessage }) {
        SCOPED_TRACE(Name(procedure));
        code.Clear();
        ASSERT_TRUE(code.Block(4000));
        notchBudgetMs = kNotchBudgetMs;
        const DWORD start = GetTickCount();
        const Outcome busy = Call(procedure, event);
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_TRUE(Consumed(busy));
        EXPECT_LT(elapsed, 2000u) << "the hook waited for the busy window";
        EXPECT_TRUE(IsAwaitingAnswer(code.window));
        const DWORD laterStart = GetTickCount();
        for (int i = 0; i < 9; ++i)
            EXPECT_TRUE(Consumed(Call(procedure, event))) << "a dropped notch still counts as handled";
        // Waiting on the window again would take a budget each: 1.8 s.
        EXPECT_LT(GetTickCount() - laterStart, 9 * kNotchBudgetMs / 2) << "later notches waited on the busy window";

        // Once the window is free again, at most the message that was already
        // waiting arrives: the later notches sent nothing. The next one
        // scrolls in full.
        code.AwaitAnswer();
        EXPECT_FALSE(IsAwaitingAnswer(code.window));
        EXPECT_LE(code.Record().size(), 1u);
        code.Clear();
        notchBudgetMs = kLongNotchBudgetMs;
        EXPECT_TRUE(Consumed(Call(procedure, event)));
        EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 10), code.Record()));
    }
}

// A window that ends while it is waited for leaves nothing behind that a
// later window could be mistaken for.
TEST_F(HookProcedures, ABusyWindowThatEndsIsForgotten)
{
    notchBudgetMs = kNotchBudgetMs;
    Event event;
    HWND ended = NULL;
    {
        CodeWindow code;
        ASSERT_TRUE(code.TakeFocus());
        event.point = code.InPane(1);
        ASSERT_TRUE(MoveCursor(event.point));
        ASSERT_TRUE(code.Block(60000));
        EXPECT_TRUE(Consumed(Call(Procedure::LowLevel, event)));
        ended = code.window;
        ASSERT_TRUE(IsAwaitingAnswer(ended));
        TerminateProcess(code.child.process, 0);
        WaitForSingleObject(code.child.process, 5000);
    }
    EXPECT_FALSE(IsAwaitingAnswer(ended));
}

// The forward from the message hook crosses processes; a commander that does
// not answer in time counts as one that replied 0.
TEST_F(HookProcedures, SlowCommanderCountsAsNotHandled)
{
    notchBudgetMs = kNotchBudgetMs;
    ChildProcess host = StartChild("hookhost.exe", "/reply:1 /replydelay:4000");
    HWND hostWindow = WaitForWindow("KestroHookHost", host.processId);
    ASSERT_NE(hostWindow, nullptr);
    SetCommander(hostWindow, kCommanderAccessCode);

    Event event;
    event.point = kEmptySpot;
    const DWORD start = GetTickCount();
    const Outcome slow = Call(Procedure::GetMessage, event);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(PassedDown(slow, HC_ACTION));
    EXPECT_LT(elapsed, 2000u) << "the hook waited for the commander";

    SendMessageA(hostWindow, HH_SETREPLYDELAY, 0, 0);
    EXPECT_EQ(SendMessageA(hostWindow, HH_FORWARDCOUNT, 0, 0), 1);
    EXPECT_TRUE(Consumed(Call(Procedure::GetMessage, event)));
    EXPECT_EQ(SendMessageA(hostWindow, HH_FORWARDCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessageA(hostWindow, HH_LASTLPARAM, 0, 0), kEmptySpotPacked);
    EndChild(host);
}

} // namespace
