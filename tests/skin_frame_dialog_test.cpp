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

class CTestFrameDialog : public CSkinFrameDialog {
public:
    CTestFrameDialog() : CSkinFrameDialog(kFrameTemplate) {}
};

// Shown without activation, whose default handling repaints the system's own
// frame; only the dialog's painting is under test here.
void ShowAt(HWND window, int x, int y, int width, int height)
{
    SetWindowPos(window, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    UpdateWindow(window);
}

// The client rectangle in window coordinates, measured the system's way.
RECT ClientInWindow(HWND window)
{
    RECT frame, client;
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    OffsetRect(&client, -frame.left, -frame.top);
    return client;
}

struct Probe {
    const char* where;
    int x;
    int y;
    COLORREF colour;
};

// Every strip at its corners and middle, and the client area's corners.
void ExpectStripsAndClient(HWND window, COLORREF client, COLORREF top, COLORREF left, COLORREF right,
                           COLORREF bottom)
{
    CPixelSnapshot shot(window, true);
    const RECT c = ClientInWindow(window);
    const int w = shot.Width();
    const int h = shot.Height();
    ASSERT_GT(c.top, 0) << "the template has a sizing border";
    ASSERT_GT(c.left, 0);
    const Probe probes[] = {
        {"top-left corner", 0, 0, top},
        {"top-right corner", w - 1, 0, top},
        {"top strip over the left strip", 0, c.top - 1, top},
        {"top strip over the right strip", w - 1, c.top - 1, top},
        {"top strip middle", w / 2, c.top - 1, top},
        {"left strip top", 0, c.top, left},
        {"left strip inner bottom", c.left - 1, c.bottom - 1, left},
        {"right strip top", c.right, c.top, right},
        {"right strip outer bottom", w - 1, c.bottom - 1, right},
        {"bottom strip under the left strip", 0, c.bottom, bottom},
        {"bottom strip under the right strip", w - 1, c.bottom, bottom},
        {"bottom-left corner", 0, h - 1, bottom},
        {"bottom-right corner", w - 1, h - 1, bottom},
        {"client top-left", c.left, c.top, client},
        {"client bottom-right", c.right - 1, c.bottom - 1, client},
        {"client middle", (c.left + c.right) / 2, (c.top + c.bottom) / 2, client},
    };
    for (const Probe& probe : probes)
        EXPECT_EQ(ColourText(probe.colour), ColourText(shot.At(probe.x, probe.y)))
            << probe.where << " at " << probe.x << "," << probe.y << " of " << w << "x" << h;
}

} // namespace

TEST(SkinFrameDialogTest, EachElementLandsInItsStripAndAgainAfterAResize)
{
    CSkinLookups skin(1);
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Create(kFrameTemplate));
    RECT frame;
    dialog.GetWindowRect(&frame);
    ShowAt(dialog, 60, 60, frame.right - frame.left, frame.bottom - frame.top);
    {
        SCOPED_TRACE("as created");
        ExpectStripsAndClient(dialog, TestSkin::kClient, TestSkin::kTop, TestSkin::kLeft, TestSkin::kRight,
                              TestSkin::kBottom);
    }

    ShowAt(dialog, 60, 60, frame.right - frame.left + 97, frame.bottom - frame.top + 53);
    {
        SCOPED_TRACE("resized");
        CPixelSnapshot shot(dialog, true);
        ASSERT_EQ(frame.right - frame.left + 97, shot.Width());
        ExpectStripsAndClient(dialog, TestSkin::kClient, TestSkin::kTop, TestSkin::kLeft, TestSkin::kRight,
                              TestSkin::kBottom);
    }
    dialog.DestroyWindow();
}

TEST(SkinFrameDialogTest, SkinOffFillsClientAndBorderWithTheFallbackBlack)
{
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Create(kFrameTemplate));
    RECT frame;
    dialog.GetWindowRect(&frame);
    ShowAt(dialog, 60, 60, frame.right - frame.left, frame.bottom - frame.top);
    ExpectStripsAndClient(dialog, TestSkin::kBlack, TestSkin::kBlack, TestSkin::kBlack, TestSkin::kBlack,
                          TestSkin::kBlack);
    dialog.DestroyWindow();
}

TEST(SkinFrameDialogTest, WithoutBorderTheStripsAreEmpty)
{
    CSkinLookups skin(1);
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Create(kFrameTemplate));
    dialog.ModifyStyle(WS_THICKFRAME, 0, SWP_FRAMECHANGED);
    ShowAt(dialog, 60, 60, 150, 90);
    const RECT client = ClientInWindow(dialog);
    ASSERT_EQ(0, client.left);
    ASSERT_EQ(0, client.top);
    // The border is painted after the client area here, so a strip that
    // is not empty would show over it.
    SendMessageA(dialog, WM_NCPAINT, 1, 0);
    CPixelSnapshot shot(dialog, true);
    ASSERT_EQ(150, shot.Width());
    const int clientPixels = shot.CountOf(TestSkin::kClient, 0, shot.Height(), 0, shot.Width());
    EXPECT_EQ(150 * 90, clientPixels) << "every pixel of a borderless dialog is client area";
    dialog.DestroyWindow();
}

TEST(SkinFrameDialogTest, PaintsLeaveNoGdiObjectsBehind)
{
    CSkinLookups skin(1);
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Create(kFrameTemplate));
    RECT frame;
    dialog.GetWindowRect(&frame);
    ShowAt(dialog, 60, 60, frame.right - frame.left, frame.bottom - frame.top);
    const int before = CountGdiObjects();
    for (int i = 0; i < 1000; ++i)
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    EXPECT_EQ(before, CountGdiObjects());
    dialog.DestroyWindow();
}
