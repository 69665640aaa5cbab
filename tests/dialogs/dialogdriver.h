// Driving the tray program's dialogs in another process as a user would:
// real pointer and keyboard input through xdotool, controls read across the
// process boundary, settings read straight from the registry.
#pragma once
#include <string>
#include <vector>
#include "testsupport.h"
#include "dialoghost.h"

struct OpenDialog {
    ChildProcess process;
    HWND dialog = NULL;
    std::string logPath; // the host's inversion log, when asked for
    std::string statePath; // the host's library settings at its end
};

// The settings dialog in a dialog host; `withLog` records the finder's inversions.
OpenDialog OpenSettings(bool withLog = false);
OpenDialog OpenAbout();
// Waits for the host to end; its exit code is the dialog's result (~0u: still open).
DWORD WaitClosed(OpenDialog& open);
// Ends the host if it is still running.
void Discard(OpenDialog& open);
// The lines of the inversion log: window handles, and the closing "end ..." line.
std::vector<std::string> LogLines(const OpenDialog& open);
std::string LogEnd(const OpenDialog& open);
std::vector<HWND> Inversions(const OpenDialog& open);

HWND Item(const OpenDialog& open, int id);
// A window's text in the reader's ANSI code page (for the narrow texts).
std::string TextOf(HWND window);
// A window's text as UTF-16, as a Unicode window holds it.
std::wstring WideTextOf(HWND window);
// What the host tells of itself: its ANSI code page, and which controls made
// dialog control `id` (kFromCommonControls, kThemed; -1 for none).
UINT HostCodePage(const OpenDialog& open);
LRESULT ControlMadeBy(const OpenDialog& open, int id);
POINT CentreOf(HWND window);
int RowCount(const OpenDialog& open);
// A dialog of the host owned by the settings dialog (a message box), or null.
HWND OwnedPopup(const OpenDialog& open);

bool ClickAt(POINT point);
bool Click(HWND window);
// Key presses (xdotool key names) to the top-level window of `window`,
// after a click on a blank spot of it.
bool Keys(HWND window, const std::string& keys);
// Key presses to the window just clicked, with the pointer still on it.
bool KeysHere(const std::string& keys);
// Clicks into the edit, clears it and types `text` (leading/trailing blanks as Space keys).
bool TypeInto(HWND edit, const std::string& text);

// Press on the finder icon and move onto each point in turn, button held.
bool PressFinder(const OpenDialog& open);
bool MoveTo(POINT point);
bool Release();
// Waits until label 1006 reads `text`.
bool WaitForClassLabel(const OpenDialog& open, const std::string& text);

// Sample code windows of other processes as drag targets.
struct Target {
    ChildProcess process;
    HWND window = NULL;
};
Target StartTarget(const std::string& className, int x, int y, int w, int h, const std::string& more = "");
void EndTarget(Target& target);

// The stored settings, read directly.
struct StoredSettings {
    bool listKeyExists = false;
    std::vector<std::string> list;
    std::vector<std::string> valueNames; // every value under WindowList
    bool countStored = false;
    DWORD scrollCount = 0;
    bool runPresent = false;
    std::string runValue;
};
StoredSettings ReadStored();
// Replaces the stored settings, without policies; an empty runValue removes the Run value.
void Seed(const std::vector<std::string>& list, DWORD scrollCount, const std::string& runValue);
