// The skinned message panel: two backgrounds, and the window text centred
// line by line in the band, in the skin's panel font and colour.
#include "pixel_snapshot.h"
#include "process_resources.h"
#include "skin/skin_static.h"
#include "test_skin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const int kWidth = 200;
const int kHeight = 80;
const int kMargin = 2;    // around the band
const int kTextInset = 4; // left of the text, inside the band

// A panel in a popup of its own, as a dialog binds it to its static item.
class CPanel {
public:
    CPanel(int band, const char* text)
    {
        m_parent = CreateWindowA("Static", "", WS_POPUP | WS_VISIBLE, 80, 80, kWidth + 20, kHeight + 20, nullptr,
                                 nullptr, nullptr, nullptr);
        m_control.SubclassWindow(CreateWindowA("Static", text, WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, kWidth, kHeight,
                                               m_parent, nullptr, nullptr, nullptr));
        m_control.SetMessageAreaHeight(band, FALSE);
        m_control.Invalidate(TRUE);
        m_control.UpdateWindow();
    }
    ~CPanel() { DestroyWindow(m_parent); }
    CSkinStatic m_control;

private:
    HWND m_parent;
};

// The band's bottom edge (exclusive) for a band height.
int BandBottom(int band) { return band == -1 ? kHeight - kMargin : kMargin + band; }

// Where the first inked pixel of "Hello" lies relative to the top-left corner
// of the rectangle it is drawn into, in the skin's panel font.
POINT InkOffset()
{
    Canvas canvas(kWidth, kHeight, RGB(0, 0, 0));
    COLORREF colour = 0;
    HGDIOBJ previous = SelectObject(canvas.Dc(), CSkinProvider::Instance().GetFont("SkinStaticSMS_Font", &colour));
    SetTextColor(canvas.Dc(), RGB(255, 255, 255));
    SetBkMode(canvas.Dc(), TRANSPARENT);
    RECT all = canvas.All();
    DrawTextA(canvas.Dc(), "Hello", -1, &all, DT_SINGLELINE);
    SelectObject(canvas.Dc(), previous);
    POINT ink = {-1, canvas.FirstRowNotOf(RGB(0, 0, 0), all)};
    for (int x = 0; x < kWidth && ink.x < 0; ++x)
        if (canvas.FirstRowNotOf(RGB(0, 0, 0), {x, 0, x + 1, kHeight}) >= 0) ink.x = x;
    return ink;
}

} // namespace

TEST(SkinStaticTest, BackgroundsFillTheControlAndTheBand)
{
    CSkinLookups skin(1);
    for (int band : {44, -1}) {
        SCOPED_TRACE("band " + std::to_string(band));
        CPanel panel(band, "");
        Canvas shot(panel.m_control, false);
        ASSERT_EQ(kWidth, shot.Width());
        const RECT inner = {kMargin, kMargin, kWidth - kMargin, BandBottom(band)};
        EXPECT_EQ((inner.right - inner.left) * (inner.bottom - inner.top), shot.Count(inner, TestSkin::kMsgBg));
        EXPECT_EQ(kWidth * kHeight - shot.Count(inner, TestSkin::kMsgBg), shot.Count(shot.All(), TestSkin::kWhiteBg))
            << "the outer background around the band, and nothing else: an empty "
               "text paints no ink";
    }
}

