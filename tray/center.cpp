#include "center.h"
#include "wheelpane.h"

void CenterWindow(HWND window, HWND reference)
{
    RECT own, area;
    GetWindowRect(window, &own);
    GetClientRect(reference, &area);
    ClientRectToScreen(reference, &area);
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    // C++ division truncates toward zero, as a negative offset must.
    const int x = ((area.right - area.left) - width) / 2;
    const int y = ((area.bottom - area.top) - height) / 2;
    MoveWindow(window, x, y, width, height, TRUE);
}
