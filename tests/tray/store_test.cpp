// The settings store against Wine's real registry.
#include "traytest.h"
#include "appstate.h"
#include "policy.h"
#include "store.h"
#include <shlwapi.h>
#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace {

std::vector<std::string> LoadedList()
{
    LoadWindowList();
    std::vector<std::string> entries;
    for (int i = 0; i < WindowListCount(&AppState.windowList); ++i)
        entries.push_back(WindowListAt(&AppState.windowList, i));
    return entries;
}

void SetList(const std::vector<std::string>& entries)
{
    WindowListClear(&AppState.windowList);
    for (const std::string& entry : entries)
        WindowListAppend(&AppState.windowList, entry.c_str());
}

// A system wheel setting unlike the fallback 3, so the two can be told apart.
class ScrollCountStore : public StoredSettings {
protected:
    UINT savedLines = 3;
    void SetUp() override
    {
        StoredSettings::SetUp();
        SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &savedLines, 0);
        SystemParametersInfoA(SPI_SETWHEELSCROLLLINES, 7, NULL, 0);
    }
    void TearDown() override
    {
        SystemParametersInfoA(SPI_SETWHEELSCROLLLINES, savedLines, NULL, 0);
        StoredSettings::TearDown();
    }
    int LoadWith(DWORD type, const void* data, DWORD size)
    {
        PutValue(VELMORA_OPTION_KEY, "ScrollCount", type, data, size);
        return LoadScrollCount();
    }
};

TEST_F(ScrollCountStore, RangeEdgesAndWrongTypes)
{
    EXPECT_EQ(LoadScrollCount(), 7) << "nothing stored gives the system setting";
    const DWORD kept[] = { 1, 50, 25 };
    for (DWORD count : kept)
        EXPECT_EQ(LoadWith(REG_DWORD, &count, 4), static_cast<int>(count));
    const DWORD outOfRange[] = { 0, 51, 0xFFFFFFFF, 0x80000000 };
    for (DWORD count : outOfRange)
        EXPECT_EQ(LoadWith(REG_DWORD, &count, 4), 3) << count;
    EXPECT_EQ(LoadWith(REG_SZ, "12", 3), 7) << "a string is not a count";
    const DWORD twelve = 12;
    EXPECT_EQ(LoadWith(REG_BINARY, &twelve, 4), 7);
    EXPECT_EQ(LoadWith(REG_DWORD, &twelve, 2), 7) << "a cut DWORD is unreadable";
    EXPECT_EQ(LoadWith(REG_DWORD, &twelve, 0), 7);
}

TEST_F(ScrollCountStore, SavedCountIsWrittenUncheckedAsDword)
{
    SaveScrollCount(-5);
    StoredValue value = GetValue(VELMORA_OPTION_KEY, "ScrollCount");
    ASSERT_TRUE(value.present);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(value.data.size(), 4u);
    EXPECT_EQ(*reinterpret_cast<const int*>(value.data.data()), -5);
    SaveScrollCount(9);
    EXPECT_EQ(LoadScrollCount(), 9);
}

TEST_F(ScrollCountStore, OptionThatIsAValueCountsAsAbsent)
{
    // A value under the program key that happens to be named Option is no key.
    PutDword(VELMORA_PROGRAM_KEY, "Option", 20);
    EXPECT_EQ(LoadScrollCount(), 7);
}

