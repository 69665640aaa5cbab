#include "appstate.h"
#include "texts.h"

AppStateRecord AppState = {
    3,                                  // scrollCount
    "Velmora5",                         // appName
    "ScrollBar",                        // scrollBarClass
    0,                                  // dragging
    NULL,                               // highlightedWindow
    NULL,                               // pickedWindow
    NULL,                               // instance
    NULL,                               // singleInstanceMutex
    0,                                  // backgroundMode
    { NULL, 0, 0, NULL },               // windowList
    RegisterWindowMessageA("Velmora5"), // quitMessage
    0,                                  // modalOpen
    ChooseEnglish(),                    // english
    { NULL, 0, 0, NULL },               // policyWindowList
    0,                                  // countByPolicy
};

namespace {
// Frees the list's storage at process exit.
struct WindowListReleaser {
    ~WindowListReleaser()
    {
        WindowListClear(&AppState.windowList);
        WindowListClear(&AppState.policyWindowList);
    }
} releaser;
}

void CloseInstanceMutex()
{
    if (AppState.singleInstanceMutex) {
        CloseHandle(AppState.singleInstanceMutex);
        AppState.singleInstanceMutex = NULL;
    }
}

void WindowListClear(WindowList* list)
{
    HANDLE heap = GetProcessHeap();
    for (int i = 0; i < list->count; ++i)
        HeapFree(heap, 0, list->items[i]);
    HeapFree(heap, 0, list->items);
    HeapFree(heap, 0, list->lines);
    list->items = NULL;
    list->lines = NULL;
    list->count = 0;
    list->capacity = 0;
}

// Grows `*block` to `bytes`; it stays as it was when that fails.
static bool Grow(void** block, SIZE_T bytes)
{
    HANDLE heap = GetProcessHeap();
    void* grown = *block ? HeapReAlloc(heap, 0, *block, bytes) : HeapAlloc(heap, 0, bytes);
    if (!grown)
        return false;
    *block = grown;
    return true;
}

static bool Reserve(WindowList* list, int wanted)
{
    if (wanted <= list->capacity)
        return true;
    int capacity = list->capacity ? list->capacity * 2 : 8;
    if (capacity < wanted)
        capacity = wanted;
    const SIZE_T entries = static_cast<SIZE_T>(capacity);
    void* items = list->items;
    void* lines = list->lines;
    // The capacity grows only once both arrays have.
    const bool grown = Grow(&items, entries * sizeof(char*)) && Grow(&lines, entries * sizeof(int));
    list->items = static_cast<char**>(items);
    list->lines = static_cast<int*>(lines);
    if (grown)
        list->capacity = capacity;
    return grown;
}

bool WindowListAppend(WindowList* list, const char* text)
{
    if (!Reserve(list, list->count + 1))
        return false;
    int length = 0;
    while (text[length] && length < kMaxClassNameLength)
        ++length;
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(length) + 1));
    if (!copy)
        return false;
    for (int i = 0; i < length; ++i)
        copy[i] = text[i];
    copy[length] = 0;
    list->lines[list->count] = kDefaultLines;
    list->items[list->count++] = copy;
    return true;
}

int WindowListCount(const WindowList* list)
{
    return list->count;
}

const char* WindowListAt(const WindowList* list, int index)
{
    return (index >= 0 && index < list->count) ? list->items[index] : "";
}

int WindowListLinesAt(const WindowList* list, int index)
{
    return (index >= 0 && index < list->count) ? list->lines[index] : kDefaultLines;
}

void WindowListSetLines(WindowList* list, int index, int lines)
{
    if (index >= 0 && index < list->count)
        list->lines[index] = lines;
}
