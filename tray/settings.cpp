// The settings dialog: a working copy of the window list with each class's
// lines, the scroll count, the Run value and the on/off options, applied
// only on OK. What a policy decides is shown locked, and OK leaves it alone.
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
const int kFallbackCount = 3;
const int kMaxCount = 50;
// A row's parameter: the lines of a class of the user's own, or this for a
// policy's class, which the user can neither delete nor give lines.
const LPARAM kPolicyRow = 0x10000;
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

LPARAM RowParam(HWND listView, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.lParam;
}

bool IsPolicyRow(HWND listView, int index) { return RowParam(listView, index) == kPolicyRow; }

// A cell's text: wide on the NT line; Windows 9x has no working SendMessageW,
// so there it goes narrow, in whatever the ANSI code page can show of it.
void SetCellText(HWND listView, int index, int column, const wchar_t* text)
{
    if (IsPlatformNT()) {
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = const_cast<wchar_t*>(text);
        SendMessageW(listView, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
        return;
    }
    char narrow[kTextBuffer];
    if (!WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, kTextBuffer, NULL, NULL))
        narrow[0] = '\0';
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = narrow;
    SendMessageA(listView, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
}

// The policy's count, where one is set, serves every row, as the global
// count serves rows without lines of their own.
void ShowRowLines(HWND listView, int index, int lines, bool countLocked)
{
    char number[16];
    wsprintfA(number, "%d", lines);
    wchar_t digits[16];
    MultiByteToWideChar(CP_ACP, 0, number, -1, digits, 16);
    const wchar_t* text = digits;
    if (countLocked || IsPolicyRow(listView, index) || lines == kDefaultLines)
        text = UiText(kDefaultLinesText);
    else if (lines == kPageScrollCount)
        text = UiText(kPageLinesText);
    SetCellText(listView, index, 1, text);
}

// The count controls are locked exactly when a policy sets the count.
bool IsCountLocked(HWND listView) { return !IsWindowEnabled(GetDlgItem(GetParent(listView), kCountEditId)); }

void InsertRow(HWND listView, int index, const char* text, LPARAM param)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(text);
    item.lParam = param;
    SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    const int lines = param == kPolicyRow ? kDefaultLines : static_cast<int>(param);
    ShowRowLines(listView, index, lines, IsCountLocked(listView));
}

void SetRowLines(HWND listView, int index, int lines)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.lParam = lines;
    SendMessageA(listView, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    ShowRowLines(listView, index, lines, false);
}

