#include "dialogs.h"
#include "about.h"
#include "appstate.h"
#include "settings.h"

INT_PTR ShowSettingsDialog(HWND owner)
{
    return DialogBoxParamA(AppState.instance, MAKEINTRESOURCEA(129), owner, SettingsDialogProc, 0);
}

INT_PTR ShowAboutBox(HWND owner)
{
    return DialogBoxParamA(AppState.instance, MAKEINTRESOURCEA(103), owner, AboutBoxProc, 0);
}
