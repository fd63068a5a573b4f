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
        m_shownDuringPaint = CPixelSnapshot(m_hWnd, false).At(client.right / 2, client.bottom / 2);
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
    ASSERT_TRUE(window.CreateEx(0, nullptr, "paint", WS_POPUP | WS_VISIBLE, RECT{40, 40, 40 + 213, 40 + 97}, nullptr, 0));
    window.UpdateWindow();
    CPixelSnapshot before(window, false);
    ASSERT_EQ(ColourText(kOld), ColourText(before.At(0, 0)));

    window.m_colour = kNew;
    window.Invalidate(FALSE);
    window.UpdateWindow();
    EXPECT_EQ(ColourText(kOld), ColourText(window.m_shownDuringPaint))
        << "the picture must stay off screen until the paint ends";
    CPixelSnapshot after(window, false);
    ASSERT_EQ(213, after.Width());
    for (POINT corner : {POINT{0, 0}, POINT{212, 0}, POINT{0, 96}, POINT{212, 96}, POINT{106, 48}})
        EXPECT_EQ(ColourText(kNew), ColourText(after.At(corner.x, corner.y))) << "at " << corner.x << "," << corner.y;
}

TEST(MemoryPaintDCTest, PaintsLeaveNoGdiObjectsBehind)
{
    CFillWindow window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, "paint", WS_POPUP | WS_VISIBLE, RECT{40, 40, 140, 100}, nullptr, 0));
    window.UpdateWindow();
    const int before = CountGdiObjects();
    for (int i = 0; i < 1000; ++i) {
        window.Invalidate(FALSE);
        window.UpdateWindow();
    }
    EXPECT_EQ(before, CountGdiObjects());

    // Without a window the object is a bare wrapper: nothing is made.
    {
        CMemoryPaintDC bare(nullptr);
        EXPECT_EQ(nullptr, bare.GetSafeHdc());
    }
    EXPECT_EQ(before, CountGdiObjects());
}
