// The skin provider over the host's skin module, with a test skin that the
// program writes before the module reads any: colours, fonts and paintings
// with lookups off and on, name splitting, and the fonts' lifetime.
#include "skin/skin_provider.h"

#include "pixel_snapshot.h"
#include "process_resources.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

const std::string kLongGroup(39, 'G');
const std::string kLongKey(39, 'K');

// Each element's colour differs from its painting, and its red from its blue.
struct TestElement {
    const char* name;
    COLORREF colour;
    COLORREF painting;
};
const TestElement kElements[] = {
    {"SkinDlgWithoutCapital_Client", RGB(0x11, 1, 1), RGB(0xA1, 1, 1)},
    {"SkinDlgWithoutCapital_Bottom", RGB(0x15, 5, 5), RGB(0xA5, 5, 5)},
    {"SkinStaticSMS_MsgBgSMS", RGB(0x17, 7, 7), RGB(0xA7, 7, 7)},
};
const COLORREF kPanelFontColour = RGB(0x20, 0x40, 0xC0);
const COLORREF kBigFontColour = RGB(0x00, 0xAA, 0x00);

std::string Hex(COLORREF colour) { return "#" + ColourText(colour).substr(1); }

// The skin module reads its file once, on its first call: the test skin is
// in place before any test runs.
class TestSkinEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        const std::string songTi = "\xE5\xAE\x8B\xE4\xBD\x93"; // 宋体 as the skin file spells it
        std::string text;
        for (const TestElement& element : kElements) {
            std::string name = element.name;
            text += "[element " + name.replace(name.find('_'), 1, " ") + "]\ncolor = " + Hex(element.colour) +
                    "\npaint = solid " + Hex(element.painting) + "\n";
        }
        text += "[element SkinStaticSMS Font]\nfont = " + songTi + ", 16, 700, " + Hex(kPanelFontColour);
        text += "\n[element Fonts Big]\nfont = " + songTi + ", 24, 400, " + Hex(kBigFontColour);
        text += "\n[element " + kLongGroup + " " + kLongKey + "]\ncolor = #0A0B0C\n";
        const std::string file = m_folder.Path() + "provider.skin";
        ASSERT_TRUE(static_cast<bool>(std::ofstream(file, std::ios::binary) << text));
        SetEnvironmentVariableA("SMSUTIL_SKIN_FILE", file.c_str());
    }

private:
    TempDir m_folder;
};
testing::Environment* const g_skinEnvironment = testing::AddGlobalTestEnvironment(new TestSkinEnvironment);

class SkinProviderTest : public testing::Test {
protected:
    void SetUp() override
    {
        provider.SetUseSkin(1);
        dc.m_hDC = canvas.Dc();
    }
    void TearDown() override
    {
        provider.SetUseSkin(1);
        auto count =
            reinterpret_cast<LONG(WINAPI*)()>(GetProcAddress(GetModuleHandleA("ixaskin.dll"), "SkinOpenGroupCount"));
        EXPECT_EQ(0, count ? count() : -1) << "a group was left open";
    }
    CSkinProvider& provider = CSkinProvider::Instance();
    Canvas canvas{20 * 4, 40};
    CDC dc;
};

} // namespace

TEST_F(SkinProviderTest, WithLookupsOffColoursAreBlackAndTheFontIsTheDefault)
{
    // A skin font first, so that the default must come back after it.
    provider.GetFont("Fonts_Big", nullptr);
    provider.SetUseSkin(0);
    EXPECT_EQ(0u, provider.GetColor(kElements[0].name));
    COLORREF colour = 0x00ABCDEF;
    LOGFONTA font = {};
    GetObjectA(provider.GetFont("SkinStaticSMS_Font", &colour), sizeof font, &font);
    EXPECT_EQ(12, font.lfHeight);
    EXPECT_EQ(400, font.lfWeight);
    EXPECT_STREQ("宋体", font.lfFaceName);
    EXPECT_EQ(0x00ABCDEFu, colour) << "the colour is left alone";
    provider.PaintElement(&dc, {0, 0, 20, 20}, kElements[0].name, 1);
    EXPECT_EQ(400, canvas.Count({0, 0, 20, 20}, RGB(0, 0, 0))) << "the skin's painting is a black fill";
}

// Mode 1 paints the skin's painting, other modes fill with the colour; what
// the skin does not know gives black, or nothing in mode 1.
TEST_F(SkinProviderTest, EachElementsColourAndPaintingLandInItsRectangle)
{
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
    for (const char* unknown : {"Nothing_AtAll", "SkinStaticSMS_Nothing", "SkinStaticSMS", "SkinStaticSMS_"})
        EXPECT_EQ(0u, provider.GetColor(unknown)) << unknown;
    provider.PaintElement(&dc, {left, 0, left + 20, 20}, "SkinStaticSMS_Nothing", 1);
    provider.PaintElement(&dc, {left, 20, left + 20, 40}, "Nothing_AtAll", 0);
    EXPECT_EQ(400, canvas.Count({left, 0, left + 20, 20}, RGB(255, 255, 255))) << "mode 1 paints nothing unknown";
    EXPECT_EQ(400, canvas.Count({left, 20, left + 20, 40}, RGB(0, 0, 0))) << "other modes fill with the fallback";

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
TEST_F(SkinProviderTest, AFontStaysUsableUntilTheNextLookupAndNoneIsLeftBehind)
{
    COLORREF colour = 0;
    HFONT panel = provider.GetFont("SkinStaticSMS_Font", &colour);
    EXPECT_EQ(kPanelFontColour, colour);
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
            provider.PaintElement(&dc, {0, 0, 9, 9}, kElements[i % 3].name, i % 2);
            ++i;
        },
        1000);
    EXPECT_EQ(0, left) << "GDI objects left by 1,000 lookups and paints";
}
