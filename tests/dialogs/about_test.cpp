// The About box's results and position, and the centring it relies on.
#include "dialogdriver.h"
#include "center.h"

namespace {

// A plain top-level window of this process with the given outer size.
HWND PlainWindow(int x, int y, int width, int height)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(NULL);
        windowClass.lpszClassName = "CentreTestWindow";
        RegisterClassA(&windowClass);
        registered = true;
    }
    return CreateWindowExA(0, "CentreTestWindow", "", WS_POPUP, x, y, width, height, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

TEST(CenterWindow, TruncatesTowardZeroAndIgnoresTheReferenceOrigin)
{
    // A WS_POPUP window without border: its client area is its whole rectangle.
    HWND reference = PlainWindow(300, 200, 100, 60);
    const struct {
        int width, height, x, y;
    } cases[] = {
        { 40, 20, 30, 20 },   // even remainders
        { 41, 21, 29, 19 },   // 59 / 2 and 39 / 2 truncate
        { 105, 65, -2, -2 },  // -5 / 2 is -2, not -3
        { 100, 60, 0, 0 },
    };
    for (const auto& c : cases) {
        HWND window = PlainWindow(7, 9, c.width, c.height);
        CenterWindow(window, reference);
        const RECT rect = WindowRect(window);
        EXPECT_EQ(rect.left, c.x) << c.width;
        EXPECT_EQ(rect.top, c.y) << c.height;
        EXPECT_EQ(rect.right - rect.left, c.width);
        EXPECT_EQ(rect.bottom - rect.top, c.height);
        DestroyWindow(window);
    }
    DestroyWindow(reference);
}

TEST(AboutBox, OpensCentredOnTheScreen)
{
    OpenDialog open = OpenAbout();
    ASSERT_NE(open.dialog, nullptr);
    const RECT rect = WindowRect(open.dialog);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    EXPECT_EQ(TextOf(open.dialog), "\xc1\xa4\xba\xb8"); // "정보"
    EXPECT_EQ(GetWindowLongA(open.dialog, GWL_STYLE) & WS_POPUP, 0);
    EXPECT_NE(SendMessageA(GetDlgItem(open.dialog, 2), STM_GETICON, 0, 0), 0) << "icon 107";
    // With the program's manifest, Common Controls 6.0: OK is drawn with the visual style.
    EXPECT_EQ(ControlMadeBy(open, IDOK), kFromCommonControls | kThemed);
    EXPECT_TRUE(ControlMadeBy(open, 2) & kFromCommonControls) << "the icon static";
    Discard(open);
}

TEST(AboutBox, EnterGivesOneEscapeAndCloseGiveTwo)
{
    const struct {
        const char* how;
        DWORD result;
    } cases[] = { { "Return", 1 }, { "Escape", 2 }, { "alt+F4", 2 }, { "button", 1 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        OpenDialog open = OpenAbout();
        ASSERT_NE(open.dialog, nullptr);
        if (lstrcmpA(c.how, "button") == 0)
            ASSERT_TRUE(Click(GetDlgItem(open.dialog, IDOK)));
        else
            ASSERT_TRUE(Keys(open.dialog, c.how));
        EXPECT_EQ(WaitClosed(open), c.result);
        Discard(open);
    }
}

} // namespace
