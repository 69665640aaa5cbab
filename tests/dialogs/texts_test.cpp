// The texts of the user interface read back as UTF-16, whatever the ANSI
// code page: the settings dialog, its column header and its duplicate
// message, the About box, the tray menu and the message box of a hook that
// cannot be installed. Korean where the interface language is Korean, English
// elsewhere. CTest runs this program under code pages 949 and 1252 with each
// interface language; both come from the Unix locale of each process
// (LC_CTYPE and LC_MESSAGES), and VELMORA_EXPECT_ACP and VELMORA_EXPECT_LANG
// say which the run is meant to have. The English texts live in the program
// alone, so no resource lookup by locale can show them in its place. The dialogs run in a dialog host, which inherits the
// locale; the tray menu and the hook's message box run in this process.
// The last test takes the interface as the Windows 9x line runs it.
#include "dialogdriver.h"
#include <commctrl.h>
#include <cstdlib>
#include <fstream>
#include <set>
#include "appstate.h"
#include "kestro.h"
#include "mainwnd.h"
#include "version.h"

namespace {

UINT ExpectedCodePage()
{
    const char* expected = getenv("VELMORA_EXPECT_ACP");
    return expected ? static_cast<UINT>(atoi(expected)) : 0;
}

bool English()
{
    const char* language = getenv("VELMORA_EXPECT_LANG");
    return language && strcmp(language, "en") == 0;
}

std::wstring Say(const wchar_t* korean, const wchar_t* english) { return English() ? english : korean; }

std::wstring Widen(const char* ascii)
{
    return std::wstring(ascii, ascii + strlen(ascii));
}

// The texts of the dialog's own controls in template order, but for icons,
// the list view and the edit, whose texts are no interface texts.
std::vector<std::wstring> ControlTexts(HWND dialog)
{
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
            continue;
        if (lstrcmpiA(className, "Button") != 0 && lstrcmpiA(className, "Static") != 0)
            continue;
        texts.push_back(WideTextOf(child));
    }
    return texts;
}

// A column's header of a list view in another process, read through a
// buffer placed in that process.
std::wstring ColumnHeader(HWND listView, DWORD processId, int index = 0)
{
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return L"(no access)";
    const SIZE_T textChars = 256;
    const SIZE_T size = sizeof(LVCOLUMNW) + textChars * sizeof(wchar_t);
    BYTE* remote = static_cast<BYTE*>(VirtualAllocEx(process, NULL, size, MEM_COMMIT, PAGE_READWRITE));
    std::wstring text = L"(not read)";
    if (remote) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = reinterpret_cast<wchar_t*>(remote + sizeof column);
        column.cchTextMax = static_cast<int>(textChars);
        std::vector<wchar_t> buffer(textChars, 0);
        if (WriteProcessMemory(process, remote, &column, sizeof column, NULL) &&
            WriteProcessMemory(process, remote + sizeof column, buffer.data(), textChars * sizeof(wchar_t), NULL) &&
            SendMessageW(listView, LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(process, remote + sizeof column, buffer.data(), (textChars - 1) * sizeof(wchar_t),
                              NULL))
            text = buffer.data();
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

class Texts : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(ExpectedCodePage(), 0u) << "VELMORA_EXPECT_ACP is not set: run the tests through CTest";
        ASSERT_EQ(GetACP(), ExpectedCodePage()) << "this run is not under the code page it is meant for";
        Seed({}, 3, "");
    }
    void TearDown() override { Discard(open); }

    OpenDialog open;
};

