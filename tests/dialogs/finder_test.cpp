// The window finder driven with the real pointer: what it inverts and in
// which order, what it picks, and how every way of ending a drag cleans up.
#include <set>
#include "dialogdriver.h"
#include "kestro.h"

namespace {

// Replays the inversion log: no two windows are ever inverted at once and,
// at the end, nothing is left inverted. Returns the windows in the order they
// were highlighted.
::testing::AssertionResult NeverTwoAtOnce(const std::vector<HWND>& inversions, std::vector<HWND>* highlighted)
{
    std::set<HWND> inverted;
    for (size_t i = 0; i < inversions.size(); ++i) {
        HWND window = inversions[i];
        if (inverted.erase(window))
            continue;
        if (!inverted.empty())
            return ::testing::AssertionFailure() << "inversion " << i << " while another window is inverted";
        inverted.insert(window);
        highlighted->push_back(window);
    }
    if (!inverted.empty())
        return ::testing::AssertionFailure() << inverted.size() << " window(s) left inverted";
    return ::testing::AssertionSuccess();
}

COLORREF ScreenPixel(POINT point)
{
    HDC screen = GetDC(NULL);
    const COLORREF colour = GetPixel(screen, point.x, point.y);
    ReleaseDC(NULL, screen);
    return colour;
}

// A point in the blank part of a sample code window's lower pane.
POINT BlankPoint(HWND window) { return ClientPoint(window, 0.85, 0.9); }

const char kEndClean[] = "capture 0 dragging 0 highlighted 0";

class Finder : public ::testing::Test {
protected:
    void SetUp() override
    {
        Seed({}, 3, "");
        SetScrollCount(3);
        // Clear of the centred dialog on a 1280x800 screen.
        a = StartTarget("FinderA", 20, 40, 300, 200);
        b = StartTarget("FinderB", 920, 40, 300, 200);
        open = OpenSettings(true);
        ASSERT_NE(open.dialog, nullptr);
        normalA = ScreenPixel(BlankPoint(a.window));
        normalB = ScreenPixel(BlankPoint(b.window));
        ASSERT_NE(normalA, CLR_INVALID);
    }
    void TearDown() override
    {
        Xdo("mouseup 1");
        Discard(open);
        EndTarget(a);
        EndTarget(b);
    }
    bool AIsInverted() { return ScreenPixel(BlankPoint(a.window)) == (normalA ^ 0xFFFFFF); }
    bool BIsInverted() { return ScreenPixel(BlankPoint(b.window)) == (normalB ^ 0xFFFFFF); }
    bool NothingInverted()
    {
        return ScreenPixel(BlankPoint(a.window)) == normalA && ScreenPixel(BlankPoint(b.window)) == normalB;
    }
    std::string Closed()
    {
        EXPECT_TRUE(Click(Item(open, IDCANCEL)));
        EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDCANCEL));
        return LogEnd(open);
    }

    Target a, b;
    OpenDialog open;
    COLORREF normalA = 0, normalB = 0;
};

