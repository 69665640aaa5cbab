// The setup program and its uninstaller, run the way users and deployment
// tools run them: silently, into a folder with a space and Hangul in its
// name, over a running copy, and against the faults around them.
#include "testsupport.h"
#include "version.h"
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

#define VELMORA_DOTTED(a, b, c, d) #a "." #b "." #c "." #d
#define VELMORA_DOTTED_OF(number) VELMORA_DOTTED(number)
const std::string kVersion = VELMORA_DOTTED_OF(VELMORA_VERSION_NUM);
// Windows Installer's three fields, a.b.(c*256+d), of this version or (`next` 1) the next.
std::string MsiVersion(int a, int b, int c, int d, int next) { return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c * 256 + d + next); }

const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora5";
const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kSettingsKey = L"SOFTWARE\\Quor\\Velmora5\\Option";
const wchar_t* const kLogonStep = L"Software\\Microsoft\\Active Setup\\Installed Components\\Velmora5";
const wchar_t* const kRemovalStep = L"Software\\Microsoft\\Active Setup\\Installed Components\\Velmora5.Remove";
const wchar_t* const kMoveStep = L"Software\\Microsoft\\Active Setup\\Installed Components\\Velmora5.Move";
const HKEY kMachine = HKEY_LOCAL_MACHINE;

std::wstring Widen(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], static_cast<int>(wide.size())));
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow(text.size() * 4, '\0');
    narrow.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], static_cast<int>(narrow.size()), NULL, NULL));
    return narrow;
}

const std::wstring kBin = Widen(BinDir());
const std::wstring kSetup = kBin + L"\\..\\dist\\Velmora-" + Widen(kVersion) + L"-setup.exe";
const std::wstring kMsi = kBin + L"\\..\\dist\\Velmora-" + Widen(kVersion) + L".msi";
// The same commit packed as the next version (tests/package/CMakeLists.txt).
const std::wstring kLaterMsi = kBin + L"\\..\\tests\\package\\later\\Velmora-" + Widen(kVersion.substr(0, kVersion.rfind('.') + 1)) + std::to_wstring(std::stoi(kVersion.substr(kVersion.rfind('.') + 1)) + 1) + L".msi";
// The binaries as packed, with the commit's time (packaging/pack.sh).
const std::wstring kStage = kBin + L"\\..\\packaging\\stage";

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<char> Contents(const std::wstring& path)
{
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, NULL));
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, NULL) || read != bytes.size()))
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

// Last write time, or sets it when `set` is given.
FILETIME WriteTime(const std::wstring& path, const FILETIME* set = nullptr)
{
    FILETIME time = {};
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return time;
    if (set)
        SetFileTime(file, NULL, NULL, set);
    GetFileTime(file, NULL, NULL, &time);
    CloseHandle(file);
    return time;
}

double Ticks(const FILETIME& time) { return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime); }

struct RegValue {
    bool present = false;
    DWORD type = 0;
    std::wstring text;
    DWORD number = 0;
};

RegValue ReadValue(const wchar_t* key, const wchar_t* name, HKEY root = HKEY_CURRENT_USER)
{
    RegValue value;
    HKEY handle;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != 0)
        return value;
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    if (RegQueryValueExW(handle, name, NULL, &value.type, reinterpret_cast<BYTE*>(data), &size) == 0) {
        value.present = true;
        if (value.type == REG_DWORD)
            memcpy(&value.number, data, sizeof value.number);
        else
            value.text = data;
    }
    RegCloseKey(handle);
    return value;
}

bool KeyExists(const wchar_t* key, HKEY root = HKEY_CURRENT_USER)
{
    HKEY handle;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != 0)
        return false;
    RegCloseKey(handle);
    return true;
}

void WriteText(const wchar_t* key, const wchar_t* name, const std::wstring& text, HKEY root = HKEY_CURRENT_USER)
{
    HKEY handle;
    if (RegCreateKeyExW(root, key, 0, NULL, 0, KEY_WRITE, NULL, &handle, NULL) == 0) {
        RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
}

void DeleteValue(const wchar_t* key, const wchar_t* name)
{
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_WRITE, &handle) == 0) {
        RegDeleteValueW(handle, name);
        RegCloseKey(handle);
    }
}

std::wstring ProgramsFolder(int folder = CSIDL_PROGRAMS)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(NULL, folder, NULL, SHGFP_TYPE_CURRENT, path);
    return path;
}
const std::wstring kShortcut = ProgramsFolder() + L"\\Velmora.lnk";
const std::wstring kCommonShortcut = ProgramsFolder(CSIDL_COMMON_PROGRAMS) + L"\\Velmora.lnk";
const std::wstring kMachineFolder = ProgramsFolder(CSIDL_PROGRAM_FILES) + L"\\Velmora";
const std::wstring kMachineRun = L"\"" + kMachineFolder + L"\\Velmora.exe\" /background";

