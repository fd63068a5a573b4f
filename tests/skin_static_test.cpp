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
const int kMargin = 2;      // around the band
const int kTextInset = 4;   // left of the text, inside the band

// A panel in a popup of its own, as a dialog binds it to its static item.
class CPanel {
public:
    CPanel(int band, const char* text)
    {
        m_parent = CreateWindowA("Static", "", WS_POPUP | WS_VISIBLE, 80, 80, kWidth + 20, kHeight + 20, nullptr,
                                 nullptr, nullptr, nullptr);
        HWND item = CreateWindowA("Static", text, WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, kWidth, kHeight, m_parent,
                                  nullptr, nullptr, nullptr);
        m_control.SubclassWindow(item);
        m_control.SetMessageAreaHeight(band, FALSE);
    }
    ~CPanel() { DestroyWindow(m_parent); }

    CPixelSnapshot Paint()
    {
        m_control.Invalidate(TRUE);
        m_control.UpdateWindow();
        return CPixelSnapshot(m_control, false);
    }

    CSkinStatic m_control;

private:
    HWND m_parent;
};

// The band's bottom edge (exclusive) for a band height.
int BandBottom(int band) { return band == -1 ? kHeight - kMargin : kMargin + band; }

// The ascent of a fresh memory device context's font, which sets the panel's
// line step.
int DefaultAscent()
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(memory, &metrics);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return metrics.tmAscent;
}

// Where the first inked pixel of a line lies relative to the top-left corner
// of the rectangle it is drawn into, in the skin's panel font.
POINT InkOffset(const char* line)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    HGDIOBJ previousBitmap = SelectObject(memory, bitmap);
    RECT all = {0, 0, kWidth, kHeight};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    COLORREF colour = 0;
    HGDIOBJ previousFont = SelectObject(memory, CSkinProvider::Instance().GetFont("SkinStaticSMS_Font", &colour));
    SetTextColor(memory, RGB(255, 255, 255));
    SetBkMode(memory, TRANSPARENT);
    DrawTextA(memory, line, -1, &all, DT_SINGLELINE);
    POINT ink = {-1, -1};
    for (int y = 0; y < kHeight && ink.y < 0; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (GetPixel(memory, x, y) != 0) { ink.y = y; break; }
    for (int x = 0; x < kWidth && ink.x < 0; ++x)
        for (int y = 0; y < kHeight; ++y)
            if (GetPixel(memory, x, y) != 0) { ink.x = x; break; }
    SelectObject(memory, previousFont);
    SelectObject(memory, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ink;
}

int FirstInkRow(const CPixelSnapshot& shot)
{
    return shot.FirstRowNotOf(TestSkin::kMsgBg, kMargin, kHeight - kMargin, kMargin, kWidth - kMargin);
}

int FirstInkColumn(const CPixelSnapshot& shot, int band)
{
    for (int x = kMargin; x < kWidth - kMargin; ++x)
        for (int y = kMargin; y < BandBottom(band); ++y)
            if (shot.At(x, y) != TestSkin::kMsgBg) return x;
    return -1;
}

} // namespace

TEST(SkinStaticTest, BackgroundsFillTheControlAndTheBand)
{
    CSkinLookups skin(1);
    for (int band : {44, 23, -1}) {
        SCOPED_TRACE("band " + std::to_string(band));
        CPanel panel(band, "");
        CPixelSnapshot shot = panel.Paint();
        ASSERT_EQ(kWidth, shot.Width());
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool inBand = x >= kMargin && x < kWidth - kMargin && y >= kMargin && y < BandBottom(band);
                const COLORREF expected = inBand ? TestSkin::kMsgBg : TestSkin::kWhiteBg;
                if (shot.At(x, y) != expected && wrong++ < 3)
                    ADD_FAILURE() << "at " << x << "," << y << ": expected " << ColourText(expected) << ", got "
                                  << ColourText(shot.At(x, y));
            }
        }
        EXPECT_EQ(0, wrong) << "pixels of another colour; an empty text paints only the backgrounds";
    }
}

