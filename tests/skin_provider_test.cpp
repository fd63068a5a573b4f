// The skin provider over the host's skin module, with a test skin that the
// program writes before the module reads any: colours, fonts and paintings
// with lookups off and on, name splitting, and the fonts' lifetime.
#include "skin/skin_provider.h"

#include "process_resources.h"
#include "skin_canvas.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kSongTiUtf8[] = "\xE5\xAE\x8B\xE4\xBD\x93"; // 宋体 as the skin file spells it
const std::string kLongGroup(39, 'G');
const std::string kLongKey(39, 'K');

// Each element's colour differs from its painting, so that a plain fill and
// the skin's painting tell each other apart.
struct TestElement {
    const char* name;
    COLORREF colour;
    COLORREF painting;
};
const TestElement kElements[] = {
    {"SkinDlgWithoutCapital_Client", RGB(0x11, 0x01, 0x01), RGB(0xA1, 0x01, 0x01)},
    {"SkinDlgWithoutCapital_Top", RGB(0x12, 0x02, 0x02), RGB(0xA2, 0x02, 0x02)},
    {"SkinDlgWithoutCapital_Left", RGB(0x13, 0x03, 0x03), RGB(0xA3, 0x03, 0x03)},
    {"SkinDlgWithoutCapital_Right", RGB(0x14, 0x04, 0x04), RGB(0xA4, 0x04, 0x04)},
    {"SkinDlgWithoutCapital_Bottom", RGB(0x15, 0x05, 0x05), RGB(0xA5, 0x05, 0x05)},
    {"SkinStaticSMS_WhiteBgSMS", RGB(0x16, 0x06, 0x06), RGB(0xA6, 0x06, 0x06)},
    {"SkinStaticSMS_MsgBgSMS", RGB(0x17, 0x07, 0x07), RGB(0xA7, 0x07, 0x07)},
};
const COLORREF kPanelFontColour = RGB(0x20, 0x40, 0xC0);
const COLORREF kBigFontColour = RGB(0x00, 0xAA, 0x00);
const COLORREF kLongNameColour = RGB(0x0A, 0x0B, 0x0C);

std::string Hex(COLORREF colour)
{
    char text[8];
    snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

std::string TestSkinText()
{
    std::string text;
    for (const TestElement& element : kElements) {
        std::string name = element.name;
        size_t underscore = name.find('_');
        text += "[element " + name.substr(0, underscore) + " " + name.substr(underscore + 1) + "]\n";
        text += "color = " + Hex(element.colour) + "\npaint = solid " + Hex(element.painting) + "\n";
    }
    text += std::string("[element SkinStaticSMS Font]\nfont = ") + kSongTiUtf8 + ", 16, 700, " + Hex(kPanelFontColour) +
            "\n";
    text += std::string("[element Fonts Big]\nfont = ") + kSongTiUtf8 + ", 24, 400, " + Hex(kBigFontColour) + "\n";
    text += "[element Fonts Shading]\npaint = vgradient #000000 #FFFFFF\n";
    text += "[element " + kLongGroup + " " + kLongKey + "]\ncolor = " + Hex(kLongNameColour) + "\n";
    return text;
}

// The skin module reads its file once, on its first call: the test skin is
// in place before any test runs.
class TestSkinEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        m_folder = new TempDir;
        std::string file = m_folder->Path() + "provider.skin";
        ASSERT_TRUE(WriteBytes(file, TestSkinText()));
        SetEnvironmentVariableA("SMSUTIL_SKIN_FILE", file.c_str());
    }
    void TearDown() override { delete m_folder; }

private:
    TempDir* m_folder = nullptr;
};
testing::Environment* const g_skinEnvironment = testing::AddGlobalTestEnvironment(new TestSkinEnvironment);

LONG OpenSkinGroups()
{
    auto count = reinterpret_cast<LONG(WINAPI*)()>(
        GetProcAddress(GetModuleHandleA("ixaskin.dll"), "SkinOpenGroupCount"));
    return count ? count() : -1;
}

