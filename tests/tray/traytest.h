// Helpers for the tray program's tests: registry set-up in the private Wine
// prefix and the tray icon as the shell sees it.
#pragma once
#include "testsupport.h"
#include <string>
#include <vector>


// Removes the program's key tree, its policies and the Run value.
void WipeStoredSettings();
void DeleteRunValue();
// Creates HKCU\path if needed and sets one value.
void PutValue(const char* path, const char* name, DWORD type, const void* data, DWORD size);
void PutDword(const char* path, const char* name, DWORD value);
void PutString(const char* path, const char* name, const std::string& text); // with its NUL
// Stores a window list the way the program writes it.
void PutWindowList(const std::vector<std::string>& entries);

struct StoredValue {
    bool present = false;
    DWORD type = 0;
    std::vector<unsigned char> data;
    std::string Text() const;
};
StoredValue GetValue(const char* path, const char* name);
bool KeyExists(const char* path);
// Names of the values under HKCU\path, in any order.
std::vector<std::string> ValueNames(const char* path);
int SubkeyCount(const char* path);

// True while the shell holds an icon with identifier 0 for `window`.
bool TrayIconExists(HWND window);

// Registry fixture: every test starts from no stored settings.
class StoredSettings : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
