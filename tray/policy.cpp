// Policies are read afresh each time they are asked for: only at start, on
// a policy refresh and when the settings dialog opens, so there is no copy
// to keep in step. Narrow calls only, as everywhere on the 9x line, which
// reads the same values.
#include "policy.h"
#include "store.h"

const PolicyValue kPolicyValues[kPolicyValueCount] = {
    { "ScrollCount", 1, 50 },
    { "ShiftScroll", 0, 1 },
    { "ScrollUnfocused", 0, 1 },
    { "CtrlPage", 0, 1 },
    { "RunAtLogon", 0, 1 },
};

namespace {

// In this order: the machine's policy wins.
const HKEY kPolicyRoots[] = { HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER };

// A value name longer than any class name is no entry of ours.
const DWORD kPolicyNameBuffer = kMaxClassNameLength + 2;

// Policy keys are the administrator's: the user may only read them.
bool OpenPolicyKey(HKEY root, const char* path, HKEY* key)
{
    return RegOpenKeyExA(root, path, 0, KEY_READ, key) == ERROR_SUCCESS;
}

bool ReadPolicyFrom(HKEY root, const PolicyValue& policy, DWORD* value)
{
    HKEY key;
    if (!OpenPolicyKey(root, VELMORA_POLICY_KEY, &key))
        return false;
    const bool valid = ReadDword(key, policy.name, value) && *value >= policy.lowest && *value <= policy.highest;
    RegCloseKey(key);
    return valid;
}

bool Lists(const WindowList* list, const char* name)
{
    for (int i = 0; i < WindowListCount(list); ++i) {
        if (lstrcmpA(WindowListAt(list, i), name) == 0)
            return true;
    }
    return false;
}

// The value names are free (the template writes each class as its own
// name); only the data counts.
void AppendPolicyClasses(HKEY root, WindowList* list)
{
    HKEY key;
    if (!OpenPolicyKey(root, VELMORA_POLICY_WINDOWLIST_KEY, &key))
        return;
    for (DWORD i = 0;; ++i) {
        char name[kPolicyNameBuffer];
        DWORD size = kPolicyNameBuffer;
        const LONG result = RegEnumValueA(key, i, name, &size, NULL, NULL, NULL, NULL);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        char text[kMaxClassNameLength + 1] = {};
        ReadString(key, name, text, sizeof text); // an overlong class reads as empty
        if (text[0] && lstrcmpA(text, "VbaWindow") != 0 && !Lists(list, text))
            WindowListAppend(list, text);
    }
    RegCloseKey(key);
}

} // namespace

int ReadPolicy(PolicyId id, int* value)
{
    for (HKEY root : kPolicyRoots) {
        DWORD stored = 0;
        if (ReadPolicyFrom(root, kPolicyValues[id], &stored)) {
            *value = static_cast<int>(stored);
            return 1;
        }
    }
    return 0;
}

int PolicyOr(PolicyId id, int own)
{
    int value = own;
    ReadPolicy(id, &value);
    return value;
}

int PolicySets(PolicyId id)
{
    int value = 0;
    return ReadPolicy(id, &value);
}

void LoadPolicyWindowList(WindowList* list)
{
    WindowListClear(list);
    for (HKEY root : kPolicyRoots)
        AppendPolicyClasses(root, list);
}

int AnyPolicy()
{
    for (int id = 0; id < kPolicyValueCount; ++id) {
        if (PolicySets(static_cast<PolicyId>(id)))
            return 1;
    }
    WindowList classes = { NULL, 0, 0, NULL };
    LoadPolicyWindowList(&classes);
    const int listed = WindowListCount(&classes) > 0;
    WindowListClear(&classes);
    return listed;
}
