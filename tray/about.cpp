#include "about.h"
#include "center.h"
#include "texts.h"

static INT_PTR InitAboutBox(HWND dialog)
{
    CenterWindow(dialog, GetDesktopWindow());
    SetEnglishTexts(dialog, 103);
    SetFocus(dialog);
    SetForegroundWindow(dialog);
    return 0; // the focus is set already
}

// OK and Enter end with 1; Esc and the close box arrive as IDCANCEL and end with 2.
static INT_PTR OnAboutCommand(HWND dialog, WORD command)
{
    if (command != IDOK && command != IDCANCEL)
        return 0;
    EndDialog(dialog, command);
    return 1;
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return InitAboutBox(dialog);
    case WM_COMMAND: return OnAboutCommand(dialog, LOWORD(wParam));
    }
    return 0;
}