std::wstring ShortcutTarget(const std::wstring& link)
{
    std::wstring target;
    IShellLinkW* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void**>(&shell))))
        return target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) && SUCCEEDED(shell->GetPath(path, MAX_PATH, NULL, 0)))
            target = path;
        file->Release();
    }
    shell->Release();
    return target;
}

std::vector<PROCESSENTRY32W> Processes()
{
    std::vector<PROCESSENTRY32W> list;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return list;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list.push_back(entry);
    CloseHandle(snapshot);
    return list;
}

std::vector<DWORD> VelmoraProcesses()
{
    std::vector<DWORD> ids;
    for (const PROCESSENTRY32W& entry : Processes())
        if (lstrcmpiW(entry.szExeFile, L"Velmora.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    return ids;
}

std::wstring ImageOf(DWORD processId)
{
    std::wstring image;
    if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) {
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, path, &size))
            image = path;
        CloseHandle(process);
    }
    return image;
}

// Waits for a process by its id and, if it lingers, ends it.
void EndProcess(DWORD processId, DWORD waitMs)
{
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId)) {
        if (WaitForSingleObject(process, waitMs) != WAIT_OBJECT_0) {
            TerminateProcess(process, ~0u);
            WaitForSingleObject(process, 5000);
        }
        CloseHandle(process);
    }
}

// Runs a command line as given (NSIS wants /D= and _?= last and unquoted)
// and waits for it; the exit code, or ~0u when it had to be ended. An
// uninstaller hands over to a copy of itself in %TEMP%: that copy, its
// child, is waited for too.
DWORD RunCommand(const std::wstring& commandLine, bool waitForChildren = true)
{
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        ADD_FAILURE() << "cannot run " << Narrow(commandLine) << " (error " << GetLastError() << ")";
        return ~0u;
    }
    CloseHandle(info.hThread);
    DWORD code = ~0u;
    if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    else
        TerminateProcess(info.hProcess, ~0u);
    for (const PROCESSENTRY32W& entry : Processes())
        if (waitForChildren && entry.th32ParentProcessID == info.dwProcessId && lstrcmpiW(entry.szExeFile, L"Velmora.exe") != 0)
            EndProcess(entry.th32ProcessID, 60000);
    CloseHandle(info.hProcess);
    return code;
}

DWORD Install(const std::wstring& folder) { return RunCommand(L"\"" + kSetup + L"\" /S /D=" + folder); }
// A logon as Active Setup runs a step: where the user's record lacks its Version, StubPath, then the record.
void RunStep(const wchar_t* step)
{
    const RegValue version = ReadValue(step, L"Version", kMachine);
    ASSERT_TRUE(version.present) << Narrow(step);
    if (ReadValue(step, L"Version").text != version.text) {
        EXPECT_EQ(RunCommand(ReadValue(step, L"StubPath", kMachine).text), 0u) << Narrow(step);
        WriteText(step, L"Version", version.text);
    }
}
// Another user, whose logon runs every step afresh.
void ForgetSteps() { SHDeleteKeyW(HKEY_CURRENT_USER, kLogonStep), SHDeleteKeyW(HKEY_CURRENT_USER, kRemovalStep), SHDeleteKeyW(HKEY_CURRENT_USER, kMoveStep); }
// The entry's QuietUninstallString, as deployment tools run it.
DWORD Uninstall(const std::wstring& folder, bool waitForChildren = true) { return RunCommand(L"\"" + folder + L"\\uninstall.exe\" /S _?=" + folder, waitForChildren); }

void EndVelmora()
{
    for (DWORD id : VelmoraProcesses())
        EndProcess(id, 0);
}

// The one running instance, started from `folder`, once its main window is
// up; 0 (and a failure) otherwise.
DWORD OneInstanceFrom(const std::wstring& folder)
{
    HWND window = WaitForWindow("Velmora5", 0, 15000);
    if (!window) {
        ADD_FAILURE() << "no Velmora main window";
        return 0;
    }
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    const std::vector<DWORD> running = VelmoraProcesses();
    EXPECT_EQ(running.size(), 1u) << "instances of Velmora.exe";
    EXPECT_EQ(lstrcmpiW(ImageOf(owner).c_str(), (folder + L"\\Velmora.exe").c_str()), 0) << Narrow(ImageOf(owner));
    return owner;
}

