#include "dialogs.h"
#include "about.h"
#include "appstate.h"
#include "settings.h"
#include "../common/wheelpane.h"

namespace {

// Unicode dialogs on the NT line: an ANSI one (DialogBoxParamA) would get its
// template's UTF-16 texts converted to the ANSI code page, "??" outside Korean
// systems. Windows 9x has no working DialogBoxParamW; there the ANSI dialog is
// the only one, and a Korean 9x converts the texts right.
INT_PTR ShowDialog(int id, HWND owner, DLGPROC procedure)
{
    if (!IsPlatformNT())
        return DialogBoxParamA(AppState.instance, MAKEINTRESOURCEA(id), owner, procedure, 0);
    return DialogBoxParamW(AppState.instance, MAKEINTRESOURCEW(id), owner, procedure, 0);
}

} // namespace

INT_PTR ShowSettingsDialog(HWND owner)
{
    return ShowDialog(129, owner, SettingsDialogProc);
}

INT_PTR ShowAboutBox(HWND owner)
{
    return ShowDialog(103, owner, AboutBoxProc);
}

// MessageBoxW and MultiByteToWideChar work on Windows 9x too.
int ShowMessageBox(HWND owner, const wchar_t* text)
{
    wchar_t caption[16];
    if (!MultiByteToWideChar(CP_ACP, 0, AppState.appName, -1, caption, 16))
        caption[0] = L'\0';
    return MessageBoxW(owner, text, caption, MB_OK);
}
