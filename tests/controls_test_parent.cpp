#include "controls_test_parent.h"

CControlsTestParent::CControlsTestParent()
{
    m_hWnd = ::CreateWindowExA(0, "Static", "controls", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300, nullptr,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SetForegroundWindow(m_hWnd);
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

void PumpMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

void SetClipboardText(const char* text)
{
    // Another program of the desktop may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 50 && !::OpenClipboard(nullptr); ++attempt) ::Sleep(10);
    ::EmptyClipboard();
    const size_t size = strlen(text) + 1;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
    memcpy(::GlobalLock(block), text, size);
    ::GlobalUnlock(block);
    ::SetClipboardData(CF_TEXT, block);
    ::CloseClipboard();
}