TEST_F(Finder, DragFromAToBAndBackRestoresEachBeforeTheNext)
{
    const HICON idleIcon = reinterpret_cast<HICON>(SendMessageA(Item(open, 1005), STM_GETICON, 0, 0));
    ASSERT_TRUE(PressFinder(open));
    EXPECT_NE(reinterpret_cast<HICON>(SendMessageA(Item(open, 1005), STM_GETICON, 0, 0)), idleIcon)
        << "icon 109 during the drag";

    ASSERT_TRUE(MoveTo(CentreOf(a.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderA"));
    EXPECT_TRUE(WaitUntil([&] { return AIsInverted(); }, 2000));
    EXPECT_FALSE(BIsInverted());
    EXPECT_EQ(TextOf(Item(open, 1007)), TextOf(a.window));
    EXPECT_TRUE(IsWindowEnabled(Item(open, 1001)));

    ASSERT_TRUE(MoveTo(CentreOf(b.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderB"));
    EXPECT_TRUE(WaitUntil([&] { return BIsInverted(); }, 2000));
    EXPECT_FALSE(AIsInverted());

    // Moving within B changes nothing.
    ASSERT_TRUE(MoveTo(BlankPoint(b.window)));
    ASSERT_TRUE(MoveTo(CentreOf(a.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderA"));
    ASSERT_TRUE(Release());
    EXPECT_TRUE(WaitUntil([&] { return NothingInverted(); }, 2000));
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(Item(open, 1005), STM_GETICON, 0, 0)), idleIcon);
    EXPECT_EQ(TextOf(Item(open, 1006)), "FinderA");
    EXPECT_TRUE(IsWindowEnabled(Item(open, 1001))) << "A stays picked";

    const std::vector<HWND> inversions = Inversions(open);
    std::vector<HWND> highlighted;
    EXPECT_TRUE(NeverTwoAtOnce(inversions, &highlighted));
    EXPECT_EQ(highlighted, (std::vector<HWND>{ a.window, b.window, a.window }));
    EXPECT_EQ(inversions.size(), 6u) << "each window inverted once and restored once per visit";
    EXPECT_NE(Closed().find(kEndClean), std::string::npos);
}

TEST_F(Finder, ReleasingOverTheDialogPicksNothing)
{
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(a.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderA"));
    ASSERT_TRUE(MoveTo(CentreOf(Item(open, 1000)))); // over one of its controls
    ASSERT_TRUE(WaitForClassLabel(open, ""));
    EXPECT_TRUE(WaitUntil([&] { return NothingInverted(); }, 2000));
    ASSERT_TRUE(Release());
    EXPECT_EQ(TextOf(Item(open, 1006)), "");
    EXPECT_EQ(TextOf(Item(open, 1007)), "");
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1001)));
    std::vector<HWND> highlighted;
    EXPECT_TRUE(NeverTwoAtOnce(Inversions(open), &highlighted));
    EXPECT_EQ(highlighted, (std::vector<HWND>{ a.window }));
}

TEST_F(Finder, PressAndReleaseOnTheIconPicksNothing)
{
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(open.dialog)));
    ASSERT_TRUE(Release());
    EXPECT_FALSE(IsWindowEnabled(Item(open, 1001)));
    EXPECT_EQ(TextOf(Item(open, 1006)), "");
    EXPECT_TRUE(Inversions(open).empty());
    EXPECT_NE(Closed().find(kEndClean), std::string::npos);
}

TEST_F(Finder, APressBesideTheIconStartsNoDrag)
{
    RECT icon;
    GetWindowRect(Item(open, 1005), &icon);
    POINT beside = { icon.right + 3, (icon.top + icon.bottom) / 2 };
    ASSERT_TRUE(Xdo("mousemove " + std::to_string(beside.x) + " " + std::to_string(beside.y) + " mousedown 1"));
    ASSERT_TRUE(MoveTo(CentreOf(a.window)));
    PumpFor(300);
    EXPECT_EQ(TextOf(Item(open, 1006)), "");
    EXPECT_TRUE(Inversions(open).empty());
}

TEST_F(Finder, CancelModeEndsTheDragLikeARelease)
{
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(a.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderA"));
    SendMessageA(open.dialog, WM_CANCELMODE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return NothingInverted(); }, 2000));
    // The pointer moves on with the button still down: the drag is over.
    ASSERT_TRUE(MoveTo(CentreOf(b.window)));
    ASSERT_TRUE(Release());
    EXPECT_EQ(TextOf(Item(open, 1006)), "FinderA");
    EXPECT_TRUE(IsWindowEnabled(Item(open, 1001)));
    EXPECT_FALSE(BIsInverted());
    std::vector<HWND> highlighted;
    EXPECT_TRUE(NeverTwoAtOnce(Inversions(open), &highlighted));
    EXPECT_EQ(highlighted, (std::vector<HWND>{ a.window }));
    EXPECT_NE(Closed().find(kEndClean), std::string::npos);
}

TEST_F(Finder, LosingTheCaptureEndsTheDragLikeARelease)
{
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(a.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderA"));
    HWND owner = GetWindow(open.dialog, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    PostMessageA(owner, kStealCapture, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return NothingInverted(); }, 2000));
    ASSERT_TRUE(MoveTo(CentreOf(b.window)));
    ASSERT_TRUE(Release());
    EXPECT_EQ(TextOf(Item(open, 1006)), "FinderA");
    EXPECT_TRUE(IsWindowEnabled(Item(open, 1001)));
    std::vector<HWND> highlighted;
    EXPECT_TRUE(NeverTwoAtOnce(Inversions(open), &highlighted));
    EXPECT_EQ(highlighted, (std::vector<HWND>{ a.window }));
}

TEST_F(Finder, AChildControlOfAnotherProgramIsPickedAsItself)
{
    Target withChild = StartTarget("FinderParent", 400, 660, 500, 120, "/child");
    HWND edit = FindWindowExA(withChild.window, NULL, "Edit", NULL);
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(edit)));
    ASSERT_TRUE(WaitForClassLabel(open, "Edit"));
    ASSERT_TRUE(Release());
    std::vector<HWND> highlighted;
    EXPECT_TRUE(NeverTwoAtOnce(Inversions(open), &highlighted));
    EXPECT_EQ(highlighted, (std::vector<HWND>{ edit }));

    ASSERT_TRUE(Click(Item(open, 1001)));
    ASSERT_TRUE(Click(Item(open, IDOK)));
    EXPECT_EQ(WaitClosed(open), static_cast<DWORD>(IDOK));
    EXPECT_EQ(ReadStored().list, (std::vector<std::string>{ "Edit" }));
    EndTarget(withChild);
}

