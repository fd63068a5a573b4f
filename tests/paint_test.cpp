// The skin provider over the host's skin module, and the skinned windows
// painted with it, read back as pixels, with the skin of paint_test.skin.
#include "pixel_snapshot.h"
#include "process_resources.h"
#include "skin/skin_frame_dialog.h"
#include "skin/skin_provider.h"
#include "skin/skin_static.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The skin module reads its file on its first call, which comes after every
// static object of the program is made.
struct CTestSkinFile {
    CTestSkinFile() { SetEnvironmentVariableA("SMSUTIL_SKIN_FILE", PAINT_TEST_SKIN_FILE); }
} g_testSkinFile;

// The colours of paint_test.skin.
const COLORREF kClient = RGB(0x20, 0x80, 0xC0);
const COLORREF kTop = RGB(0xC0, 0x20, 0x20);
const COLORREF kLeft = RGB(0x20, 0xC0, 0x20);
const COLORREF kRight = RGB(0xC0, 0xC0, 0x20);
const COLORREF kBottom = RGB(0x80, 0x20, 0xC0);
const COLORREF kWhiteBg = RGB(0xF0, 0xE0, 0xD0);
const COLORREF kMsgBg = RGB(0x30, 0x50, 0x70);
const COLORREF kFontColour = RGB(0xFF, 0xFF, 0x00);
const COLORREF kSplitColour = RGB(0x11, 1, 1);
const COLORREF kSplitPainting = RGB(0xA1, 1, 1);
const COLORREF kBigFontColour = RGB(0x00, 0xAA, 0x00);
const std::string kLongGroup(39, 'G');
const std::string kLongKey(39, 'K');

// Skin lookups on for every case, as the plugin's initialisation turns them
// on; a canvas to paint elements into.
class PaintTest : public testing::Test {
protected:
    void SetUp() override
    {
        provider.SetUseSkin(1);
        dc.m_hDC = canvas.Dc();
    }
    void TearDown() override
    {
        provider.SetUseSkin(0);
        auto count =
            reinterpret_cast<LONG(WINAPI*)()>(GetProcAddress(GetModuleHandleA("ixaskin.dll"), "SkinOpenGroupCount"));
        EXPECT_EQ(0, count ? count() : -1) << "a group was left open";
    }
    CSkinProvider& provider = CSkinProvider::Instance();
    Canvas canvas{40, 40};
    CDC dc;
};

// Created and shown without activation, whose default handling repaints the
// system's own frame; only the dialog's painting is under test here.
class CTestFrameDialog : public CSkinFrameDialog {
public:
    CTestFrameDialog() : CSkinFrameDialog(920) {}
    ~CTestFrameDialog() override
    {
        if (m_hWnd) DestroyWindow();
    }
    void ShowAt(int width, int height)
    {
        ::SetWindowPos(m_hWnd, HWND_TOP, 60, 60, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        ::UpdateWindow(m_hWnd);
    }
};

// Every strip at its corners and the client area's corners.
void ExpectStripsAndClient(HWND window)
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
        int x, y;
        COLORREF colour;
    } probes[] = {
        {"top-left corner", 0, 0, kTop},
        {"top strip over the left strip", 0, c.top - 1, kTop},
        {"top-right corner", w - 1, 0, kTop},
        {"left strip top", 0, c.top, kLeft},
        {"left strip inner bottom", c.left - 1, c.bottom - 1, kLeft},
        {"right strip top", c.right, c.top, kRight},
        {"right strip outer bottom", w - 1, c.bottom - 1, kRight},
        {"bottom strip under the left strip", 0, c.bottom, kBottom},
        {"bottom-right corner", w - 1, h - 1, kBottom},
        {"client top-left", c.left, c.top, kClient},
        {"client bottom-right", c.right - 1, c.bottom - 1, kClient},
    };
    for (const auto& probe : probes)
        EXPECT_EQ(ColourText(probe.colour), ColourText(shot.At(probe.x, probe.y)))
            << probe.where << " at " << probe.x << "," << probe.y << " of " << w << "x" << h;
}

