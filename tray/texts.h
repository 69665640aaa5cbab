// The interface's language: the Korean texts of the templates and of the
// code, or, where Windows does not speak Korean, English ones from the
// tables in texts.cpp. The program chooses itself: Windows 9x picks no
// resource by language, and texts in code are picked by nobody.
#pragma once
#include <windows.h>

// Texts kept in code.
enum UiTextId {
    kColumnHeaderText,
    kAlreadyListedText,
    kHookFailedText,
    kLinesHeaderText,
    kDefaultLinesText,
    kPageLinesText,
    kBadLinesText,
};

// 1 where the user's interface language is not Korean; AppState.english holds it.
int ChooseEnglish();
// The text in the chosen language, as UTF-16.
const wchar_t* UiText(UiTextId id);
// Sets the English texts over the Korean ones of dialog `resourceId` (103, 129)
// or of the tray menu's popup (IDR_TRAYMENU), when the language is English.
void SetEnglishTexts(HWND dialog, int resourceId);
void SetEnglishMenuTexts(HMENU popup);