TEST_F(ScrollCountStore, OnOffOptionsAreOnForADword1OnlyAndSavedAsOneOrZero)
{
    const struct { const char* name; int (*load)(); void (*save)(int); } options[] = {
        { "ShiftScroll", LoadShiftScroll, SaveShiftScroll },
        { "ScrollUnfocused", LoadScrollUnfocused, SaveScrollUnfocused },
        { "CtrlPage", LoadCtrlPage, SaveCtrlPage } };
    const ULONGLONG one = 1, two = 2;
    const struct { DWORD type; const void* data; DWORD size; int on; } cases[] = {
        { REG_DWORD, &one, 4, 1 }, { REG_DWORD, &two, 4, 0 }, { REG_DWORD, &one, 2, 0 }, { REG_DWORD, &one, 8, 0 },
        { REG_BINARY, &one, 4, 0 }, { REG_QWORD, &one, 8, 0 }, { REG_SZ, "1", 2, 0 } }; // absent above
    for (const auto& option : options) {
        SCOPED_TRACE(option.name);
        EXPECT_EQ(option.load(), 0);
        for (const auto& c : cases) {
            PutValue(VELMORA_OPTION_KEY, option.name, c.type, c.data, c.size);
            EXPECT_EQ(option.load(), c.on) << "type " << c.type << " size " << c.size;
        }
        option.save(7);
        EXPECT_EQ(GetValue(VELMORA_OPTION_KEY, option.name).data, (std::vector<unsigned char>{ 1, 0, 0, 0 }));
        option.save(0);
        EXPECT_EQ(GetValue(VELMORA_OPTION_KEY, option.name).data, (std::vector<unsigned char>{ 0, 0, 0, 0 }));
    }
}

// Machine first, then user; a bad value is no policy and leaves the other in force.
TEST_F(StoredSettings, PoliciesWinMachineFirstAndBadValuesAreNone)
{
    struct Put { DWORD type, size; ULONGLONG value; };
    const Put no = { 0, 0, 0 }, cut = { REG_DWORD, 2, 12 }, text = { REG_SZ, 2, '1' }, qword = { REG_QWORD, 8, 1 };
    auto dw = [](DWORD value) { return Put{ REG_DWORD, 4, value }; };
    const PolicyId count = kScrollCountPolicy, shift = kShiftScrollPolicy, unfocused = kScrollUnfocusedPolicy;
    const PolicyId ctrl = kCtrlPagePolicy, run = kRunAtLogonPolicy;
    const struct { PolicyId id; Put machine, user; int expected; } cases[] = { // -1: no policy
        { count, no, dw(12), 12 }, { count, dw(7), dw(12), 7 }, { count, dw(51), dw(12), 12 }, { count, dw(0), no, -1 },
        { count, dw(50), dw(1), 50 }, { count, cut, dw(1), 1 }, { shift, no, dw(0), 0 }, { shift, dw(1), dw(0), 1 },
        { shift, no, dw(2), -1 }, { shift, text, no, -1 }, { unfocused, dw(1), no, 1 }, { ctrl, no, dw(0), 0 },
        { unfocused, no, dw(0xFFFFFFFF), -1 }, { ctrl, qword, no, -1 }, { run, dw(1), no, 1 },
        { run, { REG_BINARY, 4, 1 }, dw(0), 0 }, { run, no, dw(3), -1 } };
    for (const auto& c : cases) {
        WipeStoredSettings();
        const char* name = kPolicyValues[c.id].name;
        for (const auto& put : { std::make_pair(HKEY_LOCAL_MACHINE, c.machine), std::make_pair(HKEY_CURRENT_USER, c.user) })
            if (put.second.type)
                RegSetKeyValueA(put.first, VELMORA_POLICY_KEY, name, put.second.type, &put.second.value, put.second.size);
        int value = -1;
        EXPECT_EQ(ReadPolicy(c.id, &value), c.expected != -1) << name << " " << c.machine.value << " " << c.user.value;
        EXPECT_EQ(value, c.expected) << name;
    }
}

using WindowListStore = StoredSettings;

TEST_F(WindowListStore, GapsGiveEmptyEntriesAndVbaWindowIsDropped)
{
    PutDword(VELMORA_WINDOWLIST_KEY, "Count", 3);
    PutString(VELMORA_WINDOWLIST_KEY, "0", "Alpha");
    PutString(VELMORA_WINDOWLIST_KEY, "2", "Gamma");
    EXPECT_EQ(LoadedList(), (std::vector<std::string>{ "Alpha", "", "Gamma" }));

    PutWindowList({ "VbaWindow", "vbaWindow", "Beta", "VbaWindow", "Beta" });
    EXPECT_EQ(LoadedList(), (std::vector<std::string>{ "vbaWindow", "Beta", "Beta" }))
        << "only the exact built-in name is dropped; duplicates stay";
    SaveWindowList();
    StoredValue count = GetValue(VELMORA_WINDOWLIST_KEY, "Count");
    ASSERT_TRUE(count.present);
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(count.data.data()), 3u);
    EXPECT_FALSE(GetValue(VELMORA_WINDOWLIST_KEY, "3").present);
}

