#include "controls_test_parent.h"

namespace {
const char kParentClass[] = "ControlsTestParent";
}

CControlsTestParent::CControlsTestParent()
{
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &CControlsTestParent::WindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kParentClass;
        atom = ::RegisterClassA(&wc);
    }
    m_hWnd = ::CreateWindowExA(0, kParentClass, "controls", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300, nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), this);
    ::SetForegroundWindow(m_hWnd);
    m_hOther = ::CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 250, 100, 20, m_hWnd,
                                 (HMENU)(UINT_PTR)99, nullptr, nullptr);
    PumpMessages();
}

CControlsTestParent::~CControlsTestParent()
{
    ::DestroyWindow(m_hWnd);
    PumpMessages();
}

void CControlsTestParent::CreateEdit(CEdit& control, DWORD style)
{
    const int id = m_nNextId++;
    HWND edit = ::CreateWindowExA(0, "Edit", "", WS_CHILD | WS_VISIBLE | WS_BORDER | style, 10, 10 + (id - 100) * 30,
                                  300, 24, m_hWnd, (HMENU)(UINT_PTR)id, nullptr, nullptr);
    control.SubclassWindow(edit);
}

std::vector<ParentNotice> CControlsTestParent::TakeNotices()
{
    std::vector<ParentNotice> taken;
    taken.swap(m_notices);
    return taken;
}

LRESULT CALLBACK CControlsTestParent::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto parent = reinterpret_cast<CControlsTestParent*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (parent && message >= WM_USER && message < 0x8000) {
        parent->m_notices.push_back({message, wParam, lParam});
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void PumpMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void SetClipboardText(const char* text, UINT format)
{
    // Another program of the desktop may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 50 && !::OpenClipboard(nullptr); ++attempt) ::Sleep(10);
    ::EmptyClipboard();
    if (text) {
        const size_t size = strlen(text) + 1;
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
        memcpy(::GlobalLock(block), text, size);
        ::GlobalUnlock(block);
        ::SetClipboardData(format, block);
    }
    ::CloseClipboard();
}
