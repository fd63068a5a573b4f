// The host's skin module through its numbered exports, as the module uses it,
// loaded afresh for every case so that each reads the skin file the case wrote.
#include "skin/ixa_skin.h"

#include "pixel_snapshot.h"
#include "process_resources.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

const char kSkinFileVariable[] = "SMSUTIL_SKIN_FILE";
const char kSongTiUtf8[] = "\xE5\xAE\x8B\xE4\xBD\x93"; // 宋体 as the skin file spells it
const COLORREF kBuiltInClient = RGB(0xEC, 0xE9, 0xD8);
const COLORREF kDemoClient = RGB(0xDC, 0xE8, 0xF7);

// Every value differs from the built-in skin and from the demo skin, and each
// colour's red from its blue.
std::string TestSkinText()
{
    return std::string("# test skin\r\n"
                       "[element Panel Solid]\ncolor = #102030\npaint = solid #C01020\n"
                       "[element Panel Down]\npaint = vgradient #FF0000 #0000FF\n"
                       "[element Panel Across]\npaint = hgradient #00FF00 #FF00FF\n"
                       "[element Panel Picture]\npaint = bitmap picture.bmp\n"
                       "[element Panel Text]\nfont = ") +
           kSongTiUtf8 +
           ", 15, 700, #112233\n[style EditSMS]\ncolor = #203040\nbackground = "
           "#E0F0C0\n" +
           "border = #C02080\n[style StaticBold]\ncolor = #801020\nfont = " + kSongTiUtf8 +
           ", 13, 700\n[style DialogCLose]\ncolor = #FF0000\n[style "
           "ListBox]\ncolor = #302010\n"
           "background = #C0E0F0\n";
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    return static_cast<bool>(file << bytes);
}

// A 2 x 1 bitmap file: red, then blue.
std::string TwoPixelBitmap()
{
    BITMAPFILEHEADER file = {0x4D42, 62, 0, 0, 54};
    BITMAPINFOHEADER info = {sizeof info, 2, 1, 1, 24};
    return std::string(reinterpret_cast<const char*>(&file), sizeof file) +
           std::string(reinterpret_cast<const char*>(&info), sizeof info) + std::string("\0\0\xFF\xFF\0\0\0\0", 8);
}

// ixaskin.dll loaded with the skin file `skinFile` (none: the variable unset),
// unloaded at the end of the scope.
class SkinModule {
public:
    explicit SkinModule(const std::string& skinFile)
    {
        SetEnvironmentVariableA(kSkinFileVariable, skinFile.empty() ? nullptr : skinFile.c_str());
        m_module = LoadLibraryA("ixaskin.dll");
        Resolve(AttachWindow, 11);
        Resolve(OpenGroup, 16);
        Resolve(CloseGroup, 17);
        Resolve(GetFont, 24);
        Resolve(GetColor, 25);
        Resolve(PaintElement, 34);
        Resolve(EnableCloseButton, 36);
        Resolve(StaticControl, 51);
        Resolve(EditControl, 53);
    }
    ~SkinModule()
    {
        if (m_module) FreeLibrary(m_module);
        SetEnvironmentVariableA(kSkinFileVariable, nullptr);
    }
    SkinModule(const SkinModule&) = delete;
    SkinModule& operator=(const SkinModule&) = delete;

    bool Loaded() const
    {
        return m_module && AttachWindow && OpenGroup && CloseGroup && GetFont && GetColor && PaintElement &&
               EnableCloseButton && StaticControl && EditControl;
    }
    // The colour of group_key, or `absent` when the skin has none.
    COLORREF Colour(const char* group, const char* key, COLORREF absent = 0xFFFFFFFF)
    {
        HSKINGROUP handle = OpenGroup(group);
        COLORREF colour = absent;
        if (handle && !GetColor(handle, key, &colour)) colour = absent;
        if (handle) CloseGroup(handle);
        return colour;
    }
    BOOL Paint(const char* group, const char* key, const Canvas& canvas, const RECT& rect)
    {
        HSKINGROUP handle = OpenGroup(group);
        if (!handle) return FALSE;
        BOOL painted = PaintElement(handle, key, canvas.Dc(), &rect);
        CloseGroup(handle);
        return painted;
    }