TEST_F(Texts, SettingsDialog)
{
    open = OpenSettings();
    ASSERT_NE(open.dialog, nullptr);
    EXPECT_EQ(HostCodePage(open), ExpectedCodePage()) << "the host inherits the locale";
    EXPECT_TRUE(IsWindowUnicode(open.dialog));
    EXPECT_EQ(WideTextOf(open.dialog), Say(L"설정", L"Settings"));
    const std::vector<std::wstring> expected = {
        Say(L"창 찾기", L"Find a window"),
        Say(L"왼쪽 이미지를 원하는 윈도우로 드래그하세요", L"Drag the picture on the left onto a window"),
        Say(L"클래스명:", L"Class:"),
        L"", // 1006, emptied at the start
        Say(L"창 제목:", L"Title:"),
        L"", // 1007, emptied at the start
        Say(L"이 창에 휠 마우스 지원 추가", L"Add this window"),
        Say(L"마우스 휠 지원창 목록", L"Windows with wheel support"),
        Say(L"선택 항목 삭제", L"Delete"),
        Say(L"줄 수:", L"Lines:"), Say(L"지정", L"Set"), Say(L"한 화면씩", L"Page"), Say(L"기본", L"Default"),
        Say(L"기타", L"Options"),
        Say(L"스크롤 개수:", L"Lines:"),
        Say(L"윈도우 시작시 실행", L"Start with Windows"),
        Say(L"Shift+휠로 가로 스크롤", L"Shift+wheel scrolls sideways"),
        Say(L"클릭하지 않은 창도 스크롤", L"Scroll windows without clicking them first"),
        Say(L"Ctrl+휠로 한 화면씩 스크롤", L"Ctrl+wheel scrolls a page at a time"),
        Say(L"확인", L"OK"),
        Say(L"취소", L"Cancel"),
        Say(L"기본 지원: VbaWindow", L"Built in: VbaWindow"),
        Say(L"일부 설정은 조직에서 관리합니다.", L"Some settings are managed by your organization."),
    };
    EXPECT_EQ(ControlTexts(open.dialog), expected);
    EXPECT_EQ(ColumnHeader(Item(open, 1000), open.process.processId), Say(L"클래스명", L"Class name"));
    EXPECT_EQ(ColumnHeader(Item(open, 1000), open.process.processId, 1), Say(L"줄 수", L"Lines"));
}

TEST_F(Texts, DuplicateMessage)
{
    Target builtIn = StartTarget("VbaWindow", 900, 40, 300, 200);
    open = OpenSettings();
    ASSERT_NE(open.dialog, nullptr);
    ASSERT_TRUE(PressFinder(open));
    ASSERT_TRUE(MoveTo(CentreOf(builtIn.window)));
    ASSERT_TRUE(Release());
    ASSERT_TRUE(WaitForClassLabel(open, "VbaWindow"));
    ASSERT_TRUE(Click(Item(open, 1001)));
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = OwnedPopup(open)) != NULL; }));
    EXPECT_TRUE(IsWindowUnicode(box));
    EXPECT_EQ(WideTextOf(box), L"Velmora5");
    EXPECT_EQ(WideTextOf(GetDlgItem(box, 0xFFFF)), Say(L"이미 존재하는 창 목록입니다.", L"This window is already in the list."));
    ASSERT_TRUE(Keys(box, "Return"));
    EXPECT_TRUE(WaitUntil([&] { return OwnedPopup(open) == NULL; }));
    EndTarget(builtIn);
}

TEST_F(Texts, AboutBox)
{
    open = OpenAbout();
    ASSERT_NE(open.dialog, nullptr);
    EXPECT_EQ(HostCodePage(open), ExpectedCodePage());
    EXPECT_TRUE(IsWindowUnicode(open.dialog));
    EXPECT_EQ(WideTextOf(open.dialog), Say(L"정보", L"About"));
    const std::vector<std::wstring> expected = {
        Say(L"Velmora 버전 0.5 for VBA Users", L"Velmora version 0.5 for VBA Users"),
        Widen(VELMORA_NOTICE),
        Say(L"확인", L"OK"),
    };
    EXPECT_EQ(ControlTexts(open.dialog), expected);
}

// The menu as the main window shows it, read while it is open: a thread
// timer runs inside the menu's own loop.
struct MenuItem {
    UINT id;
    std::wstring text;
    bool operator==(const MenuItem& other) const { return id == other.id && text == other.text; }
};
std::vector<MenuItem> shownItems;
bool menuSeen = false;

void CALLBACK ReadShownMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND popup = FindProcessWindow("#32768", GetCurrentProcessId());
    if (!popup || !IsWindowVisible(popup))
        return;
    KillTimer(NULL, timer);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        shownItems.push_back({ GetMenuItemID(menu, i), text });
    }
    menuSeen = true;
    EndMenu();
}

std::ostream& operator<<(std::ostream& out, const MenuItem& item)
{
    out << item.id << " \"";
    for (wchar_t c : item.text)
        out << (c < 128 ? static_cast<char>(c) : '?');
    return out << "\" (" << item.text.size() << " characters)";
}

