#include "skin_static.h"

#include "memory_paint_dc.h"
#include "skin_provider.h"

namespace {

const char kLineBreak[] = "\r\n";
const char kFontElement[] = "SkinStaticSMS_Font";

} // namespace

// The static control's own painting is never wanted, so the map chains past
// it to the window's.
BEGIN_MESSAGE_MAP(CSkinStatic, CWnd)
    ON_WM_PAINT()
    ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

// A static paints a new text at once, by itself, outside WM_PAINT: the text
// is only stored here, and the panel paints it with the next WM_PAINT, off
// screen, so that the counter never flickers through the plain static.
LRESULT CSkinStatic::OnSetText(WPARAM, LPARAM text)
{
    const LRESULT result = ::DefWindowProcA(m_hWnd, WM_SETTEXT, 0, text);
    // The text is drawn in the message band only.
    const RECT band = BandRect();
    ::InvalidateRect(m_hWnd, &band, FALSE);
    return result;
}

RECT CSkinStatic::BandRect() const
{
    RECT band;
    ::GetClientRect(m_hWnd, &band);
    ::InflateRect(&band, -2, -2);
    if (m_nMessageAreaHeight != -1) band.bottom = band.top + m_nMessageAreaHeight;
    return band;
}

void CSkinStatic::SetMessageAreaHeight(int height, BOOL redraw)
{
    m_nMessageAreaHeight = height;
    if (redraw) Invalidate(TRUE);
}

void CSkinStatic::OnPaint()
{
    CMemoryPaintDC dc(this);
    DrawPanel(&dc);
}

void CSkinStatic::DrawPanel(CDC* dc)
{
    CSkinProvider& skin = CSkinProvider::Instance();
    RECT rect;
    GetClientRect(&rect);
    skin.PaintElement(dc, rect, "SkinStaticSMS_WhiteBgSMS", 1);

    rect = BandRect();
    skin.PaintElement(dc, rect, "SkinStaticSMS_MsgBgSMS", 1);

    CString text;
    GetWindowText(text);
    rect.left += 4;
    rect.right -= 4;

    // The block is measured with the device context's own font, before any
    // skin font is selected; a line step is the ascent plus two pixels.
    TEXTMETRICA metrics = {};
    dc->GetTextMetrics(&metrics);
    const int lineStep = metrics.tmAscent + 2;
    int lineCount = 1;
    for (int found = text.Find(kLineBreak); found >= 0; found = text.Find(kLineBreak, found + 2)) ++lineCount;
    const int blockHeight = lineCount * lineStep;
    const int bandHeight = rect.bottom - rect.top;
    // A block taller than the band starts at its top and loses its last lines.
    if (bandHeight > blockHeight) rect.top += (bandHeight - blockHeight) / 2 + 1;

    // The skin font stays selected after drawing; the device context gets its
    // own back so that the provider may delete the font at its next lookup.
    const int savedState = dc->SaveDC();
    const int previousMode = dc->SetBkMode(TRANSPARENT);
    int lineStart = 0;
    for (int found = text.Find(kLineBreak); found >= 0; found = text.Find(kLineBreak, found + 2)) {
        const CString line(static_cast<LPCSTR>(text) + lineStart, found - lineStart);
        skin.DrawSkinText(dc, line, -1, &rect, DT_SINGLELINE, nullptr, kFontElement);
        rect.top += lineStep;
        lineStart = found + 2;
    }
    const CString lastLine(static_cast<LPCSTR>(text) + lineStart);
    if (!lastLine.IsEmpty()) skin.DrawSkinText(dc, lastLine, -1, &rect, DT_SINGLELINE, nullptr, kFontElement);
    dc->SetBkMode(previousMode);
    dc->RestoreDC(savedState);
}
