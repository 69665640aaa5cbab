// The dialogs as the running program opens them: its menu commands, and the
// settings taking effect on the next wheel notch.
#include "dialogdriver.h"
#include "../../tools/codewin/codewin.h"
#include "kestro.h"

namespace {

const WPARAM kSettingsCommand = 32772;
const WPARAM kAboutCommand = 104;

struct Program {
    ChildProcess process;
    HWND mainWindow = NULL;
};

Program StartProgram()
{
    Program program;
    program.process = StartChild("Velmora.exe", "/background");
    program.mainWindow = WaitForWindow("Velmora5", program.process.processId);
    return program;
}

// Chooses a menu command of the main window and waits for its dialog.
OpenDialog OpenByCommand(const Program& program, WPARAM command)
{
    OpenDialog open;
    PostMessageA(program.mainWindow, WM_COMMAND, command, 0);
    open.dialog = WaitForWindow("#32770", program.process.processId);
    WaitUntil([&] { return open.dialog && IsWindowVisible(open.dialog); });
    PumpFor(200);
    return open;
}

TEST(Program, SettingsChosenFromTheMenuTakeEffectOnTheNextNotch)
{
    Seed({}, 3, "");
    Program program = StartProgram();
    ASSERT_NE(program.mainWindow, nullptr);
    Target target = StartTarget("MenuPicked", 900, 40, 340, 300);

    OpenDialog open = OpenByCommand(program, kSettingsCommand);
    ASSERT_NE(open.dialog, nullptr);
    EXPECT_EQ(TextOf(Item(open, 1003)), std::to_string(static_cast<int>(CallLibraryIn(program.process, 6))));
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(target.window)));
    ASSERT_TRUE(WaitForClassLabel(open, "MenuPicked"));
    ASSERT_TRUE(Release());
    ASSERT_TRUE(Click(Item(open, 1001)));
    ASSERT_TRUE(TypeInto(Item(open, 1003), "4"));
    ASSERT_TRUE(Click(Item(open, IDOK)));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(open.dialog); }));

    EXPECT_EQ(ReadStored().list, (std::vector<std::string>{ "MenuPicked" }));
    EXPECT_EQ(ReadStored().scrollCount, 4u);
    EXPECT_EQ(static_cast<int>(CallLibraryIn(program.process, 6)), 4);

    // The program is the commander again and scrolls the new class by 4 lines.
    PostMessageA(target.window, CW_FOCUS, 0, 0);
    PumpFor(300);
    const POINT lower = ClientPoint(target.window, 0.5, 0.75);
    ASSERT_TRUE(Xdo("mousemove " + std::to_string(lower.x) + " " + std::to_string(lower.y) + " click 5"));
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(target.window, CW_GETCOUNT, 0, 0) >= 8; }));
    PumpFor(300);
    EXPECT_EQ(SendMessageA(target.window, CW_GETCOUNT, 0, 0), 8) << "4 pairs of line messages";

    OpenDialog about = OpenByCommand(program, kAboutCommand);
    ASSERT_NE(about.dialog, nullptr);
    ASSERT_TRUE(Keys(about.dialog, "Return"));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about.dialog); }));
    EXPECT_TRUE(IsWindow(program.mainWindow)) << "the program runs on";

    PostMessageA(program.mainWindow, WM_COMMAND, 105, 0); // Exit
    EXPECT_EQ(WaitChild(program.process), 0u);
    CloseHandle(program.process.process);
    EndTarget(target);
}

} // namespace