LOGFONTA Describe(HGDIOBJ font)
{
    LOGFONTA description = {};
    GetObjectA(font, sizeof description, &description);
    return description;
}

class SkinProviderTest : public testing::Test {
protected:
    void SetUp() override { provider.SetUseSkin(1); }
    void TearDown() override
    {
        provider.SetUseSkin(1);
        EXPECT_EQ(0, OpenSkinGroups()) << "a group was left open";
    }
    CDC Wrap(HDC dc)
    {
        CDC wrapper;
        wrapper.m_hDC = dc;
        return wrapper;
    }
    CSkinProvider& provider = CSkinProvider::Instance();
};

} // namespace

TEST_F(SkinProviderTest, WithLookupsOffColoursAreBlackAndTheFontIsTheDefault)
{
    // A skin font first, so that the default must come back after it.
    provider.GetFont("Fonts_Big", nullptr);
    provider.SetUseSkin(0);
    for (const TestElement& element : kElements) EXPECT_EQ(0u, provider.GetColor(element.name)) << element.name;

    COLORREF colour = 0x00ABCDEF;
    LOGFONTA font = Describe(provider.GetFont("SkinStaticSMS_Font", &colour));
    EXPECT_EQ(12, font.lfHeight);
    EXPECT_EQ(400, font.lfWeight);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
    EXPECT_STREQ("宋体", font.lfFaceName);
    EXPECT_EQ(0x00ABCDEFu, colour) << "the colour is left alone";

    Canvas canvas(40, 20);
    CDC dc = Wrap(canvas.Dc());
    provider.PaintElement(&dc, {0, 0, 20, 20}, "SkinDlgWithoutCapital_Client", 1);
    provider.PaintElement(&dc, {20, 0, 40, 20}, "Nothing_AtAll", 0);
    EXPECT_EQ(800, canvas.Count({0, 0, 40, 20}, RGB(0, 0, 0))) << "both modes fill with black";
}

TEST_F(SkinProviderTest, EachElementsColourLandsInItsRectangle)
{
    Canvas canvas(20 * 7, 40);
    CDC dc = Wrap(canvas.Dc());
    int left = 0;
    for (const TestElement& element : kElements) {
        SCOPED_TRACE(element.name);
        EXPECT_EQ(element.colour, provider.GetColor(element.name));
        provider.PaintElement(&dc, {left, 0, left + 20, 20}, element.name, 1);
        provider.PaintElement(&dc, {left, 20, left + 20, 40}, element.name, 0);
        EXPECT_EQ(400, canvas.Count({left, 0, left + 20, 20}, element.painting)) << "the skin's painting";
        EXPECT_EQ(400, canvas.Count({left, 20, left + 20, 40}, element.colour)) << "a fill with the colour";
        left += 20;
    }
}

TEST_F(SkinProviderTest, WhatTheSkinDoesNotKnowFallsBack)
{
    EXPECT_EQ(0u, provider.GetColor("Nothing_AtAll")) << "an unknown group";
    EXPECT_EQ(0u, provider.GetColor("SkinStaticSMS_Nothing")) << "an unknown element";
    EXPECT_EQ(0u, provider.GetColor("SkinStaticSMS")) << "no underscore: an empty key";
    EXPECT_EQ(0u, provider.GetColor("SkinStaticSMS_")) << "an empty key";
    EXPECT_EQ(0u, provider.GetColor(nullptr));

    Canvas canvas(30, 10);
    CDC dc = Wrap(canvas.Dc());
    provider.PaintElement(&dc, {0, 0, 10, 10}, "Nothing_AtAll", 1);
    provider.PaintElement(&dc, {10, 0, 20, 10}, "SkinStaticSMS_Nothing", 1);
    EXPECT_EQ(200, canvas.Count({0, 0, 20, 10}, RGB(255, 255, 255))) << "mode 1 paints nothing it does not know";
    provider.PaintElement(&dc, {20, 0, 30, 10}, "Nothing_AtAll", 0);
    EXPECT_EQ(100, canvas.Count({20, 0, 30, 10}, RGB(0, 0, 0))) << "other modes fill with the fallback";

    HFONT current = provider.GetFont("SkinStaticSMS_Font", nullptr);
    COLORREF colour = 0x00ABCDEF;
    EXPECT_EQ(current, provider.GetFont("Nothing_AtAll", &colour)) << "an unknown font keeps the current one";
    EXPECT_EQ(current, provider.GetFont("SkinDlgWithoutCapital_Client", &colour)) << "an element without a font";
    EXPECT_EQ(0x00ABCDEFu, colour);
}

