#include "traytest.h"
#include "store.h"
#include <shellapi.h>
#include <shlwapi.h>

void WipeStoredSettings()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Quor");
    for (HKEY root : { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER })
        SHDeleteKeyA(root, "SOFTWARE\\Policies\\Quor");
    DeleteRunValue();
}

void DeleteRunValue()
{
    HKEY run;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, VELMORA_RUN_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &run, NULL) == 0) {
        RegDeleteValueA(run, "Velmora5");
        RegCloseKey(run);
    }
}

void PutValue(const char* path, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0) << path;
    // The system adds a NUL that the count forgot when one follows the data;
    // a guard byte keeps the stored bytes exactly as given.
    std::vector<BYTE> bytes(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    bytes.push_back('X');
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, bytes.data(), size), 0) << path << " " << name;
    RegCloseKey(key);
}

void PutDword(const char* path, const char* name, DWORD value)
{
    PutValue(path, name, REG_DWORD, &value, sizeof value);
}

void PutString(const char* path, const char* name, const std::string& text)
{
    PutValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void PutWindowList(const std::vector<std::string>& entries)
{
    PutDword(VELMORA_WINDOWLIST_KEY, "Count", static_cast<DWORD>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i)
        PutString(VELMORA_WINDOWLIST_KEY, std::to_string(i).c_str(), entries[i]);
}

std::string StoredValue::Text() const
{
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
}

StoredValue GetValue(const char* path, const char* name)
{
    StoredValue value;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != 0)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, NULL, &value.type, NULL, &size) == 0) {
        value.data.resize(size);
        if (RegQueryValueExA(key, name, NULL, &value.type, value.data.data(), &size) == 0) {
            value.present = true;
            value.data.resize(size);
        }
    }
    RegCloseKey(key);
    return value;
}

bool KeyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> ValueNames(const char* path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != 0)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[300];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, NULL, NULL, NULL, NULL) != 0)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

int SubkeyCount(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != 0)
        return -1;
    DWORD subkeys = 0;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return static_cast<int>(subkeys);
}

bool TrayIconExists(HWND window)
{
    // Modifying nothing succeeds only for an icon the shell holds.
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
}

void StoredSettings::SetUp()
{
    ASSERT_TRUE(UnderWine()) << "these tests rewrite HKEY_CURRENT_USER: run them through tools/test.sh";
    WipeStoredSettings();
}

void StoredSettings::TearDown()
{
    if (UnderWine())
        WipeStoredSettings();
}