const int kWidth = 200;
const int kHeight = 80;
const int kMargin = 2; // around the band

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

} // namespace

TEST_F(PaintTest, WithLookupsOffColoursAreBlackAndTheFontIsTheDefault)
{
    // A skin font first, so that the default must come back after it.
    provider.GetFont("Fonts_Big", nullptr);
    provider.SetUseSkin(0);
    EXPECT_EQ(0u, provider.GetColor("Provider_Split"));
    COLORREF colour = 0x00ABCDEF;
    LOGFONTA font = {};
    GetObjectA(provider.GetFont("SkinStaticSMS_Font", &colour), sizeof font, &font);
    EXPECT_EQ(12, font.lfHeight);
    EXPECT_EQ(400, font.lfWeight);
    EXPECT_STREQ("宋体", font.lfFaceName);
    EXPECT_EQ(0x00ABCDEFu, colour) << "the colour is left alone";
    provider.PaintElement(&dc, {0, 0, 20, 20}, "Provider_Split", 1);
    EXPECT_EQ(400, canvas.Count({0, 0, 20, 20}, RGB(0, 0, 0))) << "the skin's painting is a black fill";
}

// Mode 1 paints the skin's painting, other modes fill with the colour; what
// the skin does not know gives black, or nothing in mode 1.
TEST_F(PaintTest, AnElementsColourAndPaintingLandInItsRectangle)
{
    EXPECT_EQ(kSplitColour, provider.GetColor("Provider_Split"));
    provider.PaintElement(&dc, {0, 0, 20, 20}, "Provider_Split", 1);
    provider.PaintElement(&dc, {0, 20, 20, 40}, "Provider_Split", 0);
    provider.PaintElement(&dc, {20, 0, 40, 20}, "SkinStaticSMS_Nothing", 1);
    provider.PaintElement(&dc, {20, 20, 40, 40}, "Nothing_AtAll", 0);
    EXPECT_EQ(400, canvas.Count({0, 0, 20, 20}, kSplitPainting)) << "the skin's painting";
    EXPECT_EQ(400, canvas.Count({0, 20, 20, 40}, kSplitColour)) << "a fill with the colour";
    EXPECT_EQ(400, canvas.Count({20, 0, 40, 20}, RGB(255, 255, 255))) << "mode 1 paints nothing unknown";
    EXPECT_EQ(400, canvas.Count({20, 20, 40, 40}, RGB(0, 0, 0))) << "other modes fill with the fallback";
    for (const char* unknown : {"Nothing_AtAll", "SkinStaticSMS_Nothing", "SkinStaticSMS", "SkinStaticSMS_"})
        EXPECT_EQ(0u, provider.GetColor(unknown)) << unknown;
    // Lookups use at most 39 bytes of group and key.
    EXPECT_EQ(RGB(10, 11, 12), provider.GetColor((kLongGroup + "XYZ_" + kLongKey + "QRS").c_str()));
    EXPECT_EQ(0u, provider.GetColor((kLongGroup.substr(1) + "_" + kLongKey).c_str()));
}

TEST(SkinProviderNameTest, SplitsAtTheFirstUnderscoreThatIsNoTrailByte)
{
    const struct {
        const char* name;
        const char* group;
        const char* key;
    } cases[] = {
        {"SkinStaticSMS_Font", "SkinStaticSMS", "Font"},
        {"Whole", "Whole", ""},
        {"A_B_C", "A", "B_C"},
        // 0x5F ends the double-byte character 81 5F: it is no underscore.
        {"\x81\x5F"
         "A_B",
         "\x81\x5F"
         "A",
         "B"},
    };
    for (const auto& expected : cases) {
        CString group = "old", key = "old";
        EXPECT_EQ(0, CSkinProvider::SplitElementName(expected.name, group, key)) << expected.name;
        EXPECT_STREQ(expected.group, group) << expected.name;
        EXPECT_STREQ(expected.key, key) << expected.name;
    }
}

