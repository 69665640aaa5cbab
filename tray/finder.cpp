// The window finder: drag the sight from icon 1005 onto any window; the
// window under the pointer is shown inverted and named in the dialog.
#include "settings.h"
#include "appstate.h"
#include <windowsx.h>

void (*FinderInversionObserver)(HWND window) = NULL;

namespace {

const int kSightCursor = 105;
const int kEmptyFinderIcon = 109;
const int kFinderIcon = 110;
const int kNameBuffer = 256;

// Inverting twice restores the screen, so nothing is saved. A window that has
// vanished has no rectangle to restore.
void InvertWindow(HDC screen, HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return;
    InvertRect(screen, &rect);
    if (FinderInversionObserver)
        FinderInversionObserver(window);
}

void ShowFinderIcon(HWND dialog, int icon)
{
    HICON image = LoadIconA(AppState.instance, MAKEINTRESOURCEA(icon));
    SendDlgItemMessageA(dialog, kFinderIconId, STM_SETICON, reinterpret_cast<WPARAM>(image), 0);
}

bool IsPartOfDialog(HWND dialog, HWND window)
{
    return window == dialog || GetAncestor(window, GA_ROOT) == dialog;
}

// A null or vanished window shows as empty labels. The calls are not even
// made for one: Wine's GetWindowTextA fills the buffer with garbage for it.
void ShowWindowNames(HWND dialog, HWND window)
{
    char className[kNameBuffer];
    char title[kNameBuffer];
    className[0] = '\0';
    title[0] = '\0';
    if (window && IsWindow(window)) {
        if (!GetClassNameA(window, className, kNameBuffer - 1))
            className[0] = '\0';
        if (!GetWindowTextA(window, title, kNameBuffer - 1))
            title[0] = '\0';
    }
    SetDlgItemTextA(dialog, kClassLabelId, className);
    SetDlgItemTextA(dialog, kTitleLabelId, title);
}

} // namespace

INT_PTR BeginFinderDrag(HWND dialog, LPARAM lParam)
{
    POINT point = { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
    ClientToScreen(dialog, &point);
    RECT icon;
    GetWindowRect(GetDlgItem(dialog, kFinderIconId), &icon);
    if (!PtInRect(&icon, point))
        return 0;
    SetCapture(dialog);
    SetCursor(LoadCursorA(AppState.instance, MAKEINTRESOURCEA(kSightCursor)));
    ShowFinderIcon(dialog, kEmptyFinderIcon);
    AppState.highlightedWindow = NULL;
    AppState.pickedWindow = NULL;
    AppState.dragging = 1;
    return 0;
}

INT_PTR TrackFinderDrag(HWND dialog)
{
    if (!AppState.dragging)
        return 0;
    POINT point;
    GetCursorPos(&point);
    HWND hit = WindowFromPoint(point);
    if (hit == AppState.highlightedWindow)
        return 0; // same window: no flicker, no relabelling
    HDC screen = GetWindowDC(NULL);
    if (AppState.highlightedWindow)
        InvertWindow(screen, AppState.highlightedWindow);
    if (hit && IsPartOfDialog(dialog, hit))
        hit = NULL; // the settings dialog can't be picked
    AppState.pickedWindow = hit;
    AppState.highlightedWindow = hit;
    UpdateButtons(dialog);
    ShowWindowNames(dialog, hit);
    // Paint the new labels and buttons now: painted later, inside an inverted
    // rectangle, they would come out wrong when it is restored.
    RedrawWindow(dialog, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
    if (hit)
        InvertWindow(screen, hit);
    ReleaseDC(NULL, screen);
    return 0;
}

INT_PTR DropFinder(HWND dialog)
{
    if (AppState.dragging)
        AppState.pickedWindow = AppState.highlightedWindow;
    return EndFinderDrag(dialog);
}

// ReleaseCapture sends WM_CAPTURECHANGED, which runs this again before it
// returns; the nested run restores the rectangle and clears highlightedWindow,
// so reading it only after the release restores it exactly once.
INT_PTR EndFinderDrag(HWND dialog)
{
    if (AppState.dragging) {
        SetCursor(LoadCursorA(NULL, IDC_ARROW));
        ReleaseCapture();
        ShowFinderIcon(dialog, kFinderIcon);
        HDC screen = GetWindowDC(NULL);
        if (AppState.highlightedWindow)
            InvertWindow(screen, AppState.highlightedWindow);
        ReleaseDC(NULL, screen);
    }
    AppState.dragging = 0;
    AppState.highlightedWindow = NULL;
    UpdateButtons(dialog);
    return 0;
}
