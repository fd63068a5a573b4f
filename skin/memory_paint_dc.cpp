#include "memory_paint_dc.h"

CMemoryPaintDC::CMemoryPaintDC(CWnd* wnd) : m_pWnd(wnd)
{
    if (!m_pWnd) return;
    m_paintDC.m_hDC = ::BeginPaint(m_pWnd->m_hWnd, &m_paint);
    CreateCompatibleDC(&m_paintDC);
    RECT client;
    m_pWnd->GetClientRect(&client);
    m_bitmap.CreateCompatibleBitmap(&m_paintDC, client.right - client.left, client.bottom - client.top);
    if (m_hDC && m_bitmap.GetSafeHandle()) m_hPreviousBitmap = SelectObject(m_bitmap.GetSafeHandle());
}

CMemoryPaintDC::~CMemoryPaintDC()
{
    if (!m_pWnd) return;
    BITMAP extent = {};
    if (m_hPreviousBitmap && m_bitmap.GetBitmap(&extent))
        m_paintDC.BitBlt(0, 0, extent.bmWidth, extent.bmHeight, this, 0, 0, SRCCOPY);
    // The bitmap can only be deleted once no device context holds it.
    if (m_hPreviousBitmap) SelectObject(m_hPreviousBitmap);
    ::EndPaint(m_pWnd->m_hWnd, &m_paint);
    m_bitmap.DeleteObject();
    DeleteDC();
}
