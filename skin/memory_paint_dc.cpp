#include "memory_paint_dc.h"

CMemoryPaintDC::CMemoryPaintDC(CWnd* wnd) : m_pWnd(wnd)
{
    if (!m_pWnd) return;
    m_paintDC.m_hDC = ::BeginPaint(m_pWnd->m_hWnd, &m_paint);
    CreateCompatibleDC(&m_paintDC);
    // Only the part to paint is drawn off screen: the counter's band, not
    // the whole panel, when only the counter changed. The drawing keeps
    // client coordinates through the origin.
    const RECT& part = m_paint.rcPaint;
    m_bitmap.CreateCompatibleBitmap(&m_paintDC, part.right - part.left, part.bottom - part.top);
    if (m_hDC && m_bitmap.GetSafeHandle()) {
        m_hPreviousBitmap = SelectObject(m_bitmap.GetSafeHandle());
        ::SetViewportOrgEx(m_hDC, -part.left, -part.top, nullptr);
    }
}

CMemoryPaintDC::~CMemoryPaintDC()
{
    if (!m_pWnd) return;
    const RECT& part = m_paint.rcPaint;
    if (m_hPreviousBitmap) {
        ::SetViewportOrgEx(m_hDC, 0, 0, nullptr);
        m_paintDC.BitBlt(part.left, part.top, part.right - part.left, part.bottom - part.top, this, 0, 0, SRCCOPY);
    }
    // The bitmap can only be deleted once no device context holds it.
    if (m_hPreviousBitmap) SelectObject(m_hPreviousBitmap);
    ::EndPaint(m_pWnd->m_hWnd, &m_paint);
    m_bitmap.DeleteObject();
    DeleteDC();
}
