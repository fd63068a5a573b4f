// A paint device context that draws off screen and copies the picture to the
// window in one block when it is destroyed, so that a window repainted often
// does not flicker.
#pragma once
#include "afxwin.h"

class CMemoryPaintDC : public CDC {
public:
    // Starts the window's paint; without a window the object is a bare device
    // context wrapper and does nothing.
    explicit CMemoryPaintDC(CWnd* wnd);
    // Copies the picture to the window and ends its paint.
    ~CMemoryPaintDC() override;

    CMemoryPaintDC(const CMemoryPaintDC&) = delete;
    CMemoryPaintDC& operator=(const CMemoryPaintDC&) = delete;

private:
    CDC m_paintDC; // the window's, from the paint start; not owned
    CWnd* m_pWnd;
    HGDIOBJ m_hPreviousBitmap = nullptr;
    CBitmap m_bitmap; // as large as the part to paint, when the kept one is taken
    bool m_bKept = false; // drawing into the kept picture
    PAINTSTRUCT m_paint = {};
};
