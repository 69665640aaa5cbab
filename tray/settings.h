// The settings dialog (resource 129) and its window finder.
#pragma once
#include <windows.h>

// Control ids of dialog 129.
enum SettingsControl {
    kListId = 1000,
    kAddId = 1001,
    kDeleteId = 1002,
    kCountEditId = 1003,
    kRunCheckId = 1004,
    kFinderIconId = 1005,
    kClassLabelId = 1006,
    kTitleLabelId = 1007,
    kShiftCheckId = 1008,
    kUnfocusedCheckId = 1009,
    kCtrlPageCheckId = 1018, // 1010 to 1017 are labels
    kRowLinesEditId = 1022, // the selected rows' own lines: 1021 is its label
    kRowLinesSpinId = 1023,
    kRowLinesSetId = 1024,
    kRowLinesPageId = 1025,
    kRowLinesDefaultId = 1026,
    kManagedLineId = 1030, // shown only when a policy applies
};

// Buffers for a class name, row or edit text: 254 characters and the NUL.
const int kTextBuffer = 255;

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Add follows pickedWindow; Delete and the lines of rows the list view's
// selection of the user's own rows, the lines unless a policy sets the count.
void UpdateButtons(HWND dialog);
// 1 if `name` must not be added: "VbaWindow" or a row of the list view.
int IsListedClass(HWND listView, const char* name);
// Plain decimal digits only, wrapping modulo 2^32; 0 for anything else.
int ParseDecimal(const char* text);

// The finder: handlers the dialog procedure routes mouse messages to. Each returns 0.
INT_PTR BeginFinderDrag(HWND dialog, LPARAM lParam);
INT_PTR TrackFinderDrag(HWND dialog);
INT_PTR DropFinder(HWND dialog);
INT_PTR EndFinderDrag(HWND dialog);

// Called after every inversion the finder draws, with the window inverted;
// lets tests follow the highlight. Null in the program.
extern void (*FinderInversionObserver)(HWND window);