void ExpectInstalledIn(const std::wstring& folder, HKEY root = HKEY_CURRENT_USER)
{
    for (const wchar_t* name : { L"Velmora.exe", L"kestro.dll" }) {
        const std::vector<char> installed = Contents(folder + L"\\" + name);
        EXPECT_FALSE(installed.empty()) << Narrow(name);
        EXPECT_TRUE(installed == Contents(kBin + L"\\" + name)) << Narrow(name) << " differs from the build's";
    }
    EXPECT_TRUE(Exists(folder + L"\\uninstall.exe"));
    EXPECT_EQ(Narrow(ShortcutTarget(root == kMachine ? kCommonShortcut : kShortcut)), Narrow(folder + L"\\Velmora.exe"));

    const std::wstring uninstaller = L"\"" + folder + L"\\uninstall.exe\"";
    const struct {
        const wchar_t* name;
        std::wstring text;
    } texts[] = {
        { L"DisplayName", L"Velmora" },
        { L"DisplayVersion", Widen(kVersion) },
        { L"Publisher", L"Quor" },
        { L"DisplayIcon", folder + L"\\Velmora.exe,0" },
        { L"InstallLocation", folder },
        { L"UninstallString", uninstaller + L" _?=" + folder },
        { L"QuietUninstallString", uninstaller + L" /S _?=" + folder },
    };
    for (const auto& expected : texts) {
        const RegValue value = ReadValue(kUninstallKey, expected.name, root);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ)) << Narrow(expected.name);
        EXPECT_EQ(Narrow(value.text), Narrow(expected.text)) << Narrow(expected.name);
    }
    for (const wchar_t* name : { L"NoModify", L"NoRepair" }) {
        const RegValue value = ReadValue(kUninstallKey, name, root);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << Narrow(name);
        EXPECT_EQ(value.number, 1u) << Narrow(name);
    }
    const RegValue size = ReadValue(kUninstallKey, L"EstimatedSize", root);
    const DWORD binariesKb = static_cast<DWORD>((Contents(kBin + L"\\Velmora.exe").size() + Contents(kBin + L"\\kestro.dll").size()) / 1024);
    EXPECT_EQ(size.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_GE(size.number, binariesKb) << "EstimatedSize is in KiB";
    EXPECT_LT(size.number, 4 * binariesKb) << "EstimatedSize is in KiB";

    const RegValue run = ReadValue(kRunKey, L"Velmora5");
    EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Narrow(run.text), Narrow(L"\"" + folder + L"\\Velmora.exe\" /background"));
}

void ExpectRemoved(const std::wstring& folder, HKEY root = HKEY_CURRENT_USER)
{
    for (const wchar_t* name : { L"Velmora.exe", L"kestro.dll" })
        EXPECT_FALSE(Exists(folder + L"\\" + name)) << Narrow(name);
    EXPECT_TRUE(WaitUntil([&] { return !Exists(folder + L"\\uninstall.exe"); }, 5000)) << "goes a moment after its process";
    EXPECT_FALSE(Exists(root == kMachine ? kCommonShortcut : kShortcut));
    EXPECT_FALSE(KeyExists(kUninstallKey, root));
    EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present);
    EXPECT_TRUE(VelmoraProcesses().empty());
}

class Package : public ::testing::Test {
protected:
    std::wstring folder;

    void SetUp() override
    {
        ASSERT_TRUE(UnderWine()) << "these tests install into and rewrite HKEY_CURRENT_USER: run them through tools/test.sh";
        ASSERT_TRUE(Exists(kSetup)) << Narrow(kSetup) << " is missing: makensis (tools/setup.sh) builds it";
        CoInitialize(NULL);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"Velmora 설치 시험";
        Clean();
        WriteText(kSettingsKey, L"Kept", L"yes");
    }
    void TearDown() override
    {
        if (!UnderWine())
            return;
        Clean();
        SHDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Quor");
        CoUninitialize();
    }
    void Clean()
    {
        EndVelmora();
        for (const wchar_t* name : { L"Velmora.exe", L"kestro.dll", L"uninstall.exe", L"notes.txt" })
            DeleteFileW((folder + L"\\" + name).c_str());
        WIN32_FIND_DATAW aside; // a file in use, renamed by the uninstaller
        for (HANDLE find = FindFirstFileW((folder + L"\\*.old").c_str(), &aside); find != INVALID_HANDLE_VALUE; FindClose(find), find = INVALID_HANDLE_VALUE)
            DeleteFileW((folder + L"\\" + aside.cFileName).c_str());
        RemoveDirectoryW(folder.c_str());
        DeleteFileW(kShortcut.c_str());
        SHDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
        DeleteValue(kRunKey, L"Velmora5");
        if (Exists(kMachineFolder + L"\\Velmora.exe"))
            for (const std::wstring& msi : { kLaterMsi, kMsi })
                RunCommand(L"msiexec /x \"" + msi + L"\" /qn");
        for (const wchar_t* name : { L"Velmora.exe", L"kestro.dll", L"uninstall.exe" })
            DeleteFileW((kMachineFolder + L"\\" + name).c_str());
        RemoveDirectoryW(kMachineFolder.c_str());
        DeleteFileW(kCommonShortcut.c_str());
        for (const wchar_t* key : { kUninstallKey, kLogonStep, kRemovalStep, kMoveStep })
            SHDeleteKeyW(kMachine, key);
        ForgetSteps();
    }
};