TEST_F(Finder, LongClassNamesAndTitlesAreCutTo254)
{
    const std::string longClass(255, 'C');
    Target longOne = StartTarget(longClass, 400, 660, 500, 120);
    ASSERT_NE(longOne.window, nullptr);
    SetWindowTextA(longOne.window, std::string(300, 'T').c_str());
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(longOne.window)));
    ASSERT_TRUE(WaitForClassLabel(open, std::string(254, 'C')));
    EXPECT_EQ(TextOf(Item(open, 1007)), std::string(254, 'T'));

    // A double-byte title ("가" repeated) never overruns the label either.
    std::string korean;
    for (int i = 0; i < 200; ++i)
        korean += "\xb0\xa1";
    SetWindowTextA(b.window, korean.c_str());
    ASSERT_TRUE(MoveTo(CentreOf(b.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderB"));
    const std::string title = TextOf(Item(open, 1007));
    EXPECT_LE(title.size(), 254u);
    EXPECT_GE(title.size(), 252u);
    EXPECT_EQ(title.compare(0, 4, "\xb0\xa1\xb0\xa1"), 0);
    ASSERT_TRUE(Release());
    EndTarget(longOne);
}

TEST_F(Finder, AWindowThatVanishesDuringTheDragIsLeftAlone)
{
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(b.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderB"));
    EndTarget(b);
    ASSERT_TRUE(MoveTo(CentreOf(a.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "FinderA"));
    ASSERT_TRUE(Release());
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(BlankPoint(a.window)) == normalA; }, 2000));
    EXPECT_NE(Closed().find(kEndClean), std::string::npos);
}

// The dialog may close while the button is still held: by Esc or Enter, or
// because its owner goes away (the main window on the quit message). Neither
// an inversion nor the capture may outlive it. The keys are posted to the
// dialog as its message loop gets them: without a window manager, real keys
// follow the pointer, which is over the other program's window.
TEST_F(Finder, ClosingTheDialogDuringADragLeavesNothingBehind)
{
    const struct {
        const char* how;
        DWORD result;
    } cases[] = { { "Escape", IDCANCEL }, { "Return", IDOK }, { "owner", 0 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        if (!open.dialog)
            open = OpenSettings(true);
        ASSERT_TRUE(PressFinder(open));
        ASSERT_TRUE(MoveTo(CentreOf(a.window)));
        ASSERT_TRUE(WaitForClassLabel(open, "FinderA"));
        ASSERT_TRUE(WaitUntil([&] { return AIsInverted(); }, 2000));
        if (lstrcmpA(c.how, "owner") == 0)
            PostMessageA(GetWindow(open.dialog, GW_OWNER), kDestroyOwner, 0, 0);
        else
            PostMessageA(open.dialog, WM_KEYDOWN, lstrcmpA(c.how, "Escape") == 0 ? VK_ESCAPE : VK_RETURN, 1);
        EXPECT_EQ(WaitClosed(open), c.result);
        EXPECT_TRUE(WaitUntil([&] { return NothingInverted(); }, 2000));
        EXPECT_NE(LogEnd(open).find(kEndClean), std::string::npos) << LogEnd(open);
        std::vector<HWND> highlighted;
        EXPECT_TRUE(NeverTwoAtOnce(Inversions(open), &highlighted));
        EXPECT_EQ(highlighted, (std::vector<HWND>{ a.window }));
        ASSERT_TRUE(Release());
        Discard(open);
        open = OpenDialog();
    }
}

} // namespace