// Selected and the user's own: what Delete removes.
bool IsDeletableRow(HWND listView, int index)
{
    const bool selected = (SendMessageA(listView, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    return selected && !IsPolicyRow(listView, index);
}

void InsertRows(HWND listView, const WindowList* list, bool fromPolicy)
{
    for (int i = 0; i < WindowListCount(list); ++i) {
        const LPARAM param = fromPolicy ? kPolicyRow : WindowListLinesAt(list, i);
        InsertRow(listView, RowCount(listView), WindowListAt(list, i), param);
    }
}

// LVCOLUMNA or LVCOLUMNW without its text.
template <class Column>
Column ListColumn(int width)
{
    Column column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    return column;
}

// Windows 9x has no working SendMessageW: there the header goes narrow, in
// whatever the ANSI code page can show of it, like the dialog's own texts.
void InsertColumn(HWND listView, int index, int width, UiTextId header)
{
    if (IsPlatformNT()) {
        LVCOLUMNW column = ListColumn<LVCOLUMNW>(width);
        column.pszText = const_cast<wchar_t*>(UiText(header));
        SendMessageW(listView, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
    } else {
        char text[kTextBuffer];
        if (!WideCharToMultiByte(CP_ACP, 0, UiText(header), -1, text, kTextBuffer, NULL, NULL))
            text[0] = '\0';
        LVCOLUMNA column = ListColumn<LVCOLUMNA>(width);
        column.pszText = text;
        SendMessageA(listView, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
    }
}

// Class names and lines side by side, with room left for a vertical scroll
// bar so that a longer list needs no sideways scrolling.
void InsertColumns(HWND listView)
{
    RECT client;
    GetClientRect(listView, &client);
    const int lines = client.right / 2; // room for "a page at a time"
    InsertColumn(listView, 0, client.right - lines - GetSystemMetrics(SM_CXVSCROLL), kColumnHeaderText);
    InsertColumn(listView, 1, lines, kLinesHeaderText);
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

// The rows' lines start from the count in force, or 3 where that is none.
void InitRowLines(HWND dialog)
{
    const int shown = GetScrollCount();
    // The 16-bit range: the 32-bit message needs a later comctl32 than Windows 95 has.
    SendDlgItemMessageA(dialog, kRowLinesSpinId, UDM_SETRANGE, 0, MAKELPARAM(kMaxCount, 1));
    SetDlgItemInt(dialog, kRowLinesEditId, shown >= 1 && shown <= kMaxCount ? shown : kFallbackCount, FALSE);
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
    char count[16];
    ShownCount(count);
    SetDlgItemTextA(dialog, kCountEditId, count);
    EnableWindow(GetDlgItem(dialog, kCountEditId), !PolicySets(kScrollCountPolicy));
    HWND listView = ListView(dialog);
    InsertColumns(listView);
    InsertRows(listView, &AppState.policyWindowList, true); // the policies' classes first
    InsertRows(listView, &AppState.windowList, false);
    InitRowLines(dialog);
    UpdateButtons(dialog);
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
        if (WindowListAppend(&AppState.windowList, text))
            WindowListSetLines(&AppState.windowList, WindowListCount(&AppState.windowList) - 1,
                               static_cast<int>(RowParam(listView, i)));
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
    InsertRow(listView, RowCount(listView), name, kDefaultLines);
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

// Gives every selected row of the user's own `lines`.
INT_PTR SetSelectedLines(HWND dialog, int lines)
{
    HWND listView = ListView(dialog);
    for (int i = 0; i < RowCount(listView); ++i) {
        if (IsDeletableRow(listView, i))
            SetRowLines(listView, i, lines);
    }
    return 0;
}

// The typed lines, checked; the rows keep theirs after a bad entry.
INT_PTR SetTypedLines(HWND dialog)
{
    char text[kTextBuffer];
    text[0] = '\0';
    GetDlgItemTextA(dialog, kRowLinesEditId, text, kTextBuffer);
    const int lines = ParseDecimal(text);
    if (lines < 1 || lines > kMaxCount) {
        ShowMessageBox(dialog, UiText(kBadLinesText));
        SetFocus(GetDlgItem(dialog, kRowLinesEditId));
        return 0;
    }
    return SetSelectedLines(dialog, lines);
}

// Enter in the lines field sets them rather than closing the dialog.
INT_PTR OnOk(HWND dialog)
{
    if (GetFocus() == GetDlgItem(dialog, kRowLinesEditId))
        return SetTypedLines(dialog);
    return ApplySettings(dialog);
}

INT_PTR OnSettingsCommand(HWND dialog, WORD command)
{
    switch (command) {
    case IDOK: return OnOk(dialog);
    case IDCANCEL: return CancelSettings(dialog);
    case kAddId: return AddPickedClass(dialog);
    case kDeleteId: return DeleteSelectedRows(dialog);
    case kRowLinesSetId: return SetTypedLines(dialog);
    case kRowLinesPageId: return SetSelectedLines(dialog, kPageScrollCount);
    case kRowLinesDefaultId: return SetSelectedLines(dialog, kDefaultLines);
    }
    return 0;
}

// A row picked that has a number of lines of its own shows it in the field, to change.
void ShowPickedLines(HWND dialog, const NMHDR* header)
{
    if (header->code != LVN_ITEMCHANGED)
        return;
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    const int lines = static_cast<int>(RowParam(ListView(dialog), change->iItem));
    if ((change->uNewState & ~change->uOldState & LVIS_SELECTED) && lines >= 1 && lines <= kMaxCount)
        SetDlgItemInt(dialog, kRowLinesEditId, lines, FALSE);
}

INT_PTR OnListNotify(HWND dialog, WPARAM control, LPARAM header)
{
    if (control != kListId)
        return 0;
    UpdateButtons(dialog);
    ShowPickedLines(dialog, reinterpret_cast<const NMHDR*>(header));
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
    const bool linesSettable = deletable && !IsCountLocked(listView);
    for (int id = kRowLinesEditId; id <= kRowLinesDefaultId; ++id)
        EnableWindow(GetDlgItem(dialog, id), linesSettable);
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
    case WM_NOTIFY: return OnListNotify(dialog, wParam, lParam);
    case WM_LBUTTONDOWN: return BeginFinderDrag(dialog, lParam);
    case WM_MOUSEMOVE: return TrackFinderDrag(dialog);
    case WM_LBUTTONUP: return DropFinder(dialog);
    case WM_CANCELMODE: return EndFinderDrag(dialog);
    case WM_CAPTURECHANGED: return EndFinderDrag(dialog);
    case WM_DESTROY: return EndFinderDrag(dialog); // a dialog torn down mid-drag
    }
    return 0;
}