// Install, two updates over the running copy, uninstall: the whole life.
TEST_F(Package, InstallsUpdatesAndUninstallsSilently)
{
    // A final backslash is fine; the setup drops it.
    ASSERT_EQ(Install(folder + L"\\"), 0u);
    ExpectInstalledIn(folder);
    const DWORD first = OneInstanceFrom(folder);
    PumpFor(1000);
    EXPECT_EQ(FindProcessWindow("#32770", first), nullptr) << "a silent setup starts Velmora without /background: no About box";

    // Files marked with an old date come back with the package's: replaced, not kept.
    const FILETIME old = { 0, 0x01c00000 };
    for (const wchar_t* name : { L"Velmora.exe", L"kestro.dll" })
        ASSERT_EQ(Ticks(WriteTime(folder + L"\\" + name, &old)), Ticks(old)) << "cannot mark " << Narrow(name);
    ASSERT_EQ(Install(folder), 0u);
    ExpectInstalledIn(folder);
    for (const wchar_t* name : { L"Velmora.exe", L"kestro.dll" })
        EXPECT_NEAR(Ticks(WriteTime(folder + L"\\" + name)), Ticks(WriteTime(kStage + L"\\" + name)), 2e7) << Narrow(name) << " not replaced";
    const DWORD second = OneInstanceFrom(folder);
    EXPECT_NE(second, first) << "the running copy was not ended and started again";

    // Start-with-Windows turned off by the user stays off.
    DeleteValue(kRunKey, L"Velmora5");
    ASSERT_EQ(Install(folder), 0u);
    EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present);
    EXPECT_NE(OneInstanceFrom(folder), second);

    EXPECT_EQ(Uninstall(folder), 0u);
    EXPECT_TRUE(WaitUntil([] { return VelmoraProcesses().empty(); }, 15000));
    ExpectRemoved(folder);
    EXPECT_TRUE(WaitUntil([&] { return !Exists(folder); }, 2000)) << "the empty folder stays";
    EXPECT_EQ(Narrow(ReadValue(kSettingsKey, L"Kept").text), "yes") << "a silent uninstall deletes the settings";
}

// What deployment tools and package managers run: /S alone, into the
// default folder, and again as an update.
TEST_F(Package, PlainSilentSetupInstallsIntoTheDefaultFolder)
{
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(NULL, CSIDL_LOCAL_APPDATA, NULL, SHGFP_TYPE_CURRENT, local);
    folder = std::wstring(local) + L"\\Programs\\Velmora";
    Clean();
    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S"), 0u);
    ExpectInstalledIn(folder);
    const DWORD first = OneInstanceFrom(folder);
    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S"), 0u);
    ExpectInstalledIn(folder);
    EXPECT_NE(OneInstanceFrom(folder), first) << "the running copy was not ended and started again";
}

// The program already gone (ended, its file deleted) and the uninstaller
// run again afterwards: everything of Velmora's goes, nothing else does.
TEST_F(Package, UninstallsWithoutTheProgramAndTwice)
{
    ASSERT_EQ(Install(folder), 0u);
    OneInstanceFrom(folder);
    EndVelmora();
    ASSERT_TRUE(DeleteFileW((folder + L"\\Velmora.exe").c_str()));
    const std::wstring notes = folder + L"\\notes.txt";
    CloseHandle(CreateFileW(notes.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL));
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring again = std::wstring(temp) + L"velmora-uninstall-again.exe";
    ASSERT_TRUE(CopyFileW((folder + L"\\uninstall.exe").c_str(), again.c_str(), FALSE));

    EXPECT_EQ(Uninstall(folder), 0u);
    ExpectRemoved(folder);
    EXPECT_TRUE(Exists(notes)) << "the user's file went with the folder";

    // A second run (in place, so it does not hand over) meets a Run value of a
    // copy elsewhere and the settings; both are not its to remove.
    const std::wstring portable = L"\"C:\\Portable\\Velmora.exe\" /background";
    WriteText(kRunKey, L"Velmora5", portable);
    EXPECT_EQ(RunCommand(L"\"" + again + L"\" /S _?=" + folder), 0u);
    DeleteFileW(again.c_str());
    EXPECT_EQ(Narrow(ReadValue(kRunKey, L"Velmora5").text), Narrow(portable));
    EXPECT_TRUE(Exists(notes));
    EXPECT_EQ(Narrow(ReadValue(kSettingsKey, L"Kept").text), "yes");
}

