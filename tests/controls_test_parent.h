// A top-level window for the input controls' tests: it holds real edit
// windows that the controls subclass, and records the private messages
// (WM_USER and above) that they send it.
#pragma once
#include "afxwin.h"

#include <vector>

struct ParentNotice {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class CControlsTestParent {
public:
    CControlsTestParent();
    ~CControlsTestParent();
    CControlsTestParent(const CControlsTestParent&) = delete;
    CControlsTestParent& operator=(const CControlsTestParent&) = delete;

    HWND GetHwnd() const { return m_hWnd; }
    // A new edit control child, subclassed by `control`.
    void CreateEdit(CEdit& control, DWORD style);
    // A plain edit that takes the focus away from the controls under test.
    HWND Other() const { return m_hOther; }

    // The notices received so far; TakeNotices empties the list.
    std::vector<ParentNotice> TakeNotices();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
    HWND m_hOther = nullptr;
    int m_nNextId = 100;
    std::vector<ParentNotice> m_notices;
};

// Dispatches what the thread's queue holds.
void PumpMessages();
// Puts `text` on the clipboard under `format`; null empties it.
void SetClipboardText(const char* text, UINT format = CF_TEXT);
