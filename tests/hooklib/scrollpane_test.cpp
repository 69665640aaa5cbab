// The library's own pane scrolling (VBA code windows only) and the helpers it
// shares with the tray program, against real windows.
#include "hooktest.h"
#include "hookstate.h"
#include "kestro.h"
#include "wheelpane.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID);

namespace {

const int kDown = SB_LINEDOWN;
const int kUp = SB_LINEUP;

// Scrolls at `event` with the cursor at `cursor`.
int ScrollWithCursor(int direction, POINT event, POINT cursor)
{
    EXPECT_TRUE(MoveCursor(cursor));
    return ScrollPaneAt(direction, event.x, event.y);
}

int ScrollAt(int direction, POINT point)
{
    return ScrollWithCursor(direction, point, point);
}

TEST(BuiltInScroll, ThePaneUnderTheCursorGetsItsLinePairs)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    SetScrollCount(3);

    EXPECT_EQ(ScrollAt(kDown, code.InPane(1)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(kDown, code.Bar(1), 3), code.Record()));
    EXPECT_EQ(code.TopLine(1), 3);
    EXPECT_EQ(code.TopLine(0), 0);

    code.Clear();
    SetScrollCount(2);
    EXPECT_EQ(ScrollAt(kUp, code.InPane(0)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(kUp, code.Bar(0), 2), code.Record()));

    // The band spans the whole client width, not just the bar's column.
    code.Clear();
    SetScrollCount(1);
    EXPECT_EQ(ScrollAt(kDown, code.At(0.01, 0.75)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(kDown, code.Bar(1), 1), code.Record()));
}

TEST(BuiltInScroll, TheCursorNotTheEventPointChoosesThePane)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    SetScrollCount(1);
    EXPECT_EQ(ScrollWithCursor(kDown, code.InPane(1), code.InPane(0)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(kDown, code.Bar(0), 1), code.Record()));
}

TEST(BuiltInScroll, ZeroOrNegativeCountSendsNothingButCountsAsHandled)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    for (int count : { 0, -4 }) {
        SetScrollCount(count);
        EXPECT_EQ(ScrollAt(kDown, code.InPane(1)), 1) << count;
        EXPECT_TRUE(SequenceIs({}, code.Record())) << count;
    }
}

TEST(BuiltInScroll, NoPaneBandUnderTheCursorScrollsNothing)
{
    CodeWindow code("/hbar /third");
    ASSERT_TRUE(code.TakeFocus());
    SetScrollCount(3);

    // The gap between the panes lies only in the third bar's band.
    EXPECT_EQ(ScrollAt(kDown, code.InSplitter()), 0);
    // The bottom corner lies only in the horizontal bar's row.
    EXPECT_EQ(ScrollAt(kDown, code.At(0.99, 0.99)), 0);
    EXPECT_TRUE(SequenceIs({}, code.Record()));

    // With the extra bars present, the panes still get their own bars.
    EXPECT_EQ(ScrollAt(kDown, code.InPane(1)), 1);
    EXPECT_TRUE(SequenceIs(LinePairs(kDown, code.Bar(1), 3), code.Record()));
}

TEST(BuiltInScroll, OnlyTheFocusedCodeWindowItselfIsServed)
{
    SetScrollCount(3);
    {
        CodeWindow code("/child");
        ASSERT_TRUE(code.TakeFocus());
        ASSERT_NE(FocusWindow(), code.window);
        EXPECT_EQ(ScrollAt(kDown, code.InPane(0)), 0);
        EXPECT_TRUE(SequenceIs({}, code.Record()));
    }
    {
        CodeWindow code;
        PaneWindow elsewhere("FocusThief", {}, { 900, 600, 1100, 700 });
        ASSERT_TRUE(elsewhere.TakeFocus());
        EXPECT_EQ(ScrollAt(kDown, code.InPane(1)), 0);
        EXPECT_TRUE(SequenceIs({}, code.Record()));
    }
}