// The provider keeps its current and its previous font: a font drawn with
// stays a font through the next lookup, and thousands leave nothing behind.
TEST_F(PaintTest, AFontStaysUsableUntilTheNextLookupAndNoneIsLeftBehind)
{
    COLORREF colour = 0;
    HFONT panel = provider.GetFont("SkinStaticSMS_Font", &colour);
    EXPECT_EQ(kFontColour, colour);
    EXPECT_EQ(panel, provider.GetFont("SkinStaticSMS_Font", nullptr)) << "the same element keeps its font";
    HGDIOBJ previous = SelectObject(canvas.Dc(), panel);
    HFONT big = provider.GetFont("Fonts_Big", &colour);
    EXPECT_EQ(kBigFontColour, colour);
    EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(panel))) << "replaced while still selected";
    SelectObject(canvas.Dc(), previous);
    EXPECT_EQ(big, provider.GetFont("Nothing_AtAll", &colour)) << "a failed lookup returns the current font";

    int i = 0;
    const int left = GdiObjectsLeftBy(
        [&] {
            SelectObject(canvas.Dc(), provider.GetFont(i % 2 ? "SkinStaticSMS_Font" : "Fonts_Big", nullptr));
            SelectObject(canvas.Dc(), GetStockObject(SYSTEM_FONT));
            provider.PaintElement(&dc, {0, 0, 9, 9}, i % 3 ? "Provider_Split" : "SkinStaticSMS_MsgBgSMS", i % 2);
            ++i;
        },
        1000);
    EXPECT_EQ(0, left) << "GDI objects left by 1,000 lookups and paints";
}

TEST_F(PaintTest, EachFrameElementLandsInItsStripAfterResizesAndActivationChanges)
{
    CTestFrameDialog dialog;
    ASSERT_TRUE(dialog.Create(920));
    RECT frame;
    dialog.GetWindowRect(&frame);
    dialog.ShowAt(frame.right - frame.left, frame.bottom - frame.top);
    {
        SCOPED_TRACE("as created");
        ExpectStripsAndClient(dialog);
    }
    dialog.ShowAt(frame.right - frame.left + 97, frame.bottom - frame.top + 53);
    for (BOOL active : {TRUE, FALSE}) {
        SCOPED_TRACE(active ? "resized, activated" : "resized, deactivated");
        dialog.SendMessage(WM_NCACTIVATE, active, 0);
        ExpectStripsAndClient(dialog);
    }
    const int left = GdiObjectsLeftBy(
        [&] { RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW); }, 1000);
    EXPECT_EQ(0, left) << "GDI objects left by 1,000 paints";
}

TEST_F(PaintTest, PanelBackgroundsFillTheControlAndTheBand)
{
    for (int band : {44, -1}) {
        SCOPED_TRACE("band " + std::to_string(band));
        CPanel panel(band, "");
        Canvas shot(panel.m_control, false);
        const RECT inner = {kMargin, kMargin, kWidth - kMargin, BandBottom(band)};
        const int bandPixels = (inner.right - inner.left) * (inner.bottom - inner.top);
        EXPECT_EQ(bandPixels, shot.Count(inner, kMsgBg));
        EXPECT_EQ(kWidth * kHeight - bandPixels, shot.Count(shot.All(), kWhiteBg))
            << "the outer background around the band, and nothing else: an empty text paints no ink";
    }
}