    decltype(&::SkinAttachWindow) AttachWindow = nullptr;
    decltype(&::SkinOpenGroup) OpenGroup = nullptr;
    decltype(&::SkinCloseGroup) CloseGroup = nullptr;
    decltype(&::SkinGetFont) GetFont = nullptr;
    decltype(&::SkinGetColor) GetColor = nullptr;
    decltype(&::SkinPaintElement) PaintElement = nullptr;
    decltype(&::SkinEnableCloseButton) EnableCloseButton = nullptr;
    decltype(&::SkinStaticControl) StaticControl = nullptr;
    decltype(&::SkinEditControl) EditControl = nullptr;

private:
    template <typename Function> void Resolve(Function& function, int ordinal)
    {
        if (m_module) function = reinterpret_cast<Function>(GetProcAddress(m_module, MAKEINTRESOURCEA(ordinal)));
    }
    HMODULE m_module = nullptr;
};

// The module loaded with the test skin and its bitmap for the whole case.
class IxaSkinTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_ok && skin.Loaded()); }
    TempDir m_folder;
    bool m_ok = WriteBytes(m_folder.Path() + "picture.bmp", TwoPixelBitmap()) &&
                WriteBytes(m_folder.Path() + "test.skin", TestSkinText());
    SkinModule skin{m_folder.Path() + "test.skin"};
};

// A shown top-level window with a close box, that children are put in.
struct Host {
    HWND window = CreateWindowA("STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 200, 150,
                                nullptr, nullptr, nullptr, nullptr);
    ~Host() { DestroyWindow(window); }
    HWND Child(const char* className, DWORD style, const char* text = "")
    {
        return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 10, 10, 120, 80, window, nullptr,
                               nullptr, nullptr);
    }
};

// The colour at (x, y) of what the window shows, its frame included.
COLORREF ShownPixel(HWND window, int x, int y)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW);
    return Canvas(window, true).At(x, y);
}