// Each line takes the ascent of a fresh device context and 2; the lines are
// centred in the band, or start at its top when they do not fit, clipped.
TEST(SkinStaticTest, LinesAreCentredInTheBandByTheAscent)
{
    CSkinLookups skin(1);
    HDC memory = CreateCompatibleDC(nullptr);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(memory, &metrics);
    DeleteDC(memory);
    const int step = metrics.tmAscent + 2;
    const POINT ink = InkOffset();
    ASSERT_GE(ink.y, 0) << "the skin's panel font draws nothing";
    const struct {
        int band;
        const char* text;
        int lineTop;
    } cases[] = {
        {44, "Hello", kMargin + (44 - step) / 2 + 1},
        {23, "Hello", kMargin + (23 - step) / 2 + 1},
        {44, "Hello\r\n", kMargin + (44 - 2 * step) / 2 + 1}, // a trailing break is one more line
        {23, "Hello\r\nHello\r\nHello", kMargin},             // taller than the band with any system font
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(std::to_string(each.band) + " " + each.text + ", ascent " + std::to_string(metrics.tmAscent));
        CPanel panel(each.band, each.text);
        Canvas shot(panel.m_control, false);
        const RECT band = {kMargin, kMargin, kWidth - kMargin, BandBottom(each.band)};
        EXPECT_EQ(each.lineTop + ink.y, shot.FirstRowNotOf(TestSkin::kMsgBg, band));
        int column = band.left;
        while (column < band.right &&
               shot.FirstRowNotOf(TestSkin::kMsgBg, {column, band.top, column + 1, band.bottom}) < 0)
            ++column;
        EXPECT_EQ(kMargin + kTextInset + ink.x, column);
        EXPECT_GT(shot.Count(band, TestSkin::kFontColour), 0) << "no pixel in the font element's colour";
        EXPECT_EQ(-1, shot.FirstRowNotOf(TestSkin::kWhiteBg, {0, band.bottom, kWidth, kHeight}))
            << "drawn below the band";
    }
}

TEST(SkinStaticTest, SkinOffPaintsTheFallbackBlackEverywhere)
{
    // The text keeps the device context's black, so nothing but black shows.
    CPanel panel(23, "Hello\r\nthere");
    Canvas shot(panel.m_control, false);
    EXPECT_EQ(kWidth * kHeight, shot.Count(shot.All(), TestSkin::kBlack));
}

// The owner changes the counter's text with every key and the band with the
// message's length: only the skin's painting may ever show, the band's change
// at once only when asked to redraw, and nothing is left behind.
TEST(SkinStaticTest, NewTextAndBandShowOnlyInTheSkin)
{
    CSkinLookups skin(1);
    CPanel panel(-1, "");
    panel.m_control.SetMessageAreaHeight(23, FALSE);
    panel.m_control.UpdateWindow();
    EXPECT_EQ(ColourText(TestSkin::kMsgBg), ColourText(Canvas(panel.m_control, false).At(40, 60)));
    panel.m_control.SetMessageAreaHeight(23, TRUE);
    panel.m_control.UpdateWindow();
    EXPECT_EQ(ColourText(TestSkin::kWhiteBg), ColourText(Canvas(panel.m_control, false).At(40, 60)));

    panel.m_control.SetWindowText("changed");
    panel.m_control.UpdateWindow();
    Canvas shot(panel.m_control, false);
    const RECT below = {0, BandBottom(23), kWidth, kHeight};
    EXPECT_EQ(kWidth * (kHeight - BandBottom(23)), shot.Count(below, TestSkin::kWhiteBg)) << "below the band";
    EXPECT_GT(shot.Count({0, kMargin, kWidth, BandBottom(23)}, TestSkin::kFontColour), 0) << "the text in the skin";
    // A part uncovered away from the corner is painted as the whole was.
    const RECT part = {17, 9, 61, 47};
    InvalidateRect(panel.m_control.m_hWnd, &part, FALSE);
    panel.m_control.UpdateWindow();
    Canvas again(panel.m_control, false);
    int differ = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) differ += again.At(x, y) != shot.At(x, y);
    EXPECT_EQ(0, differ) << "pixels that a partial repaint changed";

    const int left = GdiObjectsLeftBy(
        [&] {
            panel.m_control.Invalidate(TRUE);
            panel.m_control.UpdateWindow();
        },
        1000);
    EXPECT_EQ(0, left) << "GDI objects left by 1,000 paints";
}