// A folder that cannot be one (a file on its way) or cannot be written
// (Wine's drive Z: is the Linux root, and /proc takes no folders, not even
// from root) stops the setup with an error, leaving nothing behind that
// claims an installation, neither there nor in the default folder.
TEST_F(Package, UnwritableFolderInstallsNothing)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring blocker = std::wstring(temp) + L"velmora-not-a-folder";
    CloseHandle(CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));

    for (const std::wstring& target : { blocker + L"\\Velmora", std::wstring(L"Z:\\proc\\Velmora 설치") }) {
        SCOPED_TRACE(Narrow(target));
        EXPECT_NE(Install(target), 0u);
        EXPECT_FALSE(KeyExists(kUninstallKey));
        EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present);
        EXPECT_FALSE(Exists(kShortcut));
        EXPECT_TRUE(VelmoraProcesses().empty());
        Clean();
    }
    DeleteFileW(blocker.c_str());
}

// EnumChildWindows' callback: sets the pair's flag when a window reads its text.
BOOL CALLBACK MatchText(HWND window, LPARAM pair)
{
    auto* wanted = reinterpret_cast<std::pair<std::wstring, bool>*>(pair);
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    wanted->second |= wanted->first == text;
    return TRUE;
}

// No language question: the setup program speaks the interface language, and
// English wherever that is not Korean, whatever the code page. Started from a
// shell (a Windows parent's locale does not reach a child), ended at its first
// page, whose title is ours.
TEST_F(Package, SetupSpeaksTheInterfaceLanguage)
{
    const std::wstring setupName = L"Velmora-" + Widen(kVersion) + L"-setup.exe";
    const std::pair<const char*, std::wstring> runs[] = {
        { "LANG=C.UTF-8", L"Setup" }, { "LANG=ko_KR.UTF-8 LC_MESSAGES=C", L"Setup" }, { "LANG=C.UTF-8 LC_MESSAGES=ko_KR.UTF-8", L"설치" } };
    SetCurrentDirectoryW((kBin + L"\\..\\dist").c_str()); // the shell's too
    for (const auto& run : runs) {
        SCOPED_TRACE(run.first);
        std::string command = "Z:\\bin\\sh -c \"exec env -u LC_ALL " + std::string(run.first) + " wine " + Narrow(setupName) + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started = {};
        ASSERT_TRUE(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started));
        HWND window = NULL;
        EXPECT_TRUE(WaitUntil([&] { return (window = FindWindowW(L"#32770", (L"Velmora " + run.second).c_str())) != NULL; }, 20000));
        std::pair<std::wstring, bool> title = { L"Velmora " + Widen(kVersion) + L" " + run.second, false };
        EXPECT_TRUE(window && WaitUntil([&] { return EnumChildWindows(window, MatchText, reinterpret_cast<LPARAM>(&title)), title.second; }));
        for (const PROCESSENTRY32W& entry : Processes())
            if (lstrcmpiW(entry.szExeFile, setupName.c_str()) == 0)
                EndProcess(entry.th32ProcessID, 0);
        WaitForSingleObject(started.hProcess, 30000);
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
    }
}

// Who gets Velmora: /ALLUSERS every user of the machine, each started at
// logon by an Active Setup step that writes that user's own Run value and,
// after removal, cleans it; /CURRENTUSER this user; both, nobody.
TEST_F(Package, ScopeSwitchesDecideWhoGetsVelmora)
{
    EXPECT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS /CURRENTUSER"), 87u);
    EXPECT_FALSE(Exists(kMachineFolder));
    EXPECT_FALSE(KeyExists(kUninstallKey, kMachine) || KeyExists(kUninstallKey) || KeyExists(kLogonStep, kMachine));
    EXPECT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS /D=" + folder), 267u) << "outside Program Files";
    EXPECT_FALSE(Exists(folder) || KeyExists(kUninstallKey, kMachine));

    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS"), 0u);
    ExpectInstalledIn(kMachineFolder, kMachine);
    EXPECT_FALSE(KeyExists(kUninstallKey)) << "a machine install writes a per-user entry";
    OneInstanceFrom(kMachineFolder);
    DeleteValue(kRunKey, L"Velmora5");
    RunStep(kLogonStep);
    EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present) << "the installing user's step has run already";
    ForgetSteps();
    RunStep(kLogonStep);
    EXPECT_EQ(Narrow(ReadValue(kRunKey, L"Velmora5").text), Narrow(kMachineRun)) << "another user's first logon";

    // Double-clicked (no _?=): the copy in %TEMP% hands over as the entry's command does.
    EXPECT_EQ(RunCommand(L"\"" + kMachineFolder + L"\\uninstall.exe\" /S"), 0u);
    ExpectRemoved(kMachineFolder, kMachine);
    EXPECT_FALSE(KeyExists(kLogonStep, kMachine) || KeyExists(kLogonStep)) << "the removing user's record stays";
    WriteText(kRunKey, L"Velmora5", kMachineRun);
    RunStep(kRemovalStep);
    EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present) << "another user's next logon";
    EXPECT_EQ(Narrow(ReadValue(kSettingsKey, L"Kept").text), "yes");

    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /CURRENTUSER /D=" + folder), 0u);
    ExpectInstalledIn(folder);
    EXPECT_FALSE(KeyExists(kUninstallKey, kMachine) || KeyExists(kLogonStep, kMachine));
}