TEST(BuiltInScroll, OtherClassesAreNotServed)
{
    SetScrollCount(3);
    const std::string longName(255, 'V');
    for (const std::string& name : { std::string("vbawindow"), std::string("VbaWindow2"), longName }) {
        CodeWindow code("/class:" + name, name.c_str());
        ASSERT_NE(code.window, nullptr) << name;
        ASSERT_TRUE(code.TakeFocus()) << name;
        EXPECT_EQ(ScrollAt(kDown, code.InPane(1)), 0) << name;
        EXPECT_TRUE(SequenceIs({}, code.Record())) << name;
    }
}

TEST(BuiltInScroll, PointsOverAScrollBarOrNoWindowAreNotServed)
{
    CodeWindow code;
    ASSERT_TRUE(code.TakeFocus());
    SetScrollCount(3);
    RECT bar;
    GetWindowRect(code.Bar(1), &bar);
    const POINT overBar = { (bar.left + bar.right) / 2, (bar.top + bar.bottom) / 2 };
    EXPECT_EQ(ScrollAt(kDown, overBar), 0);
    EXPECT_TRUE(MoveCursor(code.InPane(1)));
    EXPECT_EQ(ScrollPaneAt(kDown, -40000, -40000), 0);
    EXPECT_EQ(ScrollPaneAt(kDown, 70000, 70000), 0);
    EXPECT_TRUE(SequenceIs({}, code.Record()));
}

TEST(BuiltInScroll, OnlyHorizontalBarsScrollNothing)
{
    PaneWindow panes("VbaWindow", { SBS_HORZ, SBS_HORZ });
    ASSERT_TRUE(panes.TakeFocus());
    SetScrollCount(3);
    EXPECT_EQ(ScrollAt(kDown, panes.InBand(0)), 0);
    EXPECT_EQ(ScrollAt(kDown, panes.InBand(1)), 0);
    EXPECT_TRUE(SequenceIs({}, panes.received));
}

// Sideways: the nearest horizontal bar at or below the cursor, or none.
TEST(BuiltInScroll, SidewaysNamesTheNearestHorizontalBarBelowTheCursor)
{
    CodeWindow code("/hpanes");
    PaneWindow panes("VbaWindow", { SBS_VERT, SBS_HORZ, SBS_VERT }, { 700, 500, 1000, 700 });
    ASSERT_TRUE(code.TakeFocus()); // after the second window, which takes the focus when made
    SystemParametersInfoA(SPI_SETWHEELSCROLLCHARS, 2, NULL, 0);
    for (int pane : { 0, 1 }) {
        code.Clear();
        ASSERT_TRUE(MoveCursor(code.InPane(pane)));
        EXPECT_EQ(ScrollSidewaysAt(pane, code.InPane(pane).x, code.InPane(pane).y), 1);
        EXPECT_TRUE(SequenceIs(LinePairs(pane, code.HBar(pane), 2, WM_HSCROLL), code.Record())) << pane;
    }
    ASSERT_TRUE(panes.TakeFocus() && MoveCursor(panes.InBand(2)));
    EXPECT_EQ(ScrollSidewaysAt(SB_LINERIGHT, panes.InBand(2).x, panes.InBand(2).y), 1);
    SystemParametersInfoA(SPI_SETWHEELSCROLLCHARS, 3, NULL, 0);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINERIGHT, NULL, 2, WM_HSCROLL), panes.received));
}

TEST(BuiltInScroll, AWindowDestroyedWhileScrollingReceivesNothingFurther)
{
    PaneWindow panes("VbaWindow", { SBS_VERT, SBS_VERT });
    panes.destroyOnScroll = true;
    ASSERT_TRUE(panes.TakeFocus());
    SetScrollCount(5);
    EXPECT_EQ(ScrollAt(kDown, panes.InBand(1)), 1);
    EXPECT_FALSE(IsWindow(panes.window));
    EXPECT_TRUE(SequenceIs({ { WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(panes.bars[1]) } }, panes.received));
}

