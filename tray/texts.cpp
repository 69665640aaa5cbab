#include "texts.h"
#include "appstate.h"
#include "mainwnd.h"
#include "../common/wheelpane.h"

namespace {

struct CodeText {
    const wchar_t* korean;
    const wchar_t* english;
};

// In UiTextId's order.
const CodeText kCodeTexts[] = {
    { L"클래스명", L"Class name" },
    { L"이미 존재하는 창 목록입니다.", L"This window is already in the list." },
    { L"구성요소를 열지 못했습니다.", L"A component could not be opened." },
    { L"줄 수", L"Lines" },
    { L"기본", L"default" },
    { L"한 화면씩", L"a page at a time" },
    { L"줄 수는 1부터 50까지의 숫자로 입력하세요.", L"Enter a number of lines from 1 to 50." },
};

// English over the Korean of a template, by control (or menu item) id; id 0
// is the dialog's caption. English is ASCII, the same in every code page, so
// the narrow calls serve both lines. A control a template lacks is skipped.
struct TemplateText {
    int resourceId;
    int id;
    const char* english;
};

const TemplateText kTemplateTexts[] = {
    { 129, 0, "Settings" },
    { 129, 1010, "Find a window" },
    { 129, 1011, "Drag the picture on the left onto a window" },
    { 129, 1012, "Class:" },
    { 129, 1013, "Title:" },
    { 129, 1001, "Add this window" },
    { 129, 1014, "Windows with wheel support" },
    { 129, 1002, "Delete" },
    { 129, 1021, "Lines:" },
    { 129, 1024, "Set" },
    { 129, 1025, "Page" },
    { 129, 1026, "Default" },
    { 129, 1015, "Options" },
    { 129, 1016, "Lines:" },
    { 129, 1004, "Start with Windows" },
    { 129, 1008, "Shift+wheel scrolls sideways" },
    { 129, 1009, "Scroll windows without clicking them first" },
    { 129, 1018, "Ctrl+wheel scrolls a page at a time" },
    { 129, IDOK, "OK" },
    { 129, IDCANCEL, "Cancel" },
    { 129, 1017, "Built in: VbaWindow" },
    { 129, 1030, "Some settings are managed by your organization." },
    { 103, 0, "About" },
    { 103, 1020, "Velmora version 0.5 for VBA Users" },
    { 103, IDOK, "OK" },
    { IDR_TRAYMENU, IDM_SETTINGS, "&Settings..." },
    { IDR_TRAYMENU, IDM_ABOUT, "&About..." },
    { IDR_TRAYMENU, IDM_EXIT, "E&xit" },
};

bool IsKorean(LANGID language)
{
    return PRIMARYLANGID(language) == LANG_KOREAN;
}

} // namespace

int ChooseEnglish()
{
    typedef LANGID(WINAPI * LanguageQuery)();
    // Windows 2000 and later have it, Windows 98 not, so it is looked up.
    LanguageQuery uiLanguage = !IsPlatformNT() ? NULL : reinterpret_cast<LanguageQuery>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetUserDefaultUILanguage")));
    if (uiLanguage)
        return !IsKorean(uiLanguage());
    // Windows 9x (and NT 4) speak the language of the user or of the system,
    // but the narrow calls show Korean only through the Korean code page.
    const bool korean = IsKorean(GetUserDefaultLangID()) || IsKorean(GetSystemDefaultLangID());
    return !(korean && GetACP() == 949);
}

const wchar_t* UiText(UiTextId id)
{
    return AppState.english ? kCodeTexts[id].english : kCodeTexts[id].korean;
}

void SetEnglishTexts(HWND dialog, int resourceId)
{
    if (!AppState.english)
        return;
    for (const TemplateText& text : kTemplateTexts) {
        if (text.resourceId == resourceId)
            SetWindowTextA(text.id ? GetDlgItem(dialog, text.id) : dialog, text.english);
    }
}

void SetEnglishMenuTexts(HMENU popup)
{
    if (!AppState.english)
        return;
    for (const TemplateText& text : kTemplateTexts) {
        if (text.resourceId == IDR_TRAYMENU)
            ModifyMenuA(popup, text.id, MF_BYCOMMAND | MF_STRING, text.id, text.english);
    }
}