// EnumChildWindows' callback: the visible buttons of one style (low 4 bits) on the setup's page.
BOOL CALLBACK CollectButton(HWND window, LPARAM found)
{
    auto* wanted = reinterpret_cast<std::pair<LONG, std::vector<HWND>>*>(found);
    wchar_t name[8] = {};
    if (GetClassNameW(window, name, 8) && !lstrcmpiW(name, L"Button") && IsWindowVisible(window) && (GetWindowLongW(window, GWL_STYLE) & 0xF) == wanted->first)
        wanted->second.push_back(window);
    return TRUE;
}
// Clicks button `index` of `style` once the page shows it (style 0: none), then Next once it is enabled.
bool ClickThenNext(HWND setup, LONG style, size_t index)
{
    std::pair<LONG, std::vector<HWND>> found = { style, {} };
    PumpFor(1500);
    if (style && !WaitUntil([&] { return found.second.clear(), EnumChildWindows(setup, CollectButton, reinterpret_cast<LPARAM>(&found)), found.second.size() > index; }, 20000))
        return false;
    if (style)
        SendMessageW(found.second[index], BM_CLICK, 0, 0);
    return WaitUntil([&] { return IsWindowEnabled(GetDlgItem(setup, IDOK)) != FALSE; }, 30000) && PostMessageW(setup, WM_COMMAND, IDOK, 0);
}

// "For every user": a child installs the machine's part; the pages and their choices stay this process's.
TEST_F(Package, InteractiveSetupForEveryUserKeepsThePagesChoices)
{
    std::wstring command = L"\"" + kSetup + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started));
    HWND setup = NULL;
    EXPECT_TRUE(WaitUntil([&] { return (setup = FindProcessWindow("#32770", started.dwProcessId)) != NULL; }, 20000));
    // welcome, "for every user", folder, no start at logon (Install), progress, no "Run Velmora" (Finish)
    const std::pair<LONG, size_t> steps[] = { { 0, 0 }, { BS_AUTORADIOBUTTON, 1 }, { 0, 0 }, { BS_AUTOCHECKBOX, 0 }, { 0, 0 }, { BS_AUTOCHECKBOX, 0 } };
    for (const auto& step : steps)
        EXPECT_TRUE(ClickThenNext(setup, step.first, step.second) && (step.first != BS_AUTOCHECKBOX || WaitUntil([] { return KeyExists(kUninstallKey, kMachine); }, 30000)));
    DWORD code = ~0u;
    EXPECT_TRUE(WaitForSingleObject(started.hProcess, 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(started.hProcess, &code) && code == 0) << code;
    EndProcess(started.dwProcessId, 0), CloseHandle(started.hProcess), CloseHandle(started.hThread);
    EXPECT_EQ(Narrow(ReadValue(kUninstallKey, L"InstallLocation", kMachine).text), Narrow(kMachineFolder));
    EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present || KeyExists(kUninstallKey) || !KeyExists(kLogonStep) || !VelmoraProcesses().empty());
}

// The MSI's Add/Remove Programs keys, named by their product codes.
std::vector<std::wstring> MsiEntries()
{
    const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    std::vector<std::wstring> found;
    HKEY key;
    if (RegOpenKeyExW(kMachine, uninstall.c_str(), 0, KEY_READ, &key) != 0)
        return found;
    wchar_t name[256];
    for (DWORD i = 0, size = 256; RegEnumKeyExW(key, i, name, &size, NULL, NULL, NULL, NULL) == 0; ++i, size = 256)
        if (name[0] == L'{' && ReadValue((uninstall + name).c_str(), L"DisplayName", kMachine).text == L"Velmora")
            found.push_back(uninstall + name);
    RegCloseKey(key);
    return found;
}
std::wstring MsiEntry() { return MsiEntries().empty() ? std::wstring() : MsiEntries()[0]; }