TEST(PaneHelpers, FindPaneScrollBarsTakesTheFirstTwoVerticalChildren)
{
    for (const char* options : { "", "/hbar", "/third", "/hbar /third" }) {
        CodeWindow code(options);
        PaneScrollBars bars = FindPaneScrollBars(code.window);
        EXPECT_EQ(bars.first, code.Bar(0)) << options;
        EXPECT_EQ(bars.second, code.Bar(1)) << options;
    }
    PaneWindow one("OneBar", { SBS_HORZ, SBS_VERT, SBS_HORZ });
    PaneScrollBars bars = FindPaneScrollBars(one.window);
    EXPECT_EQ(bars.first, one.bars[1]);
    EXPECT_EQ(bars.second, nullptr);

    PaneWindow none("NoBar", { SBS_HORZ });
    bars = FindPaneScrollBars(none.window);
    EXPECT_EQ(bars.first, nullptr);
    EXPECT_EQ(bars.second, nullptr);
}

TEST(PaneHelpers, PaneBandIncludesLeftAndTopEdgesOnly)
{
    PaneWindow panes("BandEdges", { SBS_VERT, SBS_VERT });
    RECT client;
    GetClientRect(panes.window, &client);
    struct Case {
        int x, y, expected;
    } cases[] = {
        { 0, 0, 1 },                  // top-left corner of the band
        { client.right - 1, 37, 1 },  // last pixel inside
        { client.right, 20, 0 },      // right edge
        { 20, 38, 0 },                // bottom edge of the first bar
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(MoveCursor(panes.ClientPointAt(c.x, c.y)));
        EXPECT_EQ(IsCursorInPaneBand(panes.window, panes.bars[0]), c.expected) << c.x << "," << c.y;
    }
    ASSERT_TRUE(MoveCursor(panes.ClientPointAt(5, 45)));
    EXPECT_EQ(IsCursorInPaneBand(panes.window, panes.bars[0]), 0);
    EXPECT_EQ(IsCursorInPaneBand(panes.window, panes.bars[1]), 1);
}

TEST(PaneHelpers, ClassNameIsComparesCaseSensitively)
{
    PaneWindow panes("CaseClass", {});
    EXPECT_EQ(ClassNameIs(panes.window, "CaseClass"), 0);
    EXPECT_NE(ClassNameIs(panes.window, "caseclass"), 0);
    EXPECT_NE(ClassNameIs(panes.window, "CaseClas"), 0);
    EXPECT_EQ(ClassNameIs(panes.window, nullptr), -1);
    HWND gone = panes.window;
    DestroyWindow(gone);
    EXPECT_EQ(ClassNameIs(gone, "CaseClass"), -1);
}

TEST(PaneHelpers, LongClassNamesAreComparedByTheirFirst254Characters)
{
    const std::string name(255, 'L');
    PaneWindow panes(name.c_str(), {});
    ASSERT_NE(panes.window, nullptr);
    EXPECT_EQ(ClassNameIs(panes.window, name.substr(0, 254).c_str()), 0);
    EXPECT_NE(ClassNameIs(panes.window, name.substr(0, 253).c_str()), 0);
}

TEST(EntryPoint, ThreadNotificationsLeaveTheModuleHandle)
{
    const HINSTANCE saved = moduleInstance;
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(0x10000000);
    EXPECT_TRUE(DllMain(module, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(moduleInstance, module);
    EXPECT_TRUE(DllMain(module, DLL_THREAD_ATTACH, nullptr));
    EXPECT_TRUE(DllMain(module, DLL_THREAD_DETACH, nullptr));
    EXPECT_EQ(moduleInstance, module);
    EXPECT_TRUE(DllMain(module, DLL_THREAD_DETACH, nullptr));
    EXPECT_EQ(moduleInstance, module);
    EXPECT_TRUE(DllMain(module, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(moduleInstance, nullptr);
    moduleInstance = saved;
}

} // namespace
