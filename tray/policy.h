// Group Policy: what an administrator sets under SOFTWARE\Policies in
// HKEY_LOCAL_MACHINE (the machine's, which wins) or HKEY_CURRENT_USER. A
// policy decides a setting over the user's own, which stays stored
// underneath. packaging/policy/velmora.admx describes the same values.
#pragma once
#include <windows.h>
#include "appstate.h"

#define VELMORA_POLICY_KEY "SOFTWARE\\Policies\\Quor\\Velmora5"
// REG_SZ values, each one window class served besides the user's list.
#define VELMORA_POLICY_WINDOWLIST_KEY VELMORA_POLICY_KEY "\\WindowList"

// The REG_DWORD policies, rows of kPolicyValues.
enum PolicyId {
    kScrollCountPolicy,
    kShiftScrollPolicy,
    kScrollUnfocusedPolicy,
    kCtrlPagePolicy,
    kRunAtLogonPolicy,
    kPolicyValueCount,
};

// A value outside [lowest, highest], or not a whole REG_DWORD, is no policy.
struct PolicyValue {
    const char* name;
    DWORD lowest;
    DWORD highest;
};
extern const PolicyValue kPolicyValues[kPolicyValueCount];

// 1 and the value into *value when a policy sets it, else 0.
int ReadPolicy(PolicyId id, int* value);
// The policy's value, or `own` (the user's setting) when there is none.
// Every Load... of a setting that a policy can decide ends with it.
int PolicyOr(PolicyId id, int own);
// 1 when a policy decides the setting: the settings dialog locks it.
int PolicySets(PolicyId id);
// Replaces `list` with the classes that the policies list, machine's first,
// without empty entries, duplicates or VbaWindow.
void LoadPolicyWindowList(WindowList* list);
// 1 when any policy applies: the settings dialog says so.
int AnyPolicy();