TEST_F(SkinProviderTest, LookupsUseAtMost39BytesOfGroupAndKey)
{
    EXPECT_EQ(kLongNameColour, provider.GetColor((kLongGroup + "_" + kLongKey).c_str()));
    EXPECT_EQ(kLongNameColour, provider.GetColor((kLongGroup + "XYZ_" + kLongKey + "QRS").c_str()))
        << "the parts beyond 39 bytes are not looked up";
    EXPECT_EQ(0u, provider.GetColor((kLongGroup.substr(1) + "_" + kLongKey).c_str()));
}

TEST(SkinProviderNameTest, SplitsAtTheFirstUnderscore)
{
    const struct {
        const char* name;
        const char* group;
        const char* key;
    } cases[] = {
        {"SkinStaticSMS_Font", "SkinStaticSMS", "Font"},
        {"Whole", "Whole", ""},
        {"Group_", "Group", ""},
        {"_Key", "", "Key"},
        {"A_B_C", "A", "B_C"},
        {"", "", ""},
        // 0x5F is an underscore only where it does not end a double-byte character.
        {"\x81\x5F" "A_B", "\x81\x5F" "A", "B"},
    };
    for (const auto& expected : cases) {
        CString group = "old", key = "old";
        EXPECT_EQ(0, CSkinProvider::SplitElementName(expected.name, group, key)) << expected.name;
        EXPECT_STREQ(expected.group, group) << expected.name;
        EXPECT_STREQ(expected.key, key) << expected.name;
    }
    CString group = "old", key = "old";
    EXPECT_EQ(-1, CSkinProvider::SplitElementName(nullptr, group, key));
    EXPECT_STREQ("", group);
    EXPECT_STREQ("", key);
}

TEST_F(SkinProviderTest, DrawSkinTextSetsTheElementsFontAndColour)
{
    Canvas canvas(120, 40);
    CDC dc = Wrap(canvas.Dc());
    SetBkMode(canvas.Dc(), TRANSPARENT);
    RECT rect = {0, 0, 120, 40};
    int height = provider.DrawSkinText(&dc, "WWWW", -1, &rect, DT_LEFT | DT_TOP | DT_SINGLELINE, nullptr,
                                       "SkinStaticSMS_Font");
    EXPECT_GT(height, 0);
    EXPECT_EQ(kPanelFontColour, GetTextColor(canvas.Dc())) << "the font's own colour";
    LOGFONTA font = Describe(GetCurrentObject(canvas.Dc(), OBJ_FONT));
    EXPECT_EQ(16, font.lfHeight);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_GT(canvas.Count(rect, RGB(255, 255, 255)), 0);
    EXPECT_LT(canvas.Count(rect, RGB(255, 255, 255)), 120 * 40) << "nothing was drawn";

    provider.DrawSkinText(&dc, "WWWW", -1, &rect, DT_LEFT, "SkinStaticSMS_MsgBgSMS", "Fonts_Big");
    EXPECT_EQ(RGB(0x17, 0x07, 0x07), GetTextColor(canvas.Dc())) << "the colour element wins";
    EXPECT_EQ(24, Describe(GetCurrentObject(canvas.Dc(), OBJ_FONT)).lfHeight);

    provider.DrawSkinText(&dc, "WWWW", -1, &rect, DT_LEFT, nullptr, "Nothing_AtAll");
    EXPECT_EQ(0u, GetTextColor(canvas.Dc())) << "a failed font lookup gives black";

    // Without a font name the device context keeps what it has.
    HFONT own = CreateFontA(30, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    SelectObject(canvas.Dc(), own);
    SetTextColor(canvas.Dc(), RGB(1, 2, 3));
    provider.DrawSkinText(&dc, "WWWW", -1, &rect, DT_LEFT, nullptr, nullptr);
    EXPECT_EQ(own, GetCurrentObject(canvas.Dc(), OBJ_FONT));
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(canvas.Dc()));

    // Lookups off: the default font, the colour untouched.
    provider.SetUseSkin(0);
    provider.DrawSkinText(&dc, "WWWW", -1, &rect, DT_LEFT, "SkinStaticSMS_MsgBgSMS", "SkinStaticSMS_Font");
    EXPECT_EQ(12, Describe(GetCurrentObject(canvas.Dc(), OBJ_FONT)).lfHeight);
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(canvas.Dc()));
    SelectObject(canvas.Dc(), GetStockObject(SYSTEM_FONT));
    DeleteObject(own);
}

