#include "dialog_input.h"

#include "afxwin.h"

#include <cstring>

namespace {

const UINT kSystemTimer = 0x0118; // the caret's blink

HWND KeyTarget(HWND dialog, HWND focus)
{
    if (focus) return focus;
    HWND current = ::GetFocus();
    if (current && ::IsChild(dialog, current)) return current;
    HWND first = ::GetNextDlgTabItem(dialog, nullptr, FALSE);
    return first ? first : dialog;
}

} // namespace

void PumpDialogMessages()
{
    MSG message;
    // Bounded, so that a window that keeps posting to itself fails its test
    // instead of hanging it.
    for (int handled = 0; handled < 10000 && ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++handled) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (message.message == WM_TIMER || message.message == kSystemTimer) continue;
        if (AfxPreTranslateDialogMessage(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

void PressDialogKey(HWND dialog, UINT virtualKey, HWND focus)
{
    HWND target = KeyTarget(dialog, focus);
    ::SetFocus(target);
    if (HWND now = ::GetFocus()) target = now;
    const LPARAM scanCode = static_cast<LPARAM>(::MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    const LPARAM down = 1 | scanCode;
    const LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    ::PostMessageA(target, WM_KEYDOWN, virtualKey, down);
    ::PostMessageA(target, WM_KEYUP, virtualKey, up);
    PumpDialogMessages();
}

void ClickCloseBox(HWND dialog)
{
    RECT frame;
    ::GetWindowRect(dialog, &frame);
    ::SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(frame.right - 8, frame.top + 8));
    PumpDialogMessages();
}