// Each line takes the ascent of a fresh device context and 2; the lines are
// centred in the band, or start at its top when they do not fit.
TEST_F(PaintTest, PanelLinesAreCentredInTheBandByTheAscent)
{
    HDC memory = CreateCompatibleDC(nullptr);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(memory, &metrics);
    DeleteDC(memory);
    const int step = metrics.tmAscent + 2;
    // Where the ink of "Hello" starts below the top of its line, in the
    // panel's font, drawn alone.
    Canvas ink(kWidth, kHeight, RGB(0, 0, 0));
    HGDIOBJ previous = SelectObject(ink.Dc(), CSkinProvider::Instance().GetFont("SkinStaticSMS_Font", nullptr));
    SetTextColor(ink.Dc(), RGB(255, 255, 255));
    SetBkMode(ink.Dc(), TRANSPARENT);
    RECT all = ink.All();
    DrawTextA(ink.Dc(), "Hello", -1, &all, DT_SINGLELINE);
    SelectObject(ink.Dc(), previous);
    const int inkTop = ink.FirstRowNotOf(RGB(0, 0, 0), all);
    ASSERT_GE(inkTop, 0) << "the skin's panel font draws nothing";
    const struct {
        int band;
        const char* text;
        int lineTop;
    } cases[] = {
        {44, "Hello", kMargin + (44 - step) / 2 + 1},
        {44, "Hello\r\n", kMargin + (44 - 2 * step) / 2 + 1}, // a trailing break is one more line
        {23, "Hello\r\nHello\r\nHello", kMargin},             // taller than the band with any system font
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(std::to_string(each.band) + " " + each.text + ", ascent " + std::to_string(metrics.tmAscent));
        CPanel panel(each.band, each.text);
        Canvas shot(panel.m_control, false);
        const RECT band = {kMargin, kMargin, kWidth - kMargin, BandBottom(each.band)};
        EXPECT_EQ(each.lineTop + inkTop, shot.FirstRowNotOf(kMsgBg, band));
        EXPECT_GT(shot.Count(band, kFontColour), 0) << "no pixel in the font element's colour";
        EXPECT_EQ(-1, shot.FirstRowNotOf(kWhiteBg, {0, band.bottom, kWidth, kHeight})) << "drawn below the band";
    }
}

// The owner changes the counter's text with every key and the band with the
// message's length: the band's change shows at once only when asked to
// redraw, a partial repaint shows what a whole one would, and nothing is
// left behind.
TEST_F(PaintTest, PanelNewTextAndBandShowOnlyInTheSkin)
{
    CPanel panel(-1, "");
    panel.m_control.SetMessageAreaHeight(23, FALSE);
    panel.m_control.UpdateWindow();
    EXPECT_EQ(ColourText(kMsgBg), ColourText(Canvas(panel.m_control, false).At(40, 60)));
    panel.m_control.SetMessageAreaHeight(23, TRUE);
    panel.m_control.UpdateWindow();
    EXPECT_EQ(ColourText(kWhiteBg), ColourText(Canvas(panel.m_control, false).At(40, 60)));

    panel.m_control.SetWindowText("changed");
    panel.m_control.UpdateWindow();
    Canvas shot(panel.m_control, false);
    const RECT below = {0, BandBottom(23), kWidth, kHeight};
    EXPECT_EQ(kWidth * (kHeight - BandBottom(23)), shot.Count(below, kWhiteBg)) << "below the band";
    EXPECT_GT(shot.Count({0, kMargin, kWidth, BandBottom(23)}, kFontColour), 0) << "the text in the skin";
    // A part uncovered away from the corner is painted as the whole was.
    const RECT part = {17, 9, 61, 47};
    InvalidateRect(panel.m_control.m_hWnd, &part, FALSE);
    panel.m_control.UpdateWindow();
    EXPECT_TRUE(shot == Canvas(panel.m_control, false)) << "a partial repaint changed pixels";

    const int left = GdiObjectsLeftBy(
        [&] {
            panel.m_control.Invalidate(TRUE);
            panel.m_control.UpdateWindow();
        },
        1000);
    EXPECT_EQ(0, left) << "GDI objects left by 1,000 paints";
}
