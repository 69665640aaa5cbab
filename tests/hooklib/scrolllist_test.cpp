// The tray program's pane scrolling over its list of window classes, against
// the sample code window run under other class names.
#include "hooktest.h"
#include "appstate.h"
#include "mainwnd.h"
#include "wheelpane.h"

namespace {

const char* const kListed = "PaneHost";

class ListScroll : public ::testing::Test {
protected:
    void SetUp() override
    {
        WindowListClear(&AppState.windowList);
        AppState.scrollCount = 3;
    }
    void TearDown() override
    {
        WindowListClear(&AppState.windowList);
        AppState.scrollCount = 3;
    }
    void List(std::initializer_list<const char*> names)
    {
        WindowListClear(&AppState.windowList);
        for (const char* name : names)
            ASSERT_TRUE(WindowListAppend(&AppState.windowList, name));
    }
    static int ScrollAt(int direction, POINT point)
    {
        EXPECT_TRUE(MoveCursor(point));
        return ScrollPaneAt(direction, point.x, point.y);
    }
};

TEST_F(ListScroll, ThePaneUnderTheCursorGetsItsLinePairs)
{
    CodeWindow code(std::string("/class:") + kListed, kListed);
    ASSERT_TRUE(code.TakeFocus());
    List({ "Other", kListed });

    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(1)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 3), code.Record()));
    EXPECT_EQ(code.TopLine(1), 3);

    code.Clear();
    AppState.scrollCount = 2;
    EXPECT_EQ(ScrollAt(SB_LINEUP, code.InPane(0)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEUP, code.Bar(0), 2), code.Record()));

    // The class's own lines, but Ctrl's page; a policy's class or count keeps the global count.
    code.Clear();
    WindowListSetLines(&AppState.windowList, 1, 5);
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(1)) + ScrollAt(kForwardPage | SB_LINEUP, code.InPane(1)), 2);
    AppState.countByPolicy = 1;
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(1)), 1);
    AppState.countByPolicy = 0;
    WindowListAppend(&AppState.policyWindowList, kListed);
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(1)), 1);
    WindowListClear(&AppState.policyWindowList);
    MessageSequence expected = LinePairs(SB_LINEDOWN, code.Bar(1), 5);
    for (const MessageSequence& more : { LinePairs(SB_PAGEUP, code.Bar(1), 1), LinePairs(SB_LINEDOWN, code.Bar(1), 4) })
        expected.insert(expected.end(), more.begin(), more.end());
    EXPECT_TRUE(SequenceIs(expected, code.Record()));
}

TEST_F(ListScroll, WithoutAPaneBandTheWindowItselfIsScrolled)
{
    CodeWindow code(std::string("/hbar /third /class:") + kListed, kListed);
    ASSERT_TRUE(code.TakeFocus());
    List({ kListed });
    AppState.scrollCount = 2;

    // Neither the third bar nor the horizontal one is ever named.
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InSplitter()), 1);
    EXPECT_EQ(ScrollAt(SB_LINEUP, code.At(0.99, 0.99)), 1);
    MessageSequence expected = LinePairs(SB_LINEDOWN, NULL, 2);
    const MessageSequence up = LinePairs(SB_LINEUP, NULL, 2);
    expected.insert(expected.end(), up.begin(), up.end());
    EXPECT_TRUE(SequenceIs(expected, code.Record()));

    PaneWindow horizontalOnly("HorizontalOnly", { SBS_HORZ });
    List({ "HorizontalOnly" });
    ASSERT_TRUE(horizontalOnly.TakeFocus());
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, horizontalOnly.InBand(0)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, NULL, 2), horizontalOnly.received));
    // The main window sends a forward marked sideways here: the system's count, no bar.
    horizontalOnly.received.clear();
    const LPARAM packed = MAKELPARAM(horizontalOnly.InBand(0).x, horizontalOnly.InBand(0).y);
    EXPECT_EQ(MainWindowProc(NULL, WM_WHEELFORWARD, kForwardSideways | SB_LINELEFT, packed), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINELEFT, NULL, 3, WM_HSCROLL), horizontalOnly.received));
}

TEST_F(ListScroll, AFocusedChildCountsAsFocus)
{
    CodeWindow code(std::string("/child /class:") + kListed, kListed);
    ASSERT_TRUE(code.TakeFocus());
    List({ kListed });
    ASSERT_NE(FocusWindow(), code.window);
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(0)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(0), 3), code.Record()));
}