// What the parent answers to WM_CTLCOLOR*: the brush, and the text colour it
// set on the control's device context.
HGDIOBJ CtlColor(HWND parent, UINT message, HWND control, COLORREF* text)
{
    HDC dc = GetDC(control);
    auto brush = reinterpret_cast<HGDIOBJ>(
        SendMessageA(parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    *text = GetTextColor(dc);
    ReleaseDC(control, dc);
    return brush;
}

} // namespace

// The skin shipped with the host has every element and style the module uses,
// and the operations are there by number only.
TEST(IxaSkinFileTest, TheDemoSkinNextToTheModuleHasEveryNamedElement)
{
    SkinModule skin("");
    ASSERT_TRUE(skin.Loaded());
    for (const char* name : {"SkinOpenGroup", "SkinGetColor", "SkinPaintElement", "SkinEditControl"})
        EXPECT_EQ(nullptr, GetProcAddress(GetModuleHandleA("ixaskin.dll"), name)) << name << " is exported by name";
    EXPECT_EQ(kDemoClient, skin.Colour("SkinDlgWithoutCapital", "Client")) << "the demo skin file was not read";
    const std::pair<const char*, const char*> elements[] = {
        {"SkinDlgWithoutCapital", "Client"}, {"SkinDlgWithoutCapital", "Top"},    {"SkinDlgWithoutCapital", "Left"},
        {"SkinDlgWithoutCapital", "Right"},  {"SkinDlgWithoutCapital", "Bottom"}, {"SkinStaticSMS", "WhiteBgSMS"},
        {"SkinStaticSMS", "MsgBgSMS"}};
    for (const auto& element : elements) {
        Canvas canvas(8, 8, RGB(1, 2, 3));
        EXPECT_TRUE(skin.Paint(element.first, element.second, canvas, {0, 0, 8, 8})) << element.second;
        EXPECT_EQ(0, canvas.Count({0, 0, 8, 8}, RGB(1, 2, 3))) << element.second << " left pixels unpainted";
    }
    HSKINGROUP panel = skin.OpenGroup("SkinStaticSMS");
    LOGFONTA font = {};
    COLORREF colour = 0;
    EXPECT_TRUE(skin.GetFont(panel, "Font", &font, &colour));
    EXPECT_STREQ("宋体", font.lfFaceName);
    EXPECT_EQ(RGB(0x7A, 0x33, 0x00), colour);
    skin.CloseGroup(panel);

    Host host;
    HWND edit = host.Child("EDIT", 0);
    EXPECT_TRUE(skin.StaticControl(host.Child("STATIC", 0), "StaticBold"));
    EXPECT_TRUE(skin.EditControl(edit, "EditSMS"));
    EXPECT_TRUE(skin.AttachWindow(host.Child("LISTBOX", 0), 3));
    EXPECT_TRUE(skin.EnableCloseButton(host.window, "DialogCLose", 1));
}

// A missing or bad file gives the built-in skin as a whole: what the good
// lines of a bad file said is not shown.
TEST(IxaSkinFileTest, MissingOrMalformedFilesGiveTheBuiltInSkin)
{
    const std::string good = "[element Good Part]\ncolor = #010203\n";
    std::string junk;
    for (int i = 0; i < 600; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
    const std::pair<const char*, std::string> cases[] = {
        {"no file", ""},
        {"a line without '='", good + "color #102030\n"},
        {"an unknown painting", good + "[element Good Other]\npaint = sparkle #102030\n"},
        {"a huge font height", good + "[element Good Other]\nfont = Arial, 100000, 400\n"},
        {"binary junk", good + junk},
        {"a NUL byte", good + "[element Good Other]" + std::string(1, '\0') + "color = #102030\n"},
        {"text that is not UTF-8", good + "[element Good Other]\nfont = \xCB\xCE\xCC\xE5, 12, 400\n"},
        {"a style property on an element", good + "[element Good Other]\nborder = #102030\n"},
        {"a repeated element", good + good},
        {"a bitmap outside the skin's folder", good + "[element Good Other]\npaint = bitmap ..\\picture.bmp\n"},
        {"a bitmap that is no bitmap", good + "[element Good Other]\npaint = bitmap good.skin\n"},
        {"a file too large", good + std::string(72 * 1024, '\n')},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.first);
        TempDir folder;
        if (!bad.second.empty()) {
            ASSERT_TRUE(WriteBytes(folder.Path() + "good.skin", bad.second));
        }
        SkinModule skin(folder.Path() + "good.skin");
        ASSERT_TRUE(skin.Loaded());
        EXPECT_EQ(nullptr, skin.OpenGroup("Good")) << "the good part of a bad file was kept";
        EXPECT_EQ(kBuiltInClient, skin.Colour("SkinDlgWithoutCapital", "Client"));
        EXPECT_NE(0xFFFFFFFFu, skin.Colour("SkinStaticSMS", "MsgBgSMS"));
    }
    // The same good part alone is read, so the cases above fail for their bad
    // line.
    TempDir folder;
    ASSERT_TRUE(WriteBytes(folder.Path() + "good.skin", good));
    EXPECT_EQ(RGB(1, 2, 3), SkinModule(folder.Path() + "good.skin").Colour("Good", "Part"));
}

TEST_F(IxaSkinTest, ColoursFontsAndPaintingsAsTheFileGivesThem)
{
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), skin.Colour("Panel", "Solid"));
    EXPECT_EQ(0xFFFFFFFFu, skin.Colour("Panel", "Down")) << "a painting without a colour";
    EXPECT_EQ(0xFFFFFFFFu, skin.Colour("Panel", "Nothing"));
    EXPECT_EQ(nullptr, skin.OpenGroup("panel")) << "group names are matched exactly";

    HSKINGROUP panel = skin.OpenGroup("Panel");
    LOGFONTA font = {};
    COLORREF colour = 0;
    ASSERT_TRUE(skin.GetFont(panel, "Text", &font, &colour));
    EXPECT_STREQ("宋体", font.lfFaceName);
    EXPECT_EQ(15, font.lfHeight);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(RGB(0x11, 0x22, 0x33), colour);
    EXPECT_FALSE(skin.GetFont(panel, "Solid", &font, &colour)) << "an element without a font";
    skin.CloseGroup(panel);

    Canvas canvas(60, 40, RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Solid", canvas, {10, 10, 20, 20}));
    EXPECT_EQ(100, canvas.Count({10, 10, 20, 20}, RGB(0xC0, 0x10, 0x20))) << "solid fill inside its rectangle";
    EXPECT_EQ(100 * 24 - 100, canvas.Count(canvas.All(), RGB(1, 2, 3))) << "painted outside its rectangle";
    EXPECT_FALSE(skin.Paint("Panel", "Nothing", canvas, {0, 0, 10, 10}));

    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Down", canvas, {0, 0, 10, 21}));
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(5, 0)) << "top row";
    EXPECT_EQ(RGB(128, 0, 128), canvas.At(5, 10)) << "middle row";
    EXPECT_EQ(RGB(0, 0, 255), canvas.At(5, 20)) << "bottom row";
    EXPECT_EQ(RGB(1, 2, 3), canvas.At(5, 21));

    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Across", canvas, {10, 5, 51, 15}));
    EXPECT_EQ(RGB(0, 255, 0), canvas.At(10, 8)) << "left column";
    EXPECT_EQ(RGB(128, 128, 128), canvas.At(30, 8)) << "middle column";
    EXPECT_EQ(RGB(255, 0, 255), canvas.At(50, 8)) << "right column";

    // The 2 x 1 bitmap stretched over 40 x 20: red left half, blue right half.
    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Picture", canvas, {10, 10, 50, 30}));
    EXPECT_EQ(400, canvas.Count({10, 10, 30, 30}, RGB(255, 0, 0)));
    EXPECT_EQ(400, canvas.Count({30, 10, 50, 30}, RGB(0, 0, 255)));

    // A gradient far taller than what shows still starts its blend at the top.
    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Down", canvas, {0, 0, 60, 2000000001}));
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(3, 39));
}