TEST_F(WindowListStore, NoKeyOrNoCountGivesAnEmptyList)
{
    SetList({ "Stale" });
    EXPECT_TRUE(LoadedList().empty()) << "the old list is emptied even when nothing can be read";
    PutString(VELMORA_WINDOWLIST_KEY, "0", "Alpha");
    EXPECT_TRUE(LoadedList().empty());
    PutString(VELMORA_WINDOWLIST_KEY, "Count", "1");
    EXPECT_TRUE(LoadedList().empty()) << "a Count that is not a DWORD";
    const DWORD negative[] = { 0, 0x80000000, 0xFFFFFFFF };
    for (DWORD count : negative) {
        PutDword(VELMORA_WINDOWLIST_KEY, "Count", count);
        EXPECT_TRUE(LoadedList().empty()) << count;
    }
}

TEST_F(WindowListStore, WindowListThatIsAValueGivesAnEmptyList)
{
    PutString(VELMORA_PROGRAM_KEY, "WindowList", "Alpha");
    EXPECT_TRUE(LoadedList().empty());
    SetList({ "Alpha" });
    SaveWindowList();
    EXPECT_EQ(LoadedList(), (std::vector<std::string>{ "Alpha" }));
}

// A Count far beyond the values present must not stall the start.
TEST_F(WindowListStore, CorruptCountLoadsNoMoreEntriesThanValues)
{
    PutDword(VELMORA_WINDOWLIST_KEY, "Count", 0x7FFFFFFF);
    PutString(VELMORA_WINDOWLIST_KEY, "0", "Alpha");
    PutString(VELMORA_WINDOWLIST_KEY, "1", "Beta");
    const DWORD start = GetTickCount();
    const std::vector<std::string> entries = LoadedList();
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(entries, (std::vector<std::string>{ "Alpha", "Beta", "" }))
        << "three values, so at most three entries";
}

TEST_F(WindowListStore, UnusableEntryValuesLoadAsEmptyEntries)
{
    const std::string longest(254, 'L');
    const std::string tooLong(255, 'T');
    const DWORD number = 0x41414141;
    PutDword(VELMORA_WINDOWLIST_KEY, "Count", 9);
    PutString(VELMORA_WINDOWLIST_KEY, "0", longest);
    PutString(VELMORA_WINDOWLIST_KEY, "1", tooLong);
    PutValue(VELMORA_WINDOWLIST_KEY, "2", REG_DWORD, &number, 4);
    PutValue(VELMORA_WINDOWLIST_KEY, "3", REG_BINARY, "Abc", 4);
    PutValue(VELMORA_WINDOWLIST_KEY, "4", REG_MULTI_SZ, "Abc\0", 5);
    PutValue(VELMORA_WINDOWLIST_KEY, "5", REG_SZ, "NoEnd", 5);
    PutValue(VELMORA_WINDOWLIST_KEY, "6", REG_EXPAND_SZ, "%TEMP%", 7);
    PutValue(VELMORA_WINDOWLIST_KEY, "7", REG_SZ, "", 0);
    PutString(VELMORA_WINDOWLIST_KEY, "8", "\xb0\xa1\xb3\xaa"); // "가나" in the Korean code page
    EXPECT_EQ(LoadedList(), (std::vector<std::string>{ longest, "", "", "", "", "", "%TEMP%", "", "\xb0\xa1\xb3\xaa" }));
}

