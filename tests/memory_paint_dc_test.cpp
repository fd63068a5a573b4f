// The off-screen paint device context: the picture is drawn in memory and
// reaches the window in one block, the whole client area, when the paint ends.
#include "pixel_snapshot.h"
#include "process_resources.h"
#include "skin/memory_paint_dc.h"

#include <gtest/gtest.h>

namespace {

const COLORREF kOld = RGB(0x10, 0x20, 0x30);
const COLORREF kNew = RGB(0xE0, 0x40, 0x90);

// Fills its client area with one colour through the memory device context,
// and notes what the screen showed while the memory picture was complete.
class CFillWindow : public CWnd {
public:
    COLORREF m_colour = kOld;
    COLORREF m_shownDuringPaint = CLR_INVALID;

protected:
    void OnPaint()
    {
        CMemoryPaintDC dc(this);
        RECT client;
        GetClientRect(&client);
        HBRUSH brush = CreateSolidBrush(m_colour);
        FillRect(dc.GetSafeHdc(), &client, brush);
        DeleteObject(brush);
        m_shownDuringPaint = Canvas(m_hWnd, false).At(client.right / 2, client.bottom / 2);
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CFillWindow, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()

} // namespace

TEST(MemoryPaintDCTest, PictureReachesTheWholeClientAreaOnlyWhenThePaintEnds)
{
    CFillWindow window;
    ASSERT_TRUE(
        window.CreateEx(0, nullptr, "paint", WS_POPUP | WS_VISIBLE, RECT{40, 40, 40 + 213, 40 + 97}, nullptr, 0));
    window.UpdateWindow();
    ASSERT_EQ(ColourText(kOld), ColourText(Canvas(window, false).At(0, 0)));

    window.m_colour = kNew;
    window.Invalidate(FALSE);
    window.UpdateWindow();
    EXPECT_EQ(ColourText(kOld), ColourText(window.m_shownDuringPaint))
        << "the picture must stay off screen until the paint ends";
    const Canvas after(window, false);
    EXPECT_EQ(213 * 97, after.Count(after.All(), kNew));

    const int left = GdiObjectsLeftBy(
        [&] {
            window.Invalidate(FALSE);
            window.UpdateWindow();
        },
        1000);
    EXPECT_EQ(0, left) << "GDI objects left by 1,000 paints";
    CMemoryPaintDC bare(nullptr);
    EXPECT_EQ(nullptr, bare.GetSafeHdc()) << "without a window the object is a bare wrapper";
}
