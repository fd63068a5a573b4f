#include "web_browser2.h"

#include <oleauto.h>

IMPLEMENT_DYNCREATE(CWebBrowser2, CWnd)

namespace {

const UINT kDispidNavigate = 104;

// The control: it keeps the address it navigated to as its text and paints it.
LRESULT CALLBACK BrowserControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_APP + kDispidNavigate: {
        BSTR url = reinterpret_cast<BSTR>(lParam);
        ::SetWindowTextW(window, url ? url : L"");
        ::InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        wchar_t text[2048];
        const int length = ::GetWindowTextW(window, text, 2048);
        ::InflateRect(&client, -8, -8);
        ::SetBkMode(dc, TRANSPARENT);
        HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        ::DrawTextW(dc, text, length, &client, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
        ::SelectObject(dc, old);
        ::EndPaint(window, &paint);
        return 0;
    }
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

namespace {

ATOM g_controlClass = 0;

// The module whose code the class runs: the plugin's, not the host's.
HINSTANCE ControlModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&BrowserControlProc), &module);
    return module;
}

} // namespace

bool CWebBrowser2::RegisterControlClass()
{
    if (g_controlClass) return true;
    WNDCLASSW control = {};
    // Global, so that templates of any module find it by name.
    control.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    control.lpfnWndProc = BrowserControlProc;
    control.hInstance = ControlModule();
    control.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    control.lpszClassName = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
    g_controlClass = ::RegisterClassW(&control);
    return g_controlClass != 0;
}

bool CWebBrowser2::UnregisterControlClass()
{
    if (!g_controlClass) return true;
    if (!::UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(g_controlClass)), ControlModule()))
        return false;
    g_controlClass = 0;
    return true;
}

void CWebBrowser2::Navigate(LPCSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
{
    // The address travels as a BSTR, as the control's dispatch interface takes it.
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, url, -1, nullptr, 0);
    BSTR address = ::SysAllocStringLen(nullptr, wide > 0 ? wide - 1 : 0);
    if (!address) return;
    ::MultiByteToWideChar(CP_ACP, 0, url, -1, address, wide);
    SendMessage(WM_APP + kDispidNavigate, 0, reinterpret_cast<LPARAM>(address));
    ::SysFreeString(address);
}