TEST_F(WindowListStore, SaveRebuildsTheKeyExactly)
{
    SetList({ "A1", "B2", "C3", "D4", "E5" });
    SaveWindowList();
    SetList({ "", "B2" });
    SaveWindowList();
    std::vector<std::string> names = ValueNames(VELMORA_WINDOWLIST_KEY);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{ "0", "1", "Count" }));
    StoredValue empty = GetValue(VELMORA_WINDOWLIST_KEY, "0");
    EXPECT_EQ(empty.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(empty.data, std::vector<unsigned char>(1, 0)) << "an empty entry is stored as its NUL alone";
    EXPECT_EQ(LoadedList(), (std::vector<std::string>{ "", "B2" }));

    SetList({});
    SaveWindowList();
    EXPECT_EQ(ValueNames(VELMORA_WINDOWLIST_KEY), (std::vector<std::string>{ "Count" }));
    EXPECT_EQ(GetValue(VELMORA_WINDOWLIST_KEY, "Count").data, std::vector<unsigned char>(4, 0));
}

// Lines of a class's own, apart from the list: a whole REG_DWORD of 0 (a page) to 50, else none (0).
TEST_F(WindowListStore, LinesPerClassLoadLenientlyAndOnlyListedOnesAreSaved)
{
    const struct { const char* name; DWORD type, size; ULONGLONG stored; int lines; } cases[] = {
        { "Ten", REG_DWORD, 4, 10, 10 }, { "Page", REG_DWORD, 4, 0, kPageScrollCount }, { "Most", REG_DWORD, 4, 50, 50 },
        { "Big", REG_DWORD, 4, 51, 0 }, { "Huge", REG_DWORD, 4, 0xFFFFFFFF, 0 }, { "Text", REG_SZ, 2, '5', 0 },
        { "Cut", REG_DWORD, 2, 10, 0 }, { "Quad", REG_QWORD, 8, 10, 0 }, { "", REG_DWORD, 4, 10, 0 } };
    for (const auto& c : cases)
        PutValue(VELMORA_WINDOWCOUNT_KEY, c.name, c.type, &c.stored, c.size);
    PutValue(VELMORA_WINDOWCOUNT_KEY, std::string(300, 'P').c_str(), REG_DWORD, &cases[0].stored, 4);
    PutWindowList({ "Ten", "Page", "Most", "Big", "Huge", "Text", "Cut", "Quad", "", std::string(254, 'P') });
    ASSERT_EQ(LoadedList().size(), 10u) << "a bad value spoils no entry";
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(WindowListLinesAt(&AppState.windowList, i), i < 9 ? cases[i].lines : 0) << i;
    SetList({ "Ten", "Fresh" });
    WindowListSetLines(&AppState.windowList, 1, 7);
    SaveWindowList();
    EXPECT_EQ(ValueNames(VELMORA_WINDOWCOUNT_KEY), (std::vector<std::string>{ "Fresh" })) << "Ten's own lines are gone";
}

TEST_F(WindowListStore, SaveRemovesSubkeysOfTheOldList)
{
    PutWindowList({ "Old" });
    PutDword(VELMORA_OPTION_KEY, "ScrollCount", 4);
    PutString(VELMORA_WINDOWLIST_KEY "\\Nested", "x", "y");
    PutString(VELMORA_WINDOWLIST_KEY "\\Nested\\Deeper", "x", "y");
    PutString(VELMORA_WINDOWLIST_KEY "\\Second", "x", "y");
    SetList({ "New" });
    SaveWindowList();
    EXPECT_EQ(SubkeyCount(VELMORA_WINDOWLIST_KEY), 0);
    EXPECT_EQ(LoadedList(), (std::vector<std::string>{ "New" }));
    EXPECT_TRUE(GetValue(VELMORA_OPTION_KEY, "ScrollCount").present) << "the sibling key is left alone";
}

