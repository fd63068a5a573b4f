// The captionless skinned dialog: its client area is one skin element, its
// border four strips of skin elements in place of the system frame.
#include "pixel_snapshot.h"
#include "process_resources.h"
#include "skin/skin_frame_dialog.h"
#include "test_skin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const UINT kFrameTemplate = 920;

// Created and shown without activation, whose default handling repaints the
// system's own frame; only the dialog's painting is under test here.
class CTestFrameDialog : public CSkinFrameDialog {
public:
    CTestFrameDialog() : CSkinFrameDialog(kFrameTemplate) {}
    ~CTestFrameDialog() override
    {
        if (m_hWnd) DestroyWindow();
    }
    bool Open()
    {
        if (!Create(kFrameTemplate)) return false;
        GetWindowRect(&m_frame);
        ShowAt(m_frame.right - m_frame.left, m_frame.bottom - m_frame.top);
        return true;
    }
    void ShowAt(int width, int height)
    {
        ::SetWindowPos(m_hWnd, HWND_TOP, 60, 60, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        ::UpdateWindow(m_hWnd);
    }
    RECT m_frame = {};
};

// Every strip at its corners and middle, and the client area's corners; the
// colours in the order client, top, left, right, bottom.
void ExpectStripsAndClient(HWND window, const COLORREF (&colours)[5])
{
    const Canvas shot(window, true);
    RECT c, frame;
    GetWindowRect(window, &frame);
    GetClientRect(window, &c);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&c), 2);
    OffsetRect(&c, -frame.left, -frame.top);
    const int w = shot.Width(), h = shot.Height();
    ASSERT_GT(c.top, 0) << "the template has a sizing border";
    const struct {
        const char* where;
        int x, y, element;
    } probes[] = {
        {"top-left corner", 0, 0, 1},
        {"top-right corner", w - 1, 0, 1},
        {"top strip over the left strip", 0, c.top - 1, 1},
        {"top strip middle", w / 2, c.top - 1, 1},
        {"left strip top", 0, c.top, 2},
        {"left strip inner bottom", c.left - 1, c.bottom - 1, 2},
        {"right strip top", c.right, c.top, 3},
        {"right strip outer bottom", w - 1, c.bottom - 1, 3},
        {"bottom strip under the left strip", 0, c.bottom, 4},
        {"bottom-right corner", w - 1, h - 1, 4},
        {"client top-left", c.left, c.top, 0},
        {"client bottom-right", c.right - 1, c.bottom - 1, 0},
    };
    for (const auto& probe : probes)
        EXPECT_EQ(ColourText(colours[probe.element]), ColourText(shot.At(probe.x, probe.y)))
            << probe.where << " at " << probe.x << "," << probe.y << " of " << w << "x" << h;
}

const COLORREF kSkin[5] = {TestSkin::kClient, TestSkin::kTop, TestSkin::kLeft, TestSkin::kRight, TestSkin::kBottom};

} // namespace

TEST(SkinFrameDialogTest, EachElementLandsInItsStripAfterResizesAndActivationChanges)
{
    CSkinLookups skin(1);
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Open());
    {
        SCOPED_TRACE("as created");
        ExpectStripsAndClient(dialog, kSkin);
    }
    dialog.ShowAt(dialog.m_frame.right - dialog.m_frame.left + 97, dialog.m_frame.bottom - dialog.m_frame.top + 53);
    {
        SCOPED_TRACE("resized");
        ExpectStripsAndClient(dialog, kSkin);
    }
    for (BOOL active : {TRUE, FALSE}) {
        SCOPED_TRACE(active ? "activated" : "deactivated");
        dialog.SendMessage(WM_NCACTIVATE, active, 0);
        ExpectStripsAndClient(dialog, kSkin);
    }
    const int left = GdiObjectsLeftBy(
        [&] { RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW); }, 1000);
    EXPECT_EQ(0, left) << "GDI objects left by 1,000 paints";
}

TEST(SkinFrameDialogTest, SkinOffFillsClientAndBorderWithTheFallbackBlack)
{
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Open());
    const COLORREF black = TestSkin::kBlack;
    ExpectStripsAndClient(dialog, {black, black, black, black, black});
}

TEST(SkinFrameDialogTest, WithoutBorderTheStripsAreEmpty)
{
    CSkinLookups skin(1);
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Create(kFrameTemplate));
    dialog.ModifyStyle(WS_THICKFRAME, 0, SWP_FRAMECHANGED);
    dialog.ShowAt(150, 90);
    // The border is painted after the client area here, so a strip that
    // is not empty would show over it.
    dialog.SendMessage(WM_NCPAINT, 1, 0);
    const Canvas shot(dialog, true);
    ASSERT_EQ(150, shot.Width());
    EXPECT_EQ(150 * 90, shot.Count(shot.All(), TestSkin::kClient)) << "every pixel is client area";
}