TEST_F(Texts, TrayMenu)
{
    AppState.instance = GetModuleHandleA(NULL); // this program carries the menu resource
    AppState.backgroundMode = 1;
    WindowListClear(&AppState.windowList);
    RegisterMainWindowClass(AppState.instance);
    ASSERT_EQ(CreateMainWindow(AppState.instance), 1);
    HWND window = FindProcessWindow("Velmora5", GetCurrentProcessId());
    ASSERT_NE(window, nullptr);

    shownItems.clear();
    menuSeen = false;
    const UINT_PTR timer = SetTimer(NULL, 0, 100, ReadShownMenu);
    PostMessageA(window, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    EXPECT_TRUE(WaitUntil([] { return menuSeen; })) << "the menu did not open";
    KillTimer(NULL, timer);
    const std::vector<MenuItem> expected = {
        { IDM_SETTINGS, Say(L"설정(&O)...", L"&Settings...") },
        { IDM_ABOUT, Say(L"정보(&A)...", L"&About...") },
        { 0, L"" }, // the separator
        { IDM_EXIT, Say(L"끝내기(&X)", L"E&xit") },
    };
    EXPECT_EQ(shownItems, expected);

    DestroyWindow(window);
    PumpFor(50); // takes the quit message the window posted
}

// The message box of a hook that cannot be installed. The program calls the
// library's InstallMouseHook through its import table; pointing that entry
// at a stand-in that refuses makes the window's creation fail as it would.
int WINAPI RefuseHook(int) { return 0; }

std::wstring boxCaption, boxText;
bool boxSeen = false;

void CALLBACK ReadShownBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = FindProcessWindow("#32770", GetCurrentProcessId());
    if (!box || !IsWindowVisible(box))
        return;
    KillTimer(NULL, timer);
    boxCaption = WideTextOf(box);
    boxText = WideTextOf(GetDlgItem(box, 0xFFFF));
    boxSeen = true;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Texts, HookFailureMessage)
{
    AppState.instance = GetModuleHandleA(NULL);
    AppState.backgroundMode = 1;
    WindowListClear(&AppState.windowList);
    RegisterMainWindowClass(AppState.instance);
    const FARPROC install = GetProcAddress(GetModuleHandleA("kestro.dll"), MAKEINTRESOURCEA(4));
    void** slot = ImportSlot(GetModuleHandleA(NULL), "kestro.dll", install);
    ASSERT_NE(slot, nullptr) << "InstallMouseHook is not imported";
    ASSERT_TRUE(Patch(slot, reinterpret_cast<void*>(RefuseHook)));

    boxSeen = false;
    const UINT_PTR timer = SetTimer(NULL, 0, 100, ReadShownBox);
    EXPECT_EQ(CreateMainWindow(AppState.instance), 0) << "the window is refused";
    KillTimer(NULL, timer);
    Patch(slot, reinterpret_cast<void*>(install));
    PumpFor(50); // takes the quit message the window posted
    ASSERT_TRUE(boxSeen);
    EXPECT_EQ(boxCaption, L"Velmora5");
    EXPECT_EQ(boxText, Say(L"구성요소를 열지 못했습니다.", L"A component could not be opened."));
}

// Windows 95, 98 and Me implement only these wide functions (and the two
// conversions); Wine's win98 mode implements all, so the calls are checked.
const std::set<std::string> kWideOn9x = { "ExtTextOutW", "GetCharWidthW", "GetTextExtentExPointW",
    "GetTextExtentPointW", "GetTextExtentPoint32W", "MessageBoxW", "MessageBoxExW", "TextOutW" };

// The trace filter: "dll.Function" of each call in a relay trace
// (WINEDEBUG=+relay) whose return address lies in [base, base + size), the
// calling program's own image.
std::set<std::string> OwnCalls(const char* tracePath, const BYTE* base, DWORD size)
{
    std::set<std::string> calls;
    std::ifstream trace(tracePath);
    for (std::string line; std::getline(trace, line);) {
        const size_t call = line.find(":Call "), open = line.find('(', call), ret = line.rfind(" ret=");
        if (call != std::string::npos && open != std::string::npos && ret != std::string::npos &&
            strtoull(line.c_str() + ret + 5, NULL, 16) - reinterpret_cast<UINT_PTR>(base) < size)
            calls.insert(line.substr(call + 6, open - call - 6));
    }
    return calls;
}

