#include "dialog_placement.h"

#include <algorithm>

namespace {

const int kGap = 4;
// Past this many dialogs the cascade gives up looking for a free corner.
const int kMostSteps = 16;

struct ThreadWindows {
    HINSTANCE module;
    HWND placed;
    HWND host = nullptr;
    std::vector<POINT> taken;
};

// The host's main window: the frontmost visible window without an owner that
// the host program itself made on this thread. The module's own dialogs,
// made from its templates, are the corners a new one steps past.
BOOL CALLBACK SortThreadWindow(HWND window, LPARAM parameter)
{
    auto windows = reinterpret_cast<ThreadWindows*>(parameter);
    if (window == windows->placed || !::IsWindowVisible(window)) return TRUE;
    const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(window, GWLP_HINSTANCE));
    RECT rect;
    ::GetWindowRect(window, &rect);
    if (instance == windows->module) {
        windows->taken.push_back({rect.left, rect.top});
    } else if (!windows->host && instance == ::GetModuleHandleA(nullptr) && !::GetWindow(window, GW_OWNER) &&
               !::IsIconic(window)) {
        windows->host = window;
    }
    return TRUE;
}

bool IsTaken(const std::vector<POINT>& taken, POINT corner)
{
    return std::any_of(taken.begin(), taken.end(),
                       [&](const POINT& other) { return other.x == corner.x && other.y == corner.y; });
}

} // namespace

POINT PlaceBeside(const RECT& host, SIZE size, const RECT& screen, int step, const std::vector<POINT>& taken)
{
    const int roomRight = screen.right - host.right;
    const int roomLeft = host.left - screen.left;
    const bool right = roomRight >= size.cx + kGap || roomRight >= roomLeft;
    const int outwards = right ? step : -step;
    POINT corner = {};
    for (int steps = 0; steps < kMostSteps; ++steps) {
        const int x = (right ? host.right + kGap : host.left - kGap - size.cx) + steps * outwards;
        const int y = host.top + steps * step;
        corner.x = std::max<int>(screen.left, std::min<int>(x, screen.right - size.cx));
        corner.y = std::max<int>(screen.top, std::min<int>(y, screen.bottom - size.cy));
        if (!IsTaken(taken, corner)) break;
    }
    return corner;
}

void PlaceBesideHostWindow(HWND dialog, HINSTANCE module)
{
    ThreadWindows windows{module, dialog};
    ::EnumThreadWindows(::GetCurrentThreadId(), SortThreadWindow, reinterpret_cast<LPARAM>(&windows));
    if (!windows.host) return;
    MONITORINFO monitor = {sizeof monitor};
    if (!::GetMonitorInfoA(::MonitorFromWindow(windows.host, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    RECT host, own;
    ::GetWindowRect(windows.host, &host);
    ::GetWindowRect(dialog, &own);
    const SIZE size = {own.right - own.left, own.bottom - own.top};
    const int step = ::GetSystemMetrics(SM_CYCAPTION) + ::GetSystemMetrics(SM_CYSIZEFRAME);
    const POINT corner = PlaceBeside(host, size, monitor.rcWork, step, windows.taken);
    ::SetWindowPos(dialog, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