TEST_F(ListScroll, UnfocusedOrUnlistedWindowsAreNotServed)
{
    CodeWindow code(std::string("/class:") + kListed, kListed);
    ASSERT_TRUE(code.TakeFocus());
    const POINT pane = code.InPane(1);
    ASSERT_TRUE(MoveCursor(pane));

    List({});
    EXPECT_EQ(ScrollPaneAt(SB_LINEDOWN, pane.x, pane.y), 0);
    List({ "", "panehost", "PaneHos", "PaneHostX" });
    EXPECT_EQ(ScrollPaneAt(SB_LINEDOWN, pane.x, pane.y), 0);
    // The built-in class is not served by this variant unless listed.
    List({ "VbaWindow" });
    EXPECT_EQ(ScrollPaneAt(SB_LINEDOWN, pane.x, pane.y), 0);
    EXPECT_TRUE(SequenceIs({}, code.Record()));

    List({ kListed });
    PaneWindow elsewhere("FocusThief", {}, { 900, 600, 1100, 700 });
    ASSERT_TRUE(elsewhere.TakeFocus());
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, pane), 0);
    EXPECT_EQ(ScrollAt(kForwardProbe | SB_LINEDOWN, pane), 0);
    EXPECT_TRUE(SequenceIs({}, code.Record()));

    // Unless the forward says the option is on; Ctrl's mark makes it one page
    // pair. A probe answers as the notch would and sends nothing.
    EXPECT_EQ(ScrollAt(kForwardProbe | kForwardUnfocused | SB_LINEDOWN, pane), 1);
    EXPECT_EQ(ScrollAt(kForwardUnfocused | SB_LINEDOWN, pane), 1);
    const WPARAM paged = kForwardUnfocused | kForwardPage | SB_LINEUP;
    EXPECT_EQ(MainWindowProc(NULL, WM_WHEELFORWARD, paged, MAKELPARAM(pane.x, pane.y)), 1);
    MessageSequence expected = LinePairs(SB_LINEDOWN, code.Bar(1), 3);
    const MessageSequence up = LinePairs(SB_PAGEUP, code.Bar(1), 1);
    expected.insert(expected.end(), up.begin(), up.end());
    EXPECT_TRUE(SequenceIs(expected, code.Record()));
}

TEST_F(ListScroll, ZeroOrNegativeCountSendsNothingButCountsAsHandled)
{
    CodeWindow code(std::string("/class:") + kListed, kListed);
    ASSERT_TRUE(code.TakeFocus());
    List({ kListed });
    for (int count : { 0, -4 }) { // -1 is the page-wise wheel setting
        AppState.scrollCount = count;
        EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(1)), 1) << count;
        EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InSplitter()), 1) << count;
    }
    EXPECT_TRUE(SequenceIs({}, code.Record()));
}

// "One screen at a time": one page pair a notch, to the pane's bar or, away
// from every band, to the window itself.
TEST_F(ListScroll, APageWiseCountSendsOnePagePair)
{
    CodeWindow code(std::string("/class:") + kListed, kListed);
    ASSERT_TRUE(code.TakeFocus());
    List({ kListed });
    AppState.scrollCount = kPageScrollCount;
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(1)), 1);
    EXPECT_EQ(ScrollAt(SB_LINEUP, code.InSplitter()), 1);
    MessageSequence expected = LinePairs(SB_PAGEDOWN, code.Bar(1), 1);
    const MessageSequence up = LinePairs(SB_PAGEUP, NULL, 1);
    expected.insert(expected.end(), up.begin(), up.end());
    EXPECT_TRUE(SequenceIs(expected, code.Record()));
}

TEST_F(ListScroll, LongClassNamesMatchByTheirFirst254Characters)
{
    const std::string name(255, 'P');
    CodeWindow code("/class:" + name, name.c_str());
    ASSERT_NE(code.window, nullptr);
    ASSERT_TRUE(code.TakeFocus());
    // The list keeps at most 254 characters of an entry.
    List({ name.c_str() });
    AppState.scrollCount = 1;
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, code.InPane(1)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 1), code.Record()));
}

TEST_F(ListScroll, AWindowDestroyedWhileScrollingReceivesNothingFurther)
{
    PaneWindow panes("SelfDestroying", {});
    panes.destroyOnScroll = true;
    ASSERT_TRUE(panes.TakeFocus());
    List({ "SelfDestroying" });
    AppState.scrollCount = 4;
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, panes.ClientPointAt(30, 30)), 1);
    EXPECT_FALSE(IsWindow(panes.window));
    EXPECT_TRUE(SequenceIs({ { WM_VSCROLL, SB_LINEDOWN, 0 } }, panes.received));
}

// The tray program's own copy of the rule: a busy window costs one budget,
// not one per notch.
TEST_F(ListScroll, ABusyWindowIsNotWaitedOnAgainUntilItAnswers)
{
    CodeWindow code(std::string("/class:") + kListed, kListed);
    ASSERT_TRUE(code.TakeFocus());
    List({ kListed });
    AppState.scrollCount = 2;
    ASSERT_TRUE(code.Block(4000));
    notchBudgetMs = kNotchBudgetMs;
    const POINT pane = code.InPane(1);
    EXPECT_EQ(ScrollAt(SB_LINEDOWN, pane), 1);
    EXPECT_TRUE(IsAwaitingAnswer(code.window));
    const DWORD start = GetTickCount();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ScrollPaneAt(SB_LINEDOWN, pane.x, pane.y), 1);
    EXPECT_LT(GetTickCount() - start, 5 * kNotchBudgetMs / 2) << "later notches waited on the busy window";

    code.AwaitAnswer();
    code.Clear();
    notchBudgetMs = kLongNotchBudgetMs;
    EXPECT_EQ(ScrollPaneAt(SB_LINEDOWN, pane.x, pane.y), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), 2), code.Record()));
}

} // namespace
