#include "message_box_hook.h"

namespace {

MessageBoxHook* g_active = nullptr;

// The system icon that the box shows: the icon control holds the shared
// handle that LoadIcon gives for it.
LPCSTR IconOf(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        const HICON shown = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (!shown) continue;
        for (LPCSTR icon : {IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK})
            if (LoadIconA(nullptr, icon) == shown) return icon;
    }
    return nullptr;
}

} // namespace

MessageBoxHook::MessageBoxHook(int answer) : m_answer(answer)
{
    g_active = this;
    m_hook = SetWindowsHookExA(WH_CBT, &MessageBoxHook::Hook, nullptr, GetCurrentThreadId());
}

MessageBoxHook::~MessageBoxHook()
{
    UnhookWindowsHookEx(m_hook);
    g_active = nullptr;
}

LRESULT CALLBACK MessageBoxHook::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_active) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        GetClassNameA(box, className, sizeof className);
        HWND textControl = GetDlgItem(box, 0xFFFF);
        if (strcmp(className, "#32770") == 0 && textControl) {
            char caption[512] = {}, text[1024] = {};
            GetWindowTextA(box, caption, sizeof caption);
            GetWindowTextA(textControl, text, sizeof text);
            SeenMessageBox seen{caption, text};
            for (int id = IDOK; id <= IDNO; ++id)
                if (GetDlgItem(box, id)) seen.buttons.push_back(id);
            seen.icon = IconOf(box);
            seen.owner = GetWindow(box, GW_OWNER);
            g_active->seen.push_back(seen);
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(g_active->m_answer, BN_CLICKED),
                         (LPARAM)GetDlgItem(box, g_active->m_answer));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
