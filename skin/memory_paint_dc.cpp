#include "memory_paint_dc.h"

namespace {

// One off-screen picture kept for every paint of the GUI thread. Under Wine,
// making a bitmap and putting it into a device context each take server round
// trips, about a third of those a keystroke's repaint costs; a kept one costs
// none. It grows to the largest part painted and goes with the module.
struct OffscreenPicture {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ original = nullptr;
    int width = 0;
    int height = 0;
    bool inUse = false;

    ~OffscreenPicture()
    {
        if (dc) ::SelectObject(dc, original);
        if (bitmap) ::DeleteObject(bitmap);
        if (dc) ::DeleteDC(dc);
    }

    // The kept picture, at least width by height; null when a paint inside
    // another still holds it, or when it cannot be made.
    HDC Take(HDC like, int needWidth, int needHeight)
    {
        if (inUse) return nullptr;
        if (!dc) {
            dc = ::CreateCompatibleDC(like);
            if (!dc) return nullptr;
            original = ::GetCurrentObject(dc, OBJ_BITMAP);
        }
        if (needWidth > width || needHeight > height) {
            const int newWidth = needWidth > width ? needWidth : width;
            const int newHeight = needHeight > height ? needHeight : height;
            HBITMAP larger = ::CreateCompatibleBitmap(like, newWidth, newHeight);
            if (!larger) return nullptr;
            ::SelectObject(dc, larger);
            if (bitmap) ::DeleteObject(bitmap);
            bitmap = larger;
            width = newWidth;
            height = newHeight;
        }
        inUse = true;
        return dc;
    }
};

OffscreenPicture g_offscreen;

} // namespace

CMemoryPaintDC::CMemoryPaintDC(CWnd* wnd) : m_pWnd(wnd)
{
    if (!m_pWnd) return;
    m_paintDC.m_hDC = ::BeginPaint(m_pWnd->m_hWnd, &m_paint);
    // Only the part to paint is drawn off screen: the counter's band, not
    // the whole panel, when only the counter changed. The drawing keeps
    // client coordinates through the origin.
    const RECT& part = m_paint.rcPaint;
    // An empty part still gets a device context to draw into, copied nowhere.
    const int width = part.right > part.left ? part.right - part.left : 1;
    const int height = part.bottom > part.top ? part.bottom - part.top : 1;
    m_hDC = g_offscreen.Take(m_paintDC.m_hDC, width, height);
    m_bKept = m_hDC != nullptr;
    if (m_bKept) {
        // What one paint selects or sets must not reach the next.
        ::SaveDC(m_hDC);
    } else {
        CreateCompatibleDC(&m_paintDC);
        m_bitmap.CreateCompatibleBitmap(&m_paintDC, width, height);
        if (!m_hDC || !m_bitmap.GetSafeHandle()) {
            DeleteDC();
            return;
        }
        m_hPreviousBitmap = SelectObject(m_bitmap.GetSafeHandle());
    }
    ::SetViewportOrgEx(m_hDC, -part.left, -part.top, nullptr);
}

CMemoryPaintDC::~CMemoryPaintDC()
{
    if (!m_pWnd) return;
    const RECT& part = m_paint.rcPaint;
    if (m_hDC) {
        ::SetViewportOrgEx(m_hDC, 0, 0, nullptr);
        m_paintDC.BitBlt(part.left, part.top, part.right - part.left, part.bottom - part.top, this, 0, 0, SRCCOPY);
    }
    ::EndPaint(m_pWnd->m_hWnd, &m_paint);
    if (m_bKept) {
        ::RestoreDC(m_hDC, -1);
        g_offscreen.inUse = false;
        m_hDC = nullptr;
        return;
    }
    // The bitmap can only be deleted once no device context holds it.
    if (m_hPreviousBitmap) SelectObject(m_hPreviousBitmap);
    m_bitmap.DeleteObject();
    DeleteDC();
}
