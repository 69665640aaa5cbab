// The settings dialog: a working copy of the window list, the scroll count,
// the Run value and the on/off options, applied only on OK. What a policy
// decides is shown locked, and OK leaves it alone.
#include "settings.h"
#include <commctrl.h>
#include "appstate.h"
#include "center.h"
#include "dialogs.h"
#include "kestro.h"
#include "policy.h"
#include "store.h"
#include "texts.h"
#include "../common/wheelpane.h"

namespace {

// The texts in either language: texts.cpp. The rows, the labels and the edit
// stay narrow: class names are stored and compared narrow.
const int kColumnWidth = 180;
const int kFallbackCount = 3;
// Dialog units the buttons move down to make room for the managed line.
const int kManagedLineRoom = 20;

HWND ListView(HWND dialog) { return GetDlgItem(dialog, kListId); }

int RowCount(HWND listView) { return static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0)); }

// Row `index`'s text into a kTextBuffer-sized buffer.
void ReadRow(HWND listView, int index, char* buffer)
{
    buffer[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = kTextBuffer;
    SendMessageA(listView, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
}

// A row's parameter is 1 for a policy's class, which the user cannot delete.
void InsertRow(HWND listView, int index, const char* text, LPARAM fromPolicy)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(text);
    item.lParam = fromPolicy;
    SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

bool IsPolicyRow(HWND listView, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.lParam != 0;
}

// Selected and the user's own: what Delete removes.
bool IsDeletableRow(HWND listView, int index)
{
    const bool selected = (SendMessageA(listView, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    return selected && !IsPolicyRow(listView, index);
}

void InsertRows(HWND listView, const WindowList* list, LPARAM fromPolicy)
{
    for (int i = 0; i < WindowListCount(list); ++i)
        InsertRow(listView, RowCount(listView), WindowListAt(list, i), fromPolicy);
}

// LVCOLUMNA or LVCOLUMNW without its text.
template <class Column>
Column ClassColumn()
{
    Column column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = kColumnWidth;
    return column;
}

// Windows 9x has no working SendMessageW: there the header goes narrow, in
// whatever the ANSI code page can show of it, like the dialog's own texts.
void InsertClassColumn(HWND listView)
{
    if (IsPlatformNT()) {
        LVCOLUMNW column = ClassColumn<LVCOLUMNW>();
        column.pszText = const_cast<wchar_t*>(UiText(kColumnHeaderText));
        SendMessageW(listView, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    } else {
        char header[kTextBuffer];
        if (!WideCharToMultiByte(CP_ACP, 0, UiText(kColumnHeaderText), -1, header, kTextBuffer, NULL, NULL))
            header[0] = '\0';
        LVCOLUMNA column = ClassColumn<LVCOLUMNA>();
        column.pszText = header;
        SendMessageA(listView, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    }
}

// The count in force as the field shows it at the start: a policy's, or
// the library's value, not the stored one.
void ShownCount(char* text)
{
    wsprintfA(text, "%d", PolicyOr(kScrollCountPolicy, GetScrollCount()));
}

// The library's values; WINAPI, so not the table's own type.
int ShownShiftScroll() { return GetShiftScroll(); }
int ShownScrollUnfocused() { return GetScrollUnfocused(); }
int ShownCtrlPage() { return GetCtrlPage(); }
void ApplyRunAtStartup(int enable) { SetRunAtStartup(enable != 0); }
// An option goes to the library at once and into the store.
void ApplyShiftScroll(int enable)
{
    SetShiftScroll(enable);
    SaveShiftScroll(enable);
}
void ApplyScrollUnfocused(int enable)
{
    SetScrollUnfocused(enable);
    SaveScrollUnfocused(enable);
}
void ApplyCtrlPage(int enable)
{
    SetCtrlPage(enable);
    SaveCtrlPage(enable);
}

// The check boxes: what each shows at the start, the policy that may decide
// it instead, and how OK applies the user's choice.
struct OptionBox {
    int id;
    PolicyId policy;
    int (*shown)();
    void (*apply)(int enable);
};
const OptionBox kOptionBoxes[] = {
    { kRunCheckId, kRunAtLogonPolicy, IsRunAtStartup, ApplyRunAtStartup },
    { kShiftCheckId, kShiftScrollPolicy, ShownShiftScroll, ApplyShiftScroll },
    { kUnfocusedCheckId, kScrollUnfocusedPolicy, ShownScrollUnfocused, ApplyScrollUnfocused },
    { kCtrlPageCheckId, kCtrlPagePolicy, ShownCtrlPage, ApplyCtrlPage },
};

// A box that a policy decides shows the policy's value, disabled.
void InitOptionBoxes(HWND dialog)
{
    for (const OptionBox& box : kOptionBoxes) {
        int enable = box.shown();
        const int locked = ReadPolicy(box.policy, &enable);
        CheckDlgButton(dialog, box.id, enable ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(dialog, box.id), !locked);
    }
}

// A disabled control was a policy's when the dialog opened, and a policy
// may have come since (a refresh while the dialog is open): OK leaves both alone.
bool IsUnlocked(HWND dialog, int id, PolicyId policy)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE && !PolicySets(policy);
}

void ApplyOptionBoxes(HWND dialog)
{
    for (const OptionBox& box : kOptionBoxes) {
        if (IsUnlocked(dialog, box.id, box.policy))
            box.apply(IsDlgButtonChecked(dialog, box.id) == BST_CHECKED ? 1 : 0);
    }
}

void MoveDown(HWND dialog, int id, int pixels)
{
    HWND control = GetDlgItem(dialog, id);
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(NULL, dialog, reinterpret_cast<POINT*>(&rect), 2);
    SetWindowPos(control, NULL, rect.left, rect.top + pixels, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// The template leaves no room for the line, so that a dialog without
// policies looks as it always did.
void ShowManagedLine(HWND dialog)
{
    if (!AnyPolicy())
        return;
    RECT room = { 0, 0, 0, kManagedLineRoom };
    MapDialogRect(dialog, &room);
    MoveDown(dialog, IDOK, room.bottom);
    MoveDown(dialog, IDCANCEL, room.bottom);
    RECT frame;
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, NULL, 0, 0, frame.right - frame.left, frame.bottom - frame.top + room.bottom,
                 SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(GetDlgItem(dialog, kManagedLineId), SW_SHOWNA);
}

INT_PTR InitSettingsDialog(HWND dialog)
{
    ShowManagedLine(dialog);
    CenterWindow(dialog, GetDesktopWindow());
    SetEnglishTexts(dialog, 129);
    AppState.pickedWindow = NULL; // nothing picked in an earlier opening carries over
    UpdateButtons(dialog);
    SetDlgItemTextA(dialog, kClassLabelId, "");
    SetDlgItemTextA(dialog, kTitleLabelId, "");
    InitOptionBoxes(dialog);
    HWND listView = ListView(dialog);
    InsertClassColumn(listView);
    InsertRows(listView, &AppState.policyWindowList, 1); // the policies' classes first
    InsertRows(listView, &AppState.windowList, 0);
    char count[16];
    ShownCount(count);
    SetDlgItemTextA(dialog, kCountEditId, count);
    EnableWindow(GetDlgItem(dialog, kCountEditId), !PolicySets(kScrollCountPolicy));
    EnableWindow(GetDlgItem(dialog, kDeleteId), FALSE);
    SetFocus(listView);
    SetForegroundWindow(dialog);
    return 0; // the focus is set already
}

void RebuildWindowList(HWND listView)
{
    WindowListClear(&AppState.windowList);
    char text[kTextBuffer];
    for (int i = 0; i < RowCount(listView); ++i) {
        if (IsPolicyRow(listView, i))
            continue;
        ReadRow(listView, i, text);
        WindowListAppend(&AppState.windowList, text);
    }
}

// A field left as shown keeps the count in force, the page-wise -1 included;
// anything else typed is checked.
int ReadScrollCount(HWND dialog)
{
    char text[kTextBuffer];
    text[0] = '\0';
    GetDlgItemTextA(dialog, kCountEditId, text, kTextBuffer);
    char shown[16];
    ShownCount(shown);
    if (lstrcmpA(text, shown) == 0)
        return GetScrollCount();
    const int value = ParseDecimal(text);
    return value < 1 || value > 50 ? kFallbackCount : value;
}

void ApplyScrollCount(HWND dialog)
{
    const int count = ReadScrollCount(dialog);
    SetScrollCount(count);
    AppState.scrollCount = count;
    if (count != kPageScrollCount) // Windows' own setting, which a stored count would override
        SaveScrollCount(count);
}

INT_PTR ApplySettings(HWND dialog)
{
    EndFinderDrag(dialog); // Enter may come while the finder is held
    ApplyOptionBoxes(dialog);
    RebuildWindowList(ListView(dialog));
    SaveWindowList();
    if (IsUnlocked(dialog, kCountEditId, kScrollCountPolicy))
        ApplyScrollCount(dialog);
    EndDialog(dialog, IDOK);
    return 1;
}

INT_PTR CancelSettings(HWND dialog)
{
    EndFinderDrag(dialog); // Esc may come while the finder is held
    EndDialog(dialog, IDCANCEL);
    return 1;
}

INT_PTR AddPickedClass(HWND dialog)
{
    if (!AppState.pickedWindow)
        return 0;
    char name[kTextBuffer];
    name[0] = '\0';
    GetDlgItemTextA(dialog, kClassLabelId, name, kTextBuffer);
    HWND listView = ListView(dialog);
    if (IsListedClass(listView, name)) {
        ShowMessageBox(dialog, UiText(kAlreadyListedText));
        return 0;
    }
    InsertRow(listView, RowCount(listView), name, 0);
    AppState.pickedWindow = NULL;
    UpdateButtons(dialog);
    return 0;
}

INT_PTR DeleteSelectedRows(HWND dialog)
{
    HWND listView = ListView(dialog);
    // From the end, so the rows not yet visited keep their indices.
    for (int i = RowCount(listView) - 1; i >= 0; --i) {
        if (IsDeletableRow(listView, i))
            SendMessageA(listView, LVM_DELETEITEM, i, 0);
    }
    UpdateButtons(dialog);
    return 0;
}

INT_PTR OnSettingsCommand(HWND dialog, WORD command)
{
    switch (command) {
    case IDOK: return ApplySettings(dialog);
    case IDCANCEL: return CancelSettings(dialog);
    case kAddId: return AddPickedClass(dialog);
    case kDeleteId: return DeleteSelectedRows(dialog);
    }
    return 0;
}

INT_PTR OnListNotify(HWND dialog, WPARAM control)
{
    if (control == kListId)
        UpdateButtons(dialog);
    return 0;
}

} // namespace

void UpdateButtons(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, kAddId), AppState.pickedWindow != NULL);
    HWND listView = ListView(dialog);
    bool deletable = false;
    for (int i = 0; i < RowCount(listView) && !deletable; ++i)
        deletable = IsDeletableRow(listView, i);
    EnableWindow(GetDlgItem(dialog, kDeleteId), deletable);
}

int IsListedClass(HWND listView, const char* name)
{
    if (lstrcmpA(name, "VbaWindow") == 0)
        return 1; // always supported, never listed
    char row[kTextBuffer];
    for (int i = 0; i < RowCount(listView); ++i) {
        ReadRow(listView, i, row);
        if (lstrcmpA(row, name) == 0)
            return 1;
    }
    return 0;
}

int ParseDecimal(const char* text)
{
    if (!text || !*text)
        return 0;
    unsigned int value = 0; // unsigned, so that long numbers wrap instead of overflowing
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return 0;
        value = value * 10u + static_cast<unsigned int>(*p - '0');
    }
    return static_cast<int>(value);
}

// A Unicode dialog's procedure on the NT line, an ANSI one on Windows 9x: the
// list view sends its notifications in the dialog's forms, and WM_NOTIFY is
// taken from the list view whatever its code. No other message it handles
// carries text.
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: return InitSettingsDialog(dialog);
    case WM_COMMAND: return OnSettingsCommand(dialog, LOWORD(wParam));
    case WM_NOTIFY: return OnListNotify(dialog, wParam);
    case WM_LBUTTONDOWN: return BeginFinderDrag(dialog, lParam);
    case WM_MOUSEMOVE: return TrackFinderDrag(dialog);
    case WM_LBUTTONUP: return DropFinder(dialog);
    case WM_CANCELMODE: return EndFinderDrag(dialog);
    case WM_CAPTURECHANGED: return EndFinderDrag(dialog);
    case WM_DESTROY: return EndFinderDrag(dialog); // a dialog torn down mid-drag
    }
    return 0;
}