// The styles' fonts and colours, on screen and in the parent's answers; what
// they made goes with their windows.
TEST_F(IxaSkinTest, StyledControlsShowTheSkinAndFreeItWithTheirWindows)
{
    Host host;
    HWND label = host.Child("STATIC", SS_LEFT, "label");
    EXPECT_FALSE(skin.StaticControl(label, "StaticBolder")) << "an unknown style";
    ASSERT_TRUE(skin.StaticControl(label, "StaticBold"));
    auto font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    LOGFONTA description = {};
    GetObjectA(font, sizeof description, &description);
    EXPECT_EQ(13, description.lfHeight);
    EXPECT_EQ(700, description.lfWeight);
    COLORREF text = 0;
    CtlColor(host.window, WM_CTLCOLORSTATIC, label, &text);
    EXPECT_EQ(RGB(0x80, 0x10, 0x20), text) << "the style's text colour";
    DestroyWindow(label);
    EXPECT_EQ(0u, GetObjectType(font)) << "the font outlived its window";

    HWND edit = host.Child("EDIT", WS_BORDER | ES_MULTILINE);
    EXPECT_EQ(RGB(255, 255, 255), ShownPixel(edit, 60, 60)) << "unskinned edit";
    ASSERT_TRUE(skin.EditControl(edit, "EditSMS"));
    EXPECT_EQ(RGB(0xE0, 0xF0, 0xC0), ShownPixel(edit, 60, 60)) << "client area";
    EXPECT_EQ(RGB(0xC0, 0x20, 0x80), ShownPixel(edit, 0, 40)) << "left border";
    HGDIOBJ brush = CtlColor(host.window, WM_CTLCOLOREDIT, edit, &text);
    EXPECT_EQ(RGB(0x20, 0x30, 0x40), text);
    DestroyWindow(edit);
    EXPECT_EQ(0u, GetObjectType(brush)) << "the background brush outlived its window";

    HWND list = host.Child("LISTBOX", LBS_NOINTEGRALHEIGHT);
    EXPECT_FALSE(skin.AttachWindow(list, 2)) << "a kind the skin does not style";
    ASSERT_TRUE(skin.AttachWindow(list, 3));
    EXPECT_EQ(RGB(0xC0, 0xE0, 0xF0), ShownPixel(list, 60, 70));
    CtlColor(host.window, WM_CTLCOLORLISTBOX, list, &text);
    EXPECT_EQ(RGB(0x30, 0x20, 0x10), text);

    const int left = GdiObjectsLeftBy(
        [&] {
            Host other;
            skin.StaticControl(other.Child("STATIC", SS_LEFT, "label"), "StaticBold");
            HWND field = other.Child("EDIT", WS_BORDER);
            skin.EditControl(field, "EditSMS");
            skin.EditControl(field, "EditSMS");
            skin.AttachWindow(other.Child("LISTBOX", 0), 3);
            ShownPixel(other.window, 1, 1);
            DestroyWindow(field);
        },
        20);
    EXPECT_EQ(0, left) << "GDI objects left by skinning controls again and again";
}

TEST_F(IxaSkinTest, CloseButtonIsGreyedAndEnabledInTheSystemMenu)
{
    Host host;
    HWND window = host.window;
    auto greyed = [&] { return GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED; };
    EXPECT_TRUE(skin.EnableCloseButton(window, "DialogCLose", 0));
    EXPECT_TRUE(greyed());
    EXPECT_FALSE(skin.EnableCloseButton(window, "DialogClose", 1)) << "an element the skin does not have";
    EXPECT_TRUE(greyed());
    EXPECT_TRUE(skin.EnableCloseButton(window, "DialogCLose", 1));
    EXPECT_FALSE(greyed());
}