// msiexec as Group Policy and Intune run it: installed for every user, then
// removed while Velmora runs from Program Files (Wine deletes no file in
// use); whole exit codes, not wine's low 8 bits. A stop step that fails (the
// program gone) does not fail the removal.
TEST_F(Package, MsiInstallsAndRemovesQuietlyWhileVelmoraRuns)
{
    ASSERT_TRUE(Exists(kMsi)) << Narrow(kMsi) << " is missing: wixl (tools/setup.sh) builds it";
    for (bool running : { true, false }) {
        SCOPED_TRACE(running ? "running" : "program gone");
        ASSERT_EQ(RunCommand(L"msiexec /i \"" + kMsi + L"\" /qn"), 0u);
        const std::wstring entry = MsiEntry();
        ASSERT_FALSE(entry.empty()) << "no Add/Remove Programs entry";
        EXPECT_EQ(Narrow(ReadValue(entry.c_str(), L"Publisher", kMachine).text), "Quor");
        EXPECT_EQ(Narrow(ReadValue(entry.c_str(), L"DisplayVersion", kMachine).text), MsiVersion(VELMORA_VERSION_NUM, 0));
        for (const wchar_t* name : { L"Velmora.exe", L"kestro.dll" })
            EXPECT_TRUE(Contents(kMachineFolder + L"\\" + name) == Contents(kBin + L"\\" + name)) << Narrow(name);
        // Wine's msi keeps ProgramMenuFolder per user even with ALLUSERS=1.
        const std::wstring shortcut = Exists(kCommonShortcut) ? kCommonShortcut : kShortcut;
        EXPECT_EQ(Narrow(ShortcutTarget(shortcut)), Narrow(kMachineFolder + L"\\Velmora.exe"));
        RunStep(kLogonStep);
        EXPECT_EQ(Narrow(ReadValue(kRunKey, L"Velmora5").text), Narrow(kMachineRun));
        if (running) {
            ShellExecuteW(NULL, NULL, (kMachineFolder + L"\\Velmora.exe").c_str(), L"/background", NULL, SW_SHOWNORMAL);
            OneInstanceFrom(kMachineFolder);
        } else {
            ASSERT_TRUE(DeleteFileW((kMachineFolder + L"\\Velmora.exe").c_str()));
        }

        EXPECT_EQ(RunCommand(L"msiexec /x \"" + kMsi + L"\" /qn"), 0u);
        EXPECT_TRUE(VelmoraProcesses().empty());
        EXPECT_FALSE(Exists(kMachineFolder)) << "files left behind";
        EXPECT_TRUE(MsiEntry().empty());
        EXPECT_FALSE(Exists(shortcut));
        EXPECT_FALSE(KeyExists(kLogonStep, kMachine));
        WriteText(kRunKey, L"Velmora5", kMachineRun);
        RunStep(kRemovalStep);
        EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present);
        ForgetSteps();
    }
}

// Two versions of one commit: the later MSI replaces the earlier (one entry),
// and a user's upgrade keeps that user's start; the earlier one then refuses.
TEST_F(Package, MsiUpgradeReplacesAndAnEarlierVersionRefuses)
{
    ASSERT_TRUE(Exists(kLaterMsi)) << Narrow(kLaterMsi);
    ASSERT_EQ(RunCommand(L"msiexec /i \"" + kMsi + L"\" /qn"), 0u);
    RunStep(kLogonStep);
    ShellExecuteW(NULL, NULL, (kMachineFolder + L"\\Velmora.exe").c_str(), L"/background", NULL, SW_SHOWNORMAL);
    OneInstanceFrom(kMachineFolder);
    ASSERT_EQ(RunCommand(L"msiexec /i \"" + kLaterMsi + L"\" /qn"), 0u);
    for (int downgrade = 0; downgrade < 2; ++downgrade) {
        SCOPED_TRACE(downgrade ? "earlier over later" : "upgrade");
        ASSERT_EQ(MsiEntries().size(), 1u);
        EXPECT_EQ(Narrow(ReadValue(MsiEntry().c_str(), L"DisplayVersion", kMachine).text), MsiVersion(VELMORA_VERSION_NUM, 1));
        EXPECT_TRUE(Exists(kMachineFolder + L"\\kestro.dll") && KeyExists(kLogonStep, kMachine) && !KeyExists(kRemovalStep, kMachine));
        EXPECT_EQ(Narrow(ReadValue(kRunKey, L"Velmora5").text), Narrow(kMachineRun)) << "the stop step took the start";
        EXPECT_EQ(Narrow(ReadValue(kLogonStep, L"Version").text), "1") << "the stop step settled the logon step";
        EXPECT_TRUE(downgrade || RunCommand(L"msiexec /i \"" + kMsi + L"\" /qn") == 1603u) << "the earlier over the later";
    }
    EXPECT_EQ(RunCommand(L"msiexec /x \"" + kLaterMsi + L"\" /qn"), 0u);
    EXPECT_TRUE(MsiEntries().empty());
}

