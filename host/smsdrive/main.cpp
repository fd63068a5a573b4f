// smsdrive: acts on the windows of running hosts from outside, as a person
// would, for the end-to-end tests: finds a control by its id in any top-level
// window of the desktop and clicks it or reads its text.
//   smsdrive click ID   posts a click to the first such button
//   smsdrive text ID    prints the first visible such control's text (UTF-8)
//   smsdrive close ID   closes the top-level window that holds the control
// Exit status 1 when no such control exists (or none is visible).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Search {
    int id;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindControl(HWND topLevel, LPARAM parameter)
{
    auto search = reinterpret_cast<Search*>(parameter);
    HWND control = GetDlgItem(topLevel, search->id);
    if (!control || (search->visibleOnly && !IsWindowVisible(control))) return TRUE;
    search->found = control;
    return FALSE;
}

HWND Find(int id, bool visibleOnly)
{
    Search search = {id, visibleOnly, nullptr};
    EnumWindows(FindControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The text through the wide message: an ANSI one to another process comes
// back converted twice under Wine.
std::string TextUtf8(HWND control)
{
    wchar_t text[4096] = {};
    SendMessageTimeoutW(control, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    char utf8[16384] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

} // namespace

int main(int argc, char** argv)
{
    const bool known = argc == 3 && (strcmp(argv[1], "click") == 0 || strcmp(argv[1], "text") == 0 ||
                                     strcmp(argv[1], "close") == 0);
    if (!known) {
        fprintf(stderr, "usage: smsdrive click|text|close CONTROL-ID\n");
        return 2;
    }
    const int id = atoi(argv[2]);
    if (strcmp(argv[1], "click") == 0) {
        HWND button = Find(id, true);
        if (!button) return 1;
        // Posted: the click may open a message box, which would hold a sent one.
        PostMessageW(button, BM_CLICK, 0, 0);
        return 0;
    }
    HWND control = Find(id, true);
    if (!control) return 1;
    if (strcmp(argv[1], "close") == 0) {
        PostMessageW(GetAncestor(control, GA_ROOT), WM_CLOSE, 0, 0);
        return 0;
    }
    printf("%s\n", TextUtf8(control).c_str());
    return 0;
}
