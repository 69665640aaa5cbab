// 64-bit Office: its VBA editor's code windows are 64-bit windows of class
// "VbaWindow". Today's 32-bit Velmora.exe (NT line, WH_MOUSE_LL) serves them:
// here the sample code window runs as a 64-bit program (codewin64.exe) in a
// 64-bit Wine prefix, beside the program, and real wheel input from X
// scrolls its panes; the finder picks its class.
#include "dialogdriver.h"
#include "../../tools/codewin/codewin.h"

namespace {

const WPARAM kSettingsCommand = 32772;
const WPARAM kExitCommand = 105;
const int kCount = 3;

bool Is64BitProcess(HANDLE process)
{
    BOOL wow64 = TRUE;
    return IsWow64Process(process, &wow64) && !wow64;
}

// The 64-bit sample code window, given the focus.
struct CodeWindow64 {
    ChildProcess process;
    HWND window = NULL;

    explicit CodeWindow64(const std::string& className)
    {
        process = StartChild("codewin64.exe", "/class:" + className + " /at:40,40,520,420");
        window = WaitForWindow(className.c_str(), process.processId);
        WaitUntil([&] { return window && IsWindowVisible(window); });
    }
    ~CodeWindow64() { EndChild(process); }
    bool TakeFocus() const
    {
        PostMessageA(window, CW_FOCUS, 0, 0);
        return WaitUntil([&] {
            GUITHREADINFO info = {};
            info.cbSize = sizeof info;
            return GetGUIThreadInfo(0, &info) && info.hwndFocus == window;
        });
    }
    HWND Bar(int pane) const { return reinterpret_cast<HWND>(SendMessageA(window, CW_GETBAR, pane, 0)); }
    int TopLine(int pane) const { return static_cast<int>(SendMessageA(window, CW_GETTOPLINE, pane, 0)); }
    POINT InPane(int pane) const { return ClientPoint(window, 0.3, pane ? 0.75 : 0.25); }
    MessageSequence Record() const { return CodeWindowRecord(window); }
    void Clear() const { SendMessageA(window, CW_CLEAR, 0, 0); }
};

// Today's Velmora.exe, started in the background.
struct Program {
    ChildProcess process;
    HWND mainWindow = NULL;

    Program()
    {
        process = StartChild("Velmora.exe", "/background");
        mainWindow = WaitForWindow("Velmora5", process.processId);
        PumpFor(500); // its thread reaches its message loop and so takes hook calls
    }
    ~Program()
    {
        if (mainWindow)
            PostMessageA(mainWindow, WM_COMMAND, kExitCommand, 0);
        EndChild(process);
    }
};

// Real wheel notches over `point`: 5 turns down, 4 up.
bool Notches(POINT point, const std::string& buttons)
{
    return MoveCursor(point) && Xdo(buttons);
}

MessageSequence Joined(MessageSequence first, const MessageSequence& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class Win64 : public ::testing::Test {
protected:
    void SetUp() override
    {
        BOOL wow64 = FALSE;
        ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
            << "not a 32-bit program in a 64-bit prefix: run the tests through tools/test.sh";
        Seed({}, kCount, "");
    }
};

TEST_F(Win64, TheProgramScrollsBothPanesOfA64BitCodeWindow)
{
    CodeWindow64 code("VbaWindow");
    ASSERT_NE(code.window, nullptr);
    EXPECT_TRUE(Is64BitProcess(code.process.process));
    Program program;
    ASSERT_NE(program.mainWindow, nullptr);
    EXPECT_FALSE(Is64BitProcess(program.process.process));
    ASSERT_TRUE(code.TakeFocus());

    ASSERT_TRUE(Notches(code.InPane(1), "click 5"));
    EXPECT_TRUE(WaitUntil([&] { return code.Record().size() >= 2 * kCount; }));
    PumpFor(300);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), kCount), code.Record()));
    EXPECT_EQ(code.TopLine(1), kCount);
    EXPECT_EQ(code.TopLine(0), 0);

    code.Clear();
    ASSERT_TRUE(Notches(code.InPane(0), "click 5 click 5 click 4"));
    EXPECT_TRUE(WaitUntil([&] { return code.Record().size() >= 6 * kCount; }));
    PumpFor(300);
    const MessageSequence upper = Joined(Joined(LinePairs(SB_LINEDOWN, code.Bar(0), kCount),
                                                LinePairs(SB_LINEDOWN, code.Bar(0), kCount)),
                                         LinePairs(SB_LINEUP, code.Bar(0), kCount));
    EXPECT_TRUE(SequenceIs(upper, code.Record()));
    EXPECT_EQ(code.TopLine(0), kCount);
    EXPECT_EQ(code.TopLine(1), kCount) << "the lower pane stays where it was";
}

// A 64-bit window of a class of its own: the finder names it, Add and OK
// store it, and the program then scrolls it through its list.
TEST_F(Win64, TheFinderPicksTheClassOfA64BitWindow)
{
    CodeWindow64 code("Editor64");
    ASSERT_NE(code.window, nullptr);
    EXPECT_TRUE(Is64BitProcess(code.process.process));
    Program program;
    ASSERT_NE(program.mainWindow, nullptr);

    OpenDialog open;
    PostMessageA(program.mainWindow, WM_COMMAND, kSettingsCommand, 0);
    open.dialog = WaitForWindow("#32770", program.process.processId);
    ASSERT_NE(open.dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(open.dialog) != FALSE; }));
    PumpFor(200);
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(code.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "Editor64"));
    EXPECT_EQ(TextOf(Item(open, 1007)), "Module1 (Code)");
    ASSERT_TRUE(Release());
    ASSERT_TRUE(Click(Item(open, 1001)));
    EXPECT_EQ(RowCount(open), 1);
    ASSERT_TRUE(Click(Item(open, IDOK)));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(open.dialog); }));
    EXPECT_EQ(ReadStored().list, (std::vector<std::string>{ "Editor64" }));

    ASSERT_TRUE(code.TakeFocus());
    ASSERT_TRUE(Notches(code.InPane(1), "click 5"));
    EXPECT_TRUE(WaitUntil([&] { return code.Record().size() >= 2 * kCount; }));
    PumpFor(300);
    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, code.Bar(1), kCount), code.Record()));
}

} // namespace