// One machine copy at a time: each package refuses over the other's copy
// with its own exit code, and leaves that copy whole.
TEST_F(Package, OneMachineCopyAtATime)
{
    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS"), 0u);
    EXPECT_EQ(RunCommand(L"msiexec /i \"" + kMsi + L"\" /qn"), 1603u) << "the MSI over setup.exe's copy";
    EXPECT_TRUE(MsiEntries().empty());
    ExpectInstalledIn(kMachineFolder, kMachine);
    EXPECT_EQ(Uninstall(kMachineFolder), 0u);
    ExpectRemoved(kMachineFolder, kMachine);

    ASSERT_EQ(RunCommand(L"msiexec /i \"" + kMsi + L"\" /qn"), 0u);
    EXPECT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS"), 1638u) << "setup.exe over the MSI's copy";
    EXPECT_FALSE(KeyExists(kUninstallKey, kMachine));
    EXPECT_EQ(MsiEntries().size(), 1u);
    EXPECT_TRUE(Exists(kMachineFolder + L"\\Velmora.exe") && Exists(kMachineFolder + L"\\kestro.dll") && KeyExists(kLogonStep, kMachine));
}

// Deployment tools wait for the QuietUninstallString's process and look at once. A per-user copy
// removed after the machine copy came keeps the user's start, which names the machine copy; its
// file in use (another session's copy) is set aside, and the end waits for a restart: 3010.
TEST_F(Package, QuietRemovalIsDoneWhenItsProcessEnds)
{
    ASSERT_EQ(Install(folder), 0u);
    OneInstanceFrom(folder); // up, so that the next setup finds it to end
    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS"), 0u);
    OneInstanceFrom(kMachineFolder);
    HMODULE held = LoadLibraryExW((folder + L"\\kestro.dll").c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
    EXPECT_EQ(Uninstall(folder, false), 3010u);
    EXPECT_EQ(VelmoraProcesses().size(), 1u) << "the per-user copy's removal ended the machine copy";
    FreeLibrary(held);
    EXPECT_FALSE(Exists(folder + L"\\Velmora.exe") || Exists(folder + L"\\kestro.dll") || KeyExists(kUninstallKey));
    EXPECT_EQ(Narrow(ReadValue(kRunKey, L"Velmora5").text), Narrow(kMachineRun));
    EXPECT_EQ(Uninstall(kMachineFolder, false), 0u);
    ExpectRemoved(kMachineFolder, kMachine);
    // The elevated part of an interactive setup leaves the elevating account's HKCU alone, starts nothing.
    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS /NOUSER"), 0u);
    EXPECT_FALSE(ReadValue(kRunKey, L"Velmora5").present || KeyExists(kLogonStep) || !VelmoraProcesses().empty());
    // Its removal as well: the machine's part only, the removing account's Run value and record stay.
    WriteText(kRunKey, L"Velmora5", kMachineRun), WriteText(kLogonStep, L"Version", L"1");
    EXPECT_EQ(RunCommand(L"\"" + kMachineFolder + L"\\uninstall.exe\" /S /NOUSER _?=" + kMachineFolder), 0u);
    EXPECT_FALSE(Exists(kMachineFolder + L"\\Velmora.exe") || KeyExists(kUninstallKey, kMachine));
    EXPECT_TRUE(ReadValue(kRunKey, L"Velmora5").present && KeyExists(kLogonStep)) << "the elevated removal took the elevating account's";
}

// A machine copy that an earlier version put outside Program Files (as this per-user copy
// stands in for): an update moves it into Program Files, and each user's start follows it.
TEST_F(Package, MachineCopyOutsideProgramFilesMovesThereOnUpdate)
{
    ASSERT_EQ(Install(folder), 0u);
    OneInstanceFrom(folder);
    WriteText(kUninstallKey, L"InstallLocation", folder, kMachine);
    SHDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
    ASSERT_EQ(RunCommand(L"\"" + kSetup + L"\" /S /ALLUSERS"), 0u);
    ExpectInstalledIn(kMachineFolder, kMachine);
    EXPECT_FALSE(Exists(folder)) << "the old copy stays";
    ForgetSteps();
    WriteText(kRunKey, L"Velmora5", L"\"" + folder + L"\\Velmora.exe\" /background");
    RunStep(kMoveStep);
    EXPECT_EQ(Narrow(ReadValue(kRunKey, L"Velmora5").text), Narrow(kMachineRun)) << "another user's next logon";
}

} // namespace
