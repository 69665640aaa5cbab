#include "dialogs.h"
#include "about.h"
#include "appstate.h"
#include "settings.h"

// Unicode dialogs: an ANSI one (DialogBoxParamA) would get its template's
// UTF-16 texts converted to the ANSI code page, "??" outside Korean systems.
INT_PTR ShowSettingsDialog(HWND owner)
{
    return DialogBoxParamW(AppState.instance, MAKEINTRESOURCEW(129), owner, SettingsDialogProc, 0);
}

INT_PTR ShowAboutBox(HWND owner)
{
    return DialogBoxParamW(AppState.instance, MAKEINTRESOURCEW(103), owner, AboutBoxProc, 0);
}

int ShowMessageBox(HWND owner, const wchar_t* text)
{
    wchar_t caption[16];
    if (!MultiByteToWideChar(CP_ACP, 0, AppState.appName, -1, caption, 16))
        caption[0] = L'\0';
    return MessageBoxW(owner, text, caption, MB_OK);
}
