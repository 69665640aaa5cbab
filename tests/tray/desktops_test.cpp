// The wheel on desktops the lab's one screen cannot show: monitors left of
// and above the primary (negative coordinates), and the page-wise wheel
// setting. Run by tools/on-monitors.sh on a desktop of three monitors.
#include "traytest.h"
#include "../hooklib/hooktest.h"
#include "store.h"
#include <shlwapi.h>

namespace {

const char* const kPrograms[] = { "Velmora.exe", "Velmora98.exe" }; // the NT and the 9x line
const char* const kClasses[] = { "VbaWindow", "VelmoraListed" };   // built-in and listed

struct Started {
    ChildProcess child;
    HWND window = NULL;
    Started(const char* exe, const std::string& arguments, const char* className)
    {
        child = StartChild(exe, arguments);
        window = WaitForWindow(className, child.processId);
    }
    ~Started() { EndChild(child); }
};

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM monitors)
{
    reinterpret_cast<std::vector<RECT>*>(monitors)->push_back(*rect);
    return TRUE;
}

bool Notch(POINT at, bool sendInput)
{
    if (!MoveCursor(at))
        return false;
    if (!sendInput)
        return Xdo("click 5");
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_WHEEL;
    input.mi.mouseData = static_cast<DWORD>(-WHEEL_DELTA);
    return SendInput(1, &input, sizeof input) == 1;
}

// One notch down over the lower pane of a focused code window at `rect`; what
// the window received once `pairs` pairs came, or in 5 s.
MessageSequence NotchOver(const char* className, const RECT& rect, bool sendInput, HWND* lowerBar, size_t pairs)
{
    char options[96];
    wsprintfA(options, "/class:%s /at:%ld,%ld,400,300", className, rect.left + 100, rect.top + 100);
    CodeWindow code(options, className);
    EXPECT_TRUE(code.TakeFocus());
    *lowerBar = code.Bar(1);
    EXPECT_TRUE(Notch(code.InPane(1), sendInput));
    WaitUntil([&] { return code.Record().size() >= 2 * pairs; });
    PumpFor(300);
    return code.Record();
}

class Desktops : public StoredSettings {
protected:
    void TearDown() override
    {
        SHDeleteValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "WheelScrollLines");
        StoredSettings::TearDown();
    }
};

TEST_F(Desktops, EveryMonitorScrollsThePaneUnderThePointer)
{
    std::vector<RECT> monitors;
    EnumDisplayMonitors(NULL, NULL, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    std::vector<RECT> awayFromOrigin; // left of the primary, then above it
    for (const RECT& rect : monitors)
        if (rect.left < 0 || rect.top < 0)
            awayFromOrigin.push_back(rect);
    ASSERT_EQ(awayFromOrigin.size(), 2u) << "this desktop has no monitors at negative coordinates";

    PutWindowList({ "VelmoraListed" });
    PutDword(VELMORA_OPTION_KEY, "ScrollCount", 3);
    for (const char* program : kPrograms) {
        Started velmora(program, "/background", "Velmora5");
        for (const RECT& monitor : awayFromOrigin)
            for (const char* className : kClasses)
                for (bool sendInput : { false, true }) {
                    HWND bar = NULL;
                    const MessageSequence got = NotchOver(className, monitor, sendInput, &bar, 3);
                    EXPECT_TRUE(SequenceIs(LinePairs(SB_LINEDOWN, bar, 3), got))
                        << program << " " << className << " at (" << monitor.left << "," << monitor.top << ")"
                        << (sendInput ? " through SendInput" : " through X");
                }
    }
}

// "One screen at a time": a page per notch, unless a count is stored.
TEST_F(Desktops, ThePageWiseWheelSettingScrollsAPagePerNotch)
{
    PutWindowList({ "VelmoraListed" });
    PutString("Control Panel\\Desktop", "WheelScrollLines", "-1");
    const RECT primary = { 0, 0, 800, 600 };
    for (bool stored : { false, true }) {
        if (stored)
            PutDword(VELMORA_OPTION_KEY, "ScrollCount", 2);
        for (const char* program : kPrograms) {
            Started velmora(program, "/background", "Velmora5");
            for (const char* className : kClasses) {
                HWND bar = NULL;
                const MessageSequence got = NotchOver(className, primary, false, &bar, stored ? 2 : 1);
                const MessageSequence page = { { WM_VSCROLL, SB_PAGEDOWN, reinterpret_cast<LPARAM>(bar) },
                                               { WM_VSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(bar) } };
                EXPECT_TRUE(SequenceIs(stored ? LinePairs(SB_LINEDOWN, bar, 2) : page, got))
                    << program << " " << className << (stored ? " with a stored count" : "");
            }
        }
    }
}

} // namespace