TEST_F(SkinProviderTest, AFontStaysUsableUntilTheNextLookup)
{
    COLORREF colour = 0;
    HFONT panel = provider.GetFont("SkinStaticSMS_Font", &colour);
    EXPECT_EQ(kPanelFontColour, colour);
    EXPECT_EQ(16, Describe(panel).lfHeight);
    EXPECT_EQ(panel, provider.GetFont("SkinStaticSMS_Font", nullptr)) << "the same element keeps its font";

    // Drawn with, then replaced by the next lookup: the font is still a font.
    Canvas canvas(60, 30);
    HGDIOBJ previous = SelectObject(canvas.Dc(), panel);
    HFONT big = provider.GetFont("Fonts_Big", &colour);
    EXPECT_NE(panel, big);
    EXPECT_EQ(kBigFontColour, colour);
    EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(panel))) << "replaced while still selected";
    RECT rect = {0, 0, 60, 30};
    EXPECT_GT(DrawTextA(canvas.Dc(), "W", 1, &rect, DT_LEFT), 0);
    SelectObject(canvas.Dc(), previous);

    // Not selected anywhere: still a font until the next lookup.
    HFONT again = provider.GetFont("SkinStaticSMS_Font", nullptr);
    EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(big)));
    EXPECT_EQ(16, Describe(again).lfHeight);
    EXPECT_EQ(again, provider.GetFont("Nothing_AtAll", nullptr)) << "a failed lookup returns the current font";
}

TEST_F(SkinProviderTest, ThousandsOfLookupsAndPaintsLeaveNoGdiObjectBehind)
{
    Canvas canvas(40, 40);
    CDC dc = Wrap(canvas.Dc());
    // The provider keeps its current and its previous font.
    provider.GetFont("SkinStaticSMS_Font", nullptr);
    provider.GetFont("Fonts_Big", nullptr);
    const int objectsBefore = CountGdiObjects();
    for (int i = 0; i < 1000; ++i) {
        HFONT font = provider.GetFont(i % 2 ? "SkinStaticSMS_Font" : "Fonts_Big", nullptr);
        SelectObject(canvas.Dc(), font);
    }
    SelectObject(canvas.Dc(), GetStockObject(SYSTEM_FONT));
    const char* painted[] = {"SkinDlgWithoutCapital_Client", "Fonts_Shading", "Nothing_AtAll", "SkinStaticSMS_MsgBgSMS"};
    for (int i = 0; i < 1000; ++i) provider.PaintElement(&dc, {0, 0, 40, 40}, painted[i % 4], i % 3 ? 1 : 0);
    EXPECT_EQ(objectsBefore, CountGdiObjects());
}