TEST_F(WindowListStore, DeleteKeyTreeReportsAMissingKey)
{
    HKEY program;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, VELMORA_PROGRAM_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &program, NULL), 0);
    EXPECT_EQ(DeleteKeyTree(program, "Missing"), ERROR_FILE_NOT_FOUND);
    PutString(VELMORA_PROGRAM_KEY "\\Tree\\A\\B", "v", "1");
    PutString(VELMORA_PROGRAM_KEY "\\Tree\\C", "v", "1");
    EXPECT_EQ(DeleteKeyTree(program, "Tree"), ERROR_SUCCESS);
    EXPECT_FALSE(KeyExists(VELMORA_PROGRAM_KEY "\\Tree"));
    RegCloseKey(program);
}

class RunValueStore : public StoredSettings {
protected:
    std::string OwnCommand()
    {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(NULL, path, MAX_PATH);
        return "\"" + std::string(path) + "\" /background";
    }
    void SetUp() override
    {
        StoredSettings::SetUp();
        AppState.instance = NULL; // this test program stands in for the tray program
    }
};

TEST_F(RunValueStore, EnableWritesTheQuotedPathAndDisableRemovesIt)
{
    EXPECT_EQ(IsRunAtStartup(), 0);
    EXPECT_EQ(SetRunAtStartup(true), ERROR_SUCCESS);
    StoredValue value = GetValue(VELMORA_RUN_KEY, "Velmora5");
    ASSERT_TRUE(value.present);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.Text(), OwnCommand());
    EXPECT_EQ(value.data.size(), OwnCommand().size() + 1) << "stored with its NUL";
    EXPECT_EQ(IsRunAtStartup(), 1);
    EXPECT_EQ(SetRunAtStartup(false), ERROR_SUCCESS);
    EXPECT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5").present);
    EXPECT_EQ(IsRunAtStartup(), 0);
    EXPECT_EQ(SetRunAtStartup(false), ERROR_SUCCESS) << "nothing to remove is no error";
}

// A copy in a folder that the ANSI code page cannot name: CTest runs this
// suite under code page 1252 too, where Hangul has no narrow form. The probe
// there writes the value; it is read back as UTF-16.
TEST_F(RunValueStore, FolderOutsideTheCodePageIsWrittenInUtf16)
{
    if (const char* expected = getenv("VELMORA_EXPECT_ACP")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(expected))) << "not under the code page this run is meant for";
    }
    wchar_t bin[MAX_PATH] = {};
    GetModuleFileNameW(NULL, bin, MAX_PATH);
    *wcsrchr(bin, L'\\') = 0;
    const std::wstring folder = std::wstring(bin) + L"\\사용자 도구";
    std::wstring probe = folder + L"\\trayprobe.exe", commandLine = L"\"" + probe + L"\" /enable";
    CreateDirectoryW(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileW((std::wstring(bin) + L"\\trayprobe.exe").c_str(), probe.c_str(), FALSE));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(probe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info));
    CloseHandle(info.hThread);
    ChildProcess child = { info.hProcess, info.dwProcessId, info.dwThreadId };
    EXPECT_EQ(EndChild(child), 0u) << "SetRunAtStartup(true) in the probe";
    HKEY run;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"" VELMORA_RUN_KEY, 0, KEY_READ, &run), 0);
    wchar_t data[MAX_PATH * 2] = {};
    DWORD type = 0, size = sizeof data - sizeof *data;
    EXPECT_EQ(RegQueryValueExW(run, L"Velmora5", NULL, &type, reinterpret_cast<BYTE*>(data), &size), 0);
    RegCloseKey(run);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(data), L"\"" + probe + L"\" /background");
    EXPECT_EQ(size, (lstrlenW(data) + 1) * sizeof *data) << "stored with its NUL";
    DeleteFileW(probe.c_str());
    RemoveDirectoryW(folder.c_str());
}

