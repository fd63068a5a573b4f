// smsdrive: acts on the windows of running hosts from outside, as a person
// would, for the end-to-end tests: finds a control by its id in a top-level
// window and clicks it, reads it, types into it or picks from it.
//   smsdrive [--account N] click ID        posts a click to the button
//   smsdrive [--account N] text ID         prints the control's text (UTF-8)
//   smsdrive [--account N] close ID        closes the window that holds it
//   smsdrive [--account N] pick ID INDEX   double-clicks item INDEX of a list
//   smsdrive [--account N] paste ID FILE   pastes FILE's UTF-8 text into it
// --account N keeps to the host process of account N (its main window's
// caption ends in "(N)"). Only visible controls count. Exit status 1 when
// no such control exists.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Search {
    int id;
    DWORD process; // 0: any
    HWND found;
};

BOOL CALLBACK FindControl(HWND topLevel, LPARAM parameter)
{
    auto search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(topLevel, &process);
    if (search->process && process != search->process) return TRUE;
    HWND control = GetDlgItem(topLevel, search->id);
    if (!control || !IsWindowVisible(control)) return TRUE;
    search->found = control;
    return FALSE;
}

struct HostSearch {
    std::wstring suffix;
    DWORD process;
};

BOOL CALLBACK FindHost(HWND topLevel, LPARAM parameter)
{
    auto search = reinterpret_cast<HostSearch*>(parameter);
    wchar_t caption[256] = {};
    GetWindowTextW(topLevel, caption, 256);
    const std::wstring text = caption;
    if (text.compare(0, 10, L"smshost - ") != 0 || text.size() < search->suffix.size() ||
        text.compare(text.size() - search->suffix.size(), std::wstring::npos, search->suffix) != 0)
        return TRUE;
    GetWindowThreadProcessId(topLevel, &search->process);
    return FALSE;
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

// Puts a file's UTF-8 text on the clipboard; the system makes the host's GBK
// text from it.
bool PutOnClipboard(const char* file)
{
    FILE* input = fopen(file, "rb");
    if (!input) return false;
    std::string utf8;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, input)) > 0;) utf8.append(buffer, n);
    fclose(input);
    const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, wide * sizeof(wchar_t));
    if (!memory) return false;
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, static_cast<wchar_t*>(GlobalLock(memory)), wide);
    GlobalUnlock(memory);
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            const bool done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            CloseClipboard();
            if (!done) GlobalFree(memory);
            return done;
        }
        Sleep(20);
    }
    GlobalFree(memory);
    return false;
}

int Usage()
{
    fprintf(stderr, "usage: smsdrive [--account N] click|text|close|top ID | pick ID INDEX | paste ID FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int arg = 1;
    DWORD process = 0;
    if (argc > 2 && strcmp(argv[1], "--account") == 0) {
        HostSearch host{L"(" + std::wstring(argv[2], argv[2] + strlen(argv[2])) + L")", 0};
        EnumWindows(FindHost, reinterpret_cast<LPARAM>(&host));
        if (!host.process) return 1;
        process = host.process;
        arg = 3;
    }
    if (argc - arg < 2) return Usage();
    const std::string command = argv[arg];
    Search search = {atoi(argv[arg + 1]), process, nullptr};
    const bool takesValue = command == "pick" || command == "paste";
    if (argc - arg != (takesValue ? 3 : 2)) return Usage();
    EnumWindows(FindControl, reinterpret_cast<LPARAM>(&search));
    HWND control = search.found;
    if (!control) return 1;

    // Posted: what a click starts may open a message box, which would hold
    // a sent message until someone answers it.
    if (command == "click") {
        PostMessageW(control, BM_CLICK, 0, 0);
    } else if (command == "text") {
        printf("%s\n", TextUtf8(control).c_str());
    } else if (command == "top") {
        // Whether a person sees the control's window: "top" when every
        // corner and the centre of the window show that window itself.
        HWND root = GetAncestor(control, GA_ROOT);
        RECT rect;
        GetWindowRect(root, &rect);
        const POINT points[] = {{rect.left + 2, rect.top + 2}, {rect.right - 3, rect.top + 2},
                                {rect.left + 2, rect.bottom - 3}, {rect.right - 3, rect.bottom - 3},
                                {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}};
        bool top = IsWindowVisible(root) != 0;
        for (const POINT& point : points) {
            HWND seen = WindowFromPoint(point);
            if (!seen || GetAncestor(seen, GA_ROOT) != root) top = false;
        }
        printf("%s\n", top ? "top" : "covered");
    } else if (command == "close") {
        PostMessageW(GetAncestor(control, GA_ROOT), WM_CLOSE, 0, 0);
    } else if (command == "pick") {
        const int index = atoi(argv[arg + 2]);
        if (SendMessageW(control, LB_SETCURSEL, index, 0) == LB_ERR) return 1;
        PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(search.id, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(control));
    } else if (command == "paste") {
        if (!PutOnClipboard(argv[arg + 2])) return 1;
        SetForegroundWindow(GetAncestor(control, GA_ROOT));
        PostMessageW(control, WM_PASTE, 0, 0);
    } else {
        return Usage();
    }
    return 0;
}
