#include "message_box_hook.h"

namespace {
MessageBoxHook* g_active = nullptr;
}

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
            g_active->seen.push_back({caption, text});
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(g_active->m_answer, BN_CLICKED),
                         (LPARAM)GetDlgItem(box, g_active->m_answer));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