TEST(SkinStaticTest, OneLineIsCentredInTheBandByTheAscent)
{
    CSkinLookups skin(1);
    const int ascent = DefaultAscent();
    const POINT ink = InkOffset("Hello");
    ASSERT_GE(ink.y, 0) << "the skin's panel font draws nothing";
    for (int band : {44, 23}) {
        SCOPED_TRACE("band " + std::to_string(band) + ", ascent " + std::to_string(ascent));
        CPanel panel(band, "Hello");
        CPixelSnapshot shot = panel.Paint();
        const int lineTop = kMargin + (band - (ascent + 2)) / 2 + 1;
        EXPECT_EQ(lineTop + ink.y, FirstInkRow(shot));
        EXPECT_EQ(kMargin + kTextInset + ink.x, FirstInkColumn(shot, band));
        EXPECT_GT(shot.CountOf(TestSkin::kFontColour, kMargin, BandBottom(band), kMargin, kWidth - kMargin), 0)
            << "no pixel in the font element's colour " << ColourText(TestSkin::kFontColour);
    }
}

TEST(SkinStaticTest, TextTallerThanTheBandStartsAtItsTopAndIsClipped)
{
    CSkinLookups skin(1);
    const POINT ink = InkOffset("Hello");
    // Three lines need more than 23 pixels with any font of the system's.
    CPanel panel(23, "Hello\r\nHello\r\nHello");
    CPixelSnapshot shot = panel.Paint();
    EXPECT_EQ(kMargin + ink.y, FirstInkRow(shot));
    const int below = shot.FirstRowNotOf(TestSkin::kWhiteBg, BandBottom(23), kHeight, 0, kWidth);
    EXPECT_EQ(-1, below) << "a line drawn below the band";
}

TEST(SkinStaticTest, TrailingLineBreakCountsAsOneMoreLine)
{
    CSkinLookups skin(1);
    const int ascent = DefaultAscent();
    const POINT ink = InkOffset("Hello");
    CPanel panel(44, "Hello\r\n");
    CPixelSnapshot shot = panel.Paint();
    const int lineTop = kMargin + (44 - 2 * (ascent + 2)) / 2 + 1;
    EXPECT_EQ(lineTop + ink.y, FirstInkRow(shot)) << "ascent " << ascent;
}

TEST(SkinStaticTest, SkinOffPaintsTheFallbackBlackEverywhere)
{
    // The text keeps the device context's black, so nothing but black shows.
    CPanel panel(23, "Hello\r\nthere");
    CPixelSnapshot shot = panel.Paint();
    const int black = shot.CountOf(TestSkin::kBlack, 0, kHeight, 0, kWidth);
    EXPECT_EQ(kWidth * kHeight, black);
}

TEST(SkinStaticTest, NewBandHeightShowsAtOnceOnlyWhenAskedToRedraw)
{
    CSkinLookups skin(1);
    CPanel panel(-1, "");
    panel.Paint();
    panel.m_control.SetMessageAreaHeight(23, FALSE);
    panel.m_control.UpdateWindow();
    EXPECT_EQ(ColourText(TestSkin::kMsgBg), ColourText(CPixelSnapshot(panel.m_control, false).At(40, 60)));
    panel.m_control.SetMessageAreaHeight(23, TRUE);
    panel.m_control.UpdateWindow();
    EXPECT_EQ(ColourText(TestSkin::kWhiteBg), ColourText(CPixelSnapshot(panel.m_control, false).At(40, 60)));
}

TEST(SkinStaticTest, NewTextIsPaintedInTheSkinOnly)
{
    CSkinLookups skin(1);
    CPanel panel(23, "");
    panel.Paint();
    // The owner changes the counter's text with every key; the static's own
    // painting of it must never show.
    panel.m_control.SetWindowText("changed");
    panel.m_control.UpdateWindow();
    CPixelSnapshot shot(panel.m_control, false);
    const int below = (kHeight - BandBottom(23)) * kWidth;
    EXPECT_EQ(below, shot.CountOf(TestSkin::kWhiteBg, BandBottom(23), kHeight, 0, kWidth))
        << "the outer background below the band";
    EXPECT_GT(shot.CountOf(TestSkin::kFontColour, kMargin, BandBottom(23), 0, kWidth), 0) << "the text in the skin's colour";
    EXPECT_STREQ("changed", [&] { CString text; panel.m_control.GetWindowText(text); return text; }());
}

TEST(SkinStaticTest, PaintsLeaveNoGdiObjectsBehind)
{
    CSkinLookups skin(1);
    CPanel panel(44, "Hello\r\nthere");
    panel.Paint();
    const int before = CountGdiObjects();
    for (int i = 0; i < 1000; ++i) {
        panel.m_control.Invalidate(TRUE);
        panel.m_control.UpdateWindow();
    }
    EXPECT_EQ(before, CountGdiObjects());
}
