#include "window_drive.h"

#include <vector>

namespace drive {

namespace {

struct HostSearch {
    std::wstring suffix;
    HWND found;
};

BOOL CALLBACK FindHost(HWND topLevel, LPARAM parameter)
{
    auto search = reinterpret_cast<HostSearch*>(parameter);
    const std::wstring caption = Text(topLevel);
    const std::wstring& suffix = search->suffix;
    if (caption.compare(0, 10, L"smshost - ") != 0 || caption.size() < suffix.size() ||
        caption.compare(caption.size() - suffix.size(), std::wstring::npos, suffix) != 0)
        return TRUE;
    search->found = topLevel;
    return FALSE;
}

// A visible top-level window of `process` (0: any process).
bool IsVisibleOf(HWND topLevel, DWORD process)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(topLevel, &owner);
    return (!process || owner == process) && IsWindowVisible(topLevel);
}

struct ControlSearch {
    int id;
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindControlIn(HWND topLevel, LPARAM parameter)
{
    auto search = reinterpret_cast<ControlSearch*>(parameter);
    if (!IsVisibleOf(topLevel, search->process)) return TRUE;
    HWND control = GetDlgItem(topLevel, search->id);
    if (!control || !IsWindowVisible(control)) return TRUE;
    search->found = control;
    return FALSE;
}

LPARAM Point(int x, int y)
{
    return MAKELPARAM(x, y);
}

} // namespace

HWND FindHostWindow(uint32_t account)
{
    HostSearch search{L"(" + std::to_wstring(account) + L")", nullptr};
    EnumWindows(FindHost, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DWORD FindHostProcess(uint32_t account)
{
    HWND host = FindHostWindow(account);
    DWORD process = 0;
    if (host) GetWindowThreadProcessId(host, &process);
    return process;
}

HWND FindControl(DWORD process, int id)
{
    ControlSearch search{id, process, nullptr};
    EnumWindows(FindControlIn, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring Text(HWND window)
{
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, &copied))
        return std::wstring();
    return text;
}

std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

std::wstring Wide(const std::string& utf8)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), &wide[0], size);
    return wide;
}

std::string TextUtf8(HWND window)
{
    return Utf8(Text(window));
}

int FindListItem(HWND list, const std::wstring& part)
{
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
        if (length == LB_ERR) continue;
        std::vector<wchar_t> item(length + 1);
        SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(item.data()));
        if (std::wstring(item.data()).find(part) != std::wstring::npos) return index;
    }
    return -1;
}

void Click(HWND button)
{
    // Posted: what a click starts may open a message box, which would hold
    // a sent message until someone answers it.
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool DoubleClickItem(HWND list, int index)
{
    RECT item = {};
    if (SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)) == LB_ERR) return false;
    const LPARAM at = Point((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    return true;
}

bool Type(HWND field, const std::wstring& text)
{
    // One character at a time, as fingers do: the system turns an input
    // method's character into WM_CHARs posted behind whatever is queued, so
    // a burst would arrive out of order.
    for (wchar_t c : text) {
        const std::wstring before = Text(field);
        if (c < 0x80) PostMessageW(field, WM_CHAR, c, 1);
        else PostMessageW(field, WM_IME_CHAR, c, 1);
        const DWORD start = GetTickCount();
        while (Text(field) == before) {
            if (GetTickCount() - start > 5000) return false;
            Sleep(1);
        }
    }
    return true;
}

void PostChars(HWND field, const std::string& keys)
{
    for (char c : keys) PostMessageW(field, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void SelectAll(HWND field)
{
    SendMessageW(field, EM_SETSEL, 0, -1);
}

bool Paste(HWND field, const std::wstring& text)
{
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    bool done = false;
    for (int attempt = 0; attempt < 50 && !done; ++attempt) {
        if (!OpenClipboard(nullptr)) {
            Sleep(20);
            continue;
        }
        EmptyClipboard();
        done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        CloseClipboard();
        if (!done) break;
    }
    if (!done) {
        GlobalFree(memory);
        return false;
    }
    SetForegroundWindow(GetAncestor(field, GA_ROOT));
    PostMessageW(field, WM_PASTE, 0, 0);
    return true;
}

void CloseWindowOf(HWND window)
{
    PostMessageW(GetAncestor(window, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool IsInFront(HWND window)
{
    HWND root = GetAncestor(window, GA_ROOT);
    RECT rect;
    if (!IsWindowVisible(root) || !GetWindowRect(root, &rect)) return false;
    const POINT points[] = {{rect.left + 2, rect.top + 2}, {rect.right - 3, rect.top + 2},
                            {rect.left + 2, rect.bottom - 3}, {rect.right - 3, rect.bottom - 3},
                            {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}};
    for (const POINT& point : points) {
        HWND seen = WindowFromPoint(point);
        if (!seen || GetAncestor(seen, GA_ROOT) != root) return false;
    }
    return true;
}

} // namespace drive
