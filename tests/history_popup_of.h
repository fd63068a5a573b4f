// The history popup a send or view dialog owns, found as a user sees it.
#pragma once
#include <windows.h>

#include "res/resource.h"

// The window owned by `dialog` that holds the history list; null when the
// dialog has made none yet.
inline HWND HistoryPopupOf(HWND dialog)
{
    struct Search {
        HWND owner;
        HWND found;
    } search = {dialog, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM parameter) -> BOOL {
            auto search = reinterpret_cast<Search*>(parameter);
            if (GetWindow(window, GW_OWNER) != search->owner || !GetDlgItem(window, IDC_HISTORY_LIST)) return TRUE;
            search->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