HWND WaitShown(const char* className, DWORD processId)
{
    HWND window = NULL;
    WaitUntil([&] { return (window = FindProcessWindow(className, processId)) && IsWindowVisible(window); }, 30000);
    return window;
}

// Started from a shell, as the measurement was: the trace is the Unix standard
// error, which no Windows parent can redirect. With no process handle for a
// Unix program, the test finds the program by its main window.
TEST_F(Texts, Windows9xLineCallsNoOtherWideFunction)
{
    const char* trace = "C:\\velmora98-relay.log"; // in this test's own prefix
    SetCurrentDirectoryA(BinDir().c_str()); // the shell's too
    GetDesktopWindow();                     // the desktop runs already: the trace holds the program alone
    char command[] = "Z:\\bin\\sh -c \"WINEDEBUG=+relay exec wine Velmora98.exe 2>$WINEPREFIX/drive_c/velmora98-relay.log\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started));
    DWORD& id = open.process.processId;
    HWND mainWindow = WaitForWindow("Velmora5", 0, 30000);
    GetWindowThreadProcessId(mainWindow, &id);
    open.process.process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
    DWORD size = 0;
    const BYTE* base = ProcessModuleBase(id, "Velmora98.exe", &size);
    ASSERT_NE(base, nullptr) << "Velmora98.exe did not start";

    HWND about = WaitShown("#32770", id); // the About box at start
    ASSERT_NE(about, nullptr);
    // Korean only through the Korean code page, which converts the template's texts right;
    // elsewhere the program sets English ones, a Korean user's language or not.
    EXPECT_EQ(WideTextOf(about), ExpectedCodePage() == 949 ? L"정보" : L"About");
    ASSERT_TRUE(Keys(about, "Return") && WaitUntil([&] { return !IsWindow(about); }, 30000));

    PostMessageA(mainWindow, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
    HWND menu = WaitShown("#32768", id);
    ASSERT_NE(menu, nullptr) << "the tray menu did not open";
    RECT items = {};
    GetWindowRect(menu, &items);
    ASSERT_TRUE(ClickAt({ (items.left + items.right) / 2, items.top + 8 })); // its first item: settings
    open.dialog = WaitShown("#32770", id);
    ASSERT_NE(open.dialog, nullptr) << "the settings dialog did not open";
    // 9x speaks Korean where the user's or the system's language is and the code page is 949.
    EXPECT_EQ(ColumnHeader(Item(open, 1000), id), ExpectedCodePage() == 949 ? L"클래스명" : L"Class name");

    Target builtIn = StartTarget("VbaWindow", 900, 40, 300, 200); // the duplicate message
    ASSERT_TRUE(PressFinder(open) && MoveTo(CentreOf(builtIn.window)) && Release());
    ASSERT_TRUE(WaitForClassLabel(open, "VbaWindow"));
    ASSERT_TRUE(Click(Item(open, 1001)));
    HWND box = NULL;
    ASSERT_TRUE(WaitUntil([&] { return (box = OwnedPopup(open)) != NULL; }, 30000)) << "no duplicate message";
    ASSERT_TRUE(Keys(box, "Return") && WaitUntil([&] { return OwnedPopup(open) == NULL; }, 30000));
    ASSERT_TRUE(Click(Item(open, IDCANCEL)));
    EndTarget(builtIn);
    PostMessageA(mainWindow, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(WaitChild(open.process, 30000), 0u);

    const std::set<std::string> calls = OwnCalls(trace, base, size);
    DeleteFileA(trace);
    std::string wide;
    for (const std::string& call : calls)
        if (call.back() == 'W' && !kWideOn9x.count(call.substr(call.find('.') + 1)))
            wide += " " + call;
    for (const char* taken : { "user32.EndDialog", "user32.TrackPopupMenu", "user32.MessageBoxW" })
        EXPECT_TRUE(calls.count(taken)) << taken << " is not in the trace: a path was not taken";
    EXPECT_EQ(wide, "") << "wide functions that Windows 9x does not implement";
}

} // namespace
