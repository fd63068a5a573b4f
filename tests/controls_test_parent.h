// A top-level window for the input controls' tests: it holds real edit
// windows that the controls subclass.
#pragma once
#include "afxwin.h"

class CControlsTestParent {
public:
    CControlsTestParent();
    ~CControlsTestParent();
    CControlsTestParent(const CControlsTestParent&) = delete;
    CControlsTestParent& operator=(const CControlsTestParent&) = delete;

    // A new edit control child, subclassed by `control`.
    void CreateEdit(CEdit& control, DWORD style);

private:
    HWND m_hWnd = nullptr;
    int m_nNextId = 100;
};

// Dispatches what the thread's queue holds.
void PumpMessages();
// Puts `text` on the clipboard as CF_TEXT.
void SetClipboardText(const char* text);
