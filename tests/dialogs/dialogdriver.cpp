#include "dialogdriver.h"
#include <commctrl.h>
#include <cstdio>
#include <fstream>
#include "policy.h"
#include "store.h"
#include "kestro.h"

namespace {

// A step of real input takes effect once the host has drained its queue.
void Settle() { PumpFor(150); }

std::string NewLogPath()
{
    static int sequence = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%svelmora-finder-%lu-%d.log", temp, GetCurrentProcessId(), ++sequence);
    DeleteFileA(name);
    return name;
}

OpenDialog OpenHost(const std::string& arguments, const std::string& logPath)
{
    OpenDialog open;
    open.logPath = logPath;
    open.statePath = NewLogPath();
    const std::string library = std::to_string(GetScrollCount()) + "," + std::to_string(GetShiftScroll()) + "," +
                                std::to_string(GetScrollUnfocused()) + "," + std::to_string(GetCtrlPage());
    const std::string all = arguments + " /library:" + library + " /state:" + open.statePath;
    open.process = StartChild("dialoghost.exe", logPath.empty() ? all : all + " /log:" + logPath);
    open.dialog = WaitForWindow("#32770", open.process.processId);
    // WM_INITDIALOG has run once the dialog is visible.
    WaitUntil([&] { return open.dialog && IsWindowVisible(open.dialog); });
    Settle();
    return open;
}

std::string Narrow(const std::vector<char>& buffer)
{
    return std::string(buffer.data());
}

void WriteString(HKEY key, const char* name, const std::string& text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

bool ReadString(HKEY key, const char* name, std::string* text)
{
    std::vector<char> buffer(4096, 0);
    DWORD size = static_cast<DWORD>(buffer.size() - 1);
    DWORD type = 0;
    if (RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    *text = Narrow(buffer);
    return true;
}

} // namespace

OpenDialog OpenSettings(bool withLog) { return OpenHost("/settings", withLog ? NewLogPath() : std::string()); }

OpenDialog OpenAbout() { return OpenHost("/about", std::string()); }

DWORD WaitClosed(OpenDialog& open)
{
    const DWORD code = WaitChild(open.process, 5000);
    if (code != ~0u) {
        CloseHandle(open.process.process);
        open.process = ChildProcess();
    }
    // What the host's library holds at the end, as this process's.
    int count = 0, shift = 0, unfocused = 0, page = 0;
    if (std::ifstream(open.statePath) >> count >> shift >> unfocused >> page)
        SetScrollCount(count), SetShiftScroll(shift), SetScrollUnfocused(unfocused), SetCtrlPage(page);
    return code;
}

void Discard(OpenDialog& open)
{
    if (open.process.process)
        EndChild(open.process);
    for (const std::string& path : { open.logPath, open.statePath })
        if (!path.empty())
            DeleteFileA(path.c_str());
}

std::vector<std::string> LogLines(const OpenDialog& open)
{
    std::vector<std::string> lines;
    std::ifstream file(open.logPath);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

std::string LogEnd(const OpenDialog& open)
{
    for (const std::string& line : LogLines(open))
        if (line.rfind("end ", 0) == 0)
            return line;
    return std::string();
}

std::vector<HWND> Inversions(const OpenDialog& open)
{
    std::vector<HWND> windows;
    for (const std::string& line : LogLines(open)) {
        unsigned long handle = 0;
        if (sscanf(line.c_str(), "invert %lu", &handle) == 1)
            windows.push_back(reinterpret_cast<HWND>(static_cast<UINT_PTR>(handle)));
    }
    return windows;
}

HWND Item(const OpenDialog& open, int id) { return GetDlgItem(open.dialog, id); }

std::string TextOf(HWND window)
{
    // WM_GETTEXT itself: across processes GetWindowTextA gives only the
    // window name, which an edit control does not keep up to date.
    std::vector<char> buffer(1024, 0);
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, buffer.size() - 1, reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, 2000, &length);
    return Narrow(buffer);
}

std::wstring WideTextOf(HWND window)
{
    std::vector<wchar_t> buffer(1024, 0);
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size() - 1, reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, 2000, &length);
    return std::wstring(buffer.data());
}

static LRESULT AskHost(const OpenDialog& open, UINT message, WPARAM wParam)
{
    DWORD_PTR answer = static_cast<DWORD_PTR>(-1);
    SendMessageTimeoutA(GetWindow(open.dialog, GW_OWNER), message, wParam, 0, SMTO_ABORTIFHUNG, 2000, &answer);
    return static_cast<LRESULT>(answer);
}

UINT HostCodePage(const OpenDialog& open) { return static_cast<UINT>(AskHost(open, kQueryCodePage, 0)); }

LRESULT ControlMadeBy(const OpenDialog& open, int id) { return AskHost(open, kQueryControl, id); }

POINT CentreOf(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    POINT point = { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
    return point;
}

int RowCount(const OpenDialog& open)
{
    return static_cast<int>(SendMessageA(Item(open, 1000), LVM_GETITEMCOUNT, 0, 0));
}

namespace {

struct PopupSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchOwnedPopup(HWND window, LPARAM data)
{
    PopupSearch* search = reinterpret_cast<PopupSearch*>(data);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND OwnedPopup(const OpenDialog& open)
{
    PopupSearch search = { open.dialog, NULL };
    EnumWindows(MatchOwnedPopup, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ClickAt(POINT point)
{
    const bool done = Xdo("mousemove " + std::to_string(point.x) + " " + std::to_string(point.y) + " click 1");
    Settle();
    return done;
}

bool Click(HWND window) { return ClickAt(CentreOf(window)); }

// Without a window manager the keyboard goes to the X window under the
// pointer, and Wine takes keys only for the window it has activated: so a
// click on the window first, and the pointer stays on it.
bool Keys(HWND window, const std::string& keys)
{
    HWND topLevel = GetAncestor(window, GA_ROOT);
    POINT blank = { 8, 8 }; // a spot of the client area with no control on it
    ClientToScreen(topLevel, &blank);
    if (!ClickAt(blank))
        return false;
    return KeysHere(keys);
}

bool KeysHere(const std::string& keys)
{
    const bool done = Xdo("key " + keys);
    Settle();
    return done;
}

bool TypeInto(HWND edit, const std::string& text)
{
    if (!Click(edit) || !KeysHere("End shift+Home BackSpace"))
        return false;
    // The agent splits its arguments at blanks, so blanks go as keys.
    std::string word;
    for (char c : text) {
        if (c == ' ') {
            if (!word.empty() && !Xdo("type -- " + word))
                return false;
            word.clear();
            if (!Xdo("key space"))
                return false;
        } else {
            word += c;
        }
    }
    if (!word.empty() && !Xdo("type -- " + word))
        return false;
    Settle();
    return true;
}

bool PressFinder(const OpenDialog& open)
{
    const POINT icon = CentreOf(Item(open, 1005));
    const bool done = Xdo("mousemove " + std::to_string(icon.x) + " " + std::to_string(icon.y) + " mousedown 1");
    Settle();
    return done;
}

bool MoveTo(POINT point)
{
    // Two steps, so the host sees a move even when the pointer lands where it was.
    const bool done = Xdo("mousemove " + std::to_string(point.x + 1) + " " + std::to_string(point.y)) &&
                      Xdo("mousemove " + std::to_string(point.x) + " " + std::to_string(point.y));
    Settle();
    return done;
}

bool Release()
{
    const bool done = Xdo("mouseup 1");
    Settle();
    return done;
}

bool WaitForClassLabel(const OpenDialog& open, const std::string& text)
{
    return WaitUntil([&] { return TextOf(Item(open, 1006)) == text; }, 3000);
}

Target StartTarget(const std::string& className, int x, int y, int w, int h, const std::string& more)
{
    Target target;
    char at[64];
    snprintf(at, sizeof at, "/at:%d,%d,%d,%d", x, y, w, h);
    target.process = StartChild("codewin.exe", "/class:" + className + " " + at + (more.empty() ? "" : " " + more));
    target.window = WaitForWindow(className.c_str(), target.process.processId);
    WaitUntil([&] { return target.window && IsWindowVisible(target.window); });
    PumpFor(200);
    return target;
}

void EndTarget(Target& target)
{
    if (target.process.process)
        EndChild(target.process);
}

StoredSettings ReadStored()
{
    StoredSettings stored;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_WINDOWLIST_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        stored.listKeyExists = true;
        DWORD count = 0, size = sizeof count;
        RegQueryValueExA(key, "Count", NULL, NULL, reinterpret_cast<BYTE*>(&count), &size);
        for (DWORD i = 0; i < count && i < 1000; ++i) {
            std::string text;
            ReadString(key, std::to_string(i).c_str(), &text);
            stored.list.push_back(text);
        }
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD length = sizeof name;
            if (RegEnumValueA(key, i, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            stored.valueNames.push_back(name);
        }
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_OPTION_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = sizeof stored.scrollCount;
        stored.countStored =
            RegQueryValueExA(key, "ScrollCount", NULL, NULL, reinterpret_cast<BYTE*>(&stored.scrollCount), &size) ==
            ERROR_SUCCESS;
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_CURRENT_USER, VELMORA_RUN_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        stored.runPresent = ReadString(key, "Velmora5", &stored.runValue);
        RegCloseKey(key);
    }
    return stored;
}

void Seed(const std::vector<std::string>& list, DWORD scrollCount, const std::string& runValue)
{
    for (HKEY root : { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER })
        RegDeleteTreeA(root, VELMORA_POLICY_KEY);
    RegDeleteKeyA(HKEY_CURRENT_USER, VELMORA_WINDOWLIST_KEY);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, VELMORA_WINDOWLIST_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) ==
        ERROR_SUCCESS) {
        const DWORD count = static_cast<DWORD>(list.size());
        RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
        for (size_t i = 0; i < list.size(); ++i)
            WriteString(key, std::to_string(i).c_str(), list[i]);
        RegCloseKey(key);
    }
    if (RegCreateKeyExA(HKEY_CURRENT_USER, VELMORA_OPTION_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) ==
        ERROR_SUCCESS) {
        RegSetValueExA(key, "ScrollCount", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&scrollCount),
                       sizeof scrollCount);
        RegCloseKey(key);
    }
    if (RegCreateKeyExA(HKEY_CURRENT_USER, VELMORA_RUN_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) ==
        ERROR_SUCCESS) {
        if (runValue.empty())
            RegDeleteValueA(key, "Velmora5");
        else
            WriteString(key, "Velmora5", runValue);
        RegCloseKey(key);
    }
}