// A machine install's logon step that has not run for this user yet writes
// the Run value at the next logon: the box shows it, and clearing it lasts.
TEST_F(RunValueStore, PendingMachineLogonStepCountsAndClearingSettlesIt)
{
    HKEY step;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, VELMORA_LOGON_STEP_KEY, 0, NULL, 0, KEY_WRITE, NULL, &step, NULL), ERROR_SUCCESS);
    RegSetValueExA(step, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    RegCloseKey(step);
    EXPECT_EQ(IsRunAtStartup(), 1);
    EXPECT_EQ(SetRunAtStartup(false), ERROR_SUCCESS);
    EXPECT_EQ(IsRunAtStartup(), 0);
    EXPECT_EQ(GetValue(VELMORA_LOGON_STEP_KEY, "Version").Text(), "1") << "the step would turn it on again";
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, VELMORA_LOGON_STEP_KEY);
    SHDeleteKeyA(HKEY_CURRENT_USER, VELMORA_LOGON_STEP_KEY);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wow6432Node\\Microsoft\\Active Setup\\Installed Components\\Velmora5");
}

TEST_F(RunValueStore, AnyNonEmptyValueCounts)
{
    PutValue(VELMORA_RUN_KEY, "Velmora5", REG_SZ, "", 1);
    EXPECT_EQ(IsRunAtStartup(), 0);
    const DWORD number = 5;
    PutValue(VELMORA_RUN_KEY, "Velmora5", REG_DWORD, &number, 4);
    EXPECT_EQ(IsRunAtStartup(), 1) << "the type is not looked at";
    PutString(VELMORA_RUN_KEY, "Velmora5", "C:\\Elsewhere\\other.exe");
    EXPECT_EQ(IsRunAtStartup(), 1);
    PutValue(VELMORA_RUN_KEY, "Velmora5", REG_BINARY, std::string(260, 'x').data(), 260);
    EXPECT_EQ(IsRunAtStartup(), 1) << "a value that fills the buffer";
}

// A value too long to read still starts the program at logon, so it must
// show as set and go when the user turns the option off.
TEST_F(RunValueStore, OverlongValueIsPresentAndRemovable)
{
    const std::string overlong = "\"C:\\" + std::string(300, 'd') + "\\Velmora.exe\" /background";
    PutString(VELMORA_RUN_KEY, "Velmora5", overlong);
    EXPECT_EQ(IsRunAtStartup(), 1);
    EXPECT_EQ(SetRunAtStartup(false), ERROR_SUCCESS);
    EXPECT_FALSE(GetValue(VELMORA_RUN_KEY, "Velmora5").present);
}

TEST_F(RunValueStore, MissingRunKeyIsReportedAndNotCreated)
{
    ASSERT_EQ(SHDeleteKeyA(HKEY_CURRENT_USER, VELMORA_RUN_KEY), 0u);
    EXPECT_EQ(SetRunAtStartup(true), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(KeyExists(VELMORA_RUN_KEY));
    EXPECT_EQ(IsRunAtStartup(), 0);
    EXPECT_EQ(SetRunAtStartup(false), ERROR_FILE_NOT_FOUND);
}

} // namespace

namespace {

// The save as run by a program on the Windows 9x line, where one
// RegDeleteKeyA removes a whole tree.
TEST_F(WindowListStore, SaveOnThe9xLineRemovesSubkeysToo)
{
    ASSERT_TRUE(CopyFileA((BinDir() + "\\trayprobe.exe").c_str(), (BinDir() + "\\trayprobe98.exe").c_str(), FALSE));
    PutString("Software\\Wine\\AppDefaults\\trayprobe98.exe", "Version", "win98");
    PutWindowList({ "Old", "Older", "Oldest" });
    PutString(VELMORA_WINDOWLIST_KEY "\\Nested\\Deeper", "x", "y");
    SetList({});
    ChildProcess probe = StartChild("trayprobe98.exe", "/save");
    EXPECT_EQ(WaitChild(probe), 100u) << "the probe did not run as Windows 9x";
    EndChild(probe);
    EXPECT_EQ(SubkeyCount(VELMORA_WINDOWLIST_KEY), 0);
    EXPECT_EQ(LoadedList(), (std::vector<std::string>{ "Old", "Older", "Oldest" }));
}

} // namespace
