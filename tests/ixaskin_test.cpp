// The host's skin module through its numbered exports, loaded afresh for
// every case so that each reads the skin file the case wrote.
#include "skin/ixa_skin.h"

#include "process_resources.h"
#include "skin_canvas.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kSkinFileVariable[] = "SMSUTIL_SKIN_FILE";
const char kSongTiUtf8[] = "\xE5\xAE\x8B\xE4\xBD\x93"; // 宋体 as the skin file spells it

// What a skin file of the tests holds; each value differs from the built-in
// skin and from the demo skin.
std::string TestSkinText()
{
    return std::string("# test skin\r\n"
                       "[element Panel Solid]\n"
                       "color = #102030\n"
                       "paint = solid #C01020\n"
                       "[element Panel Down]\n"
                       "paint = vgradient #FF0000 #0000FF\n"
                       "[element Panel Across]\n"
                       "paint = hgradient #00FF00 #FF00FF\n"
                       "[element Panel Picture]\n"
                       "paint = bitmap picture.bmp\n"
                       "[element Panel Plain]\n"
                       "color = #405060\n"
                       "[element Panel Text]\n"
                       "font = ") +
           kSongTiUtf8 +
           ", 15, 700, #112233\n"
           "[style EditSMS]\n"
           "color = #203040\n"
           "background = #E0F0C0\n"
           "border = #C02080\n"
           "[style StaticBold]\n"
           "color = #801020\n"
           "font = " +
           kSongTiUtf8 +
           ", 13, 700\n"
           "[style DialogCLose]\n"
           "color = #FF0000\n"
           "[style ListBox]\n"
           "color = #302010\n"
           "background = #C0E0F0\n";
}

// The built-in skin's client colour, and the demo skin's.
const COLORREF kBuiltInClient = RGB(0xEC, 0xE9, 0xD8);
const COLORREF kDemoClient = RGB(0xDC, 0xE8, 0xF7);

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
        OpenGroupCount = reinterpret_cast<LONG(WINAPI*)()>(GetProcAddress(m_module, "SkinOpenGroupCount"));
        RefusedCallCount = reinterpret_cast<LONG(WINAPI*)()>(GetProcAddress(m_module, "SkinRefusedCallCount"));
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
               EnableCloseButton && StaticControl && EditControl && OpenGroupCount && RefusedCallCount;
    }

    // The colour of group_key, or `absent` when the skin has none.
    COLORREF Colour(const char* group, const char* key, COLORREF absent = 0xFFFFFFFF)
    {
        HSKINGROUP handle = OpenGroup(group);
        if (!handle) return absent;
        COLORREF colour = absent;
        if (!GetColor(handle, key, &colour)) colour = absent;
        CloseGroup(handle);
        return colour;
    }

    BOOL Paint(const char* group, const char* key, HDC dc, const RECT& rect)
    {
        HSKINGROUP handle = OpenGroup(group);
        if (!handle) return FALSE;
        BOOL painted = PaintElement(handle, key, dc, &rect);
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
    LONG(WINAPI* OpenGroupCount)() = nullptr;
    LONG(WINAPI* RefusedCallCount)() = nullptr;

private:
    template <typename Function> void Resolve(Function& function, int ordinal)
    {
        if (m_module) function = reinterpret_cast<Function>(GetProcAddress(m_module, MAKEINTRESOURCEA(ordinal)));
    }
    HMODULE m_module = nullptr;
};

// A test skin with its bitmap (left half red, right half blue) in a folder
// of its own.
class TestSkinFiles {
public:
    TestSkinFiles()
    {
        m_ok = WriteBitmapFile(m_folder.Path() + "picture.bmp", {{RGB(255, 0, 0), RGB(0, 0, 255)}}) &&
               WriteBytes(File(), TestSkinText());
    }
    std::string File() const { return m_folder.Path() + "test.skin"; }
    std::string Folder() const { return m_folder.Path(); }
    bool Ok() const { return m_ok; }

private:
    TempDir m_folder;
    bool m_ok = false;
};

// The module loaded with the test skin for the whole case.
class IxaSkinTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_files.Ok() && skin.Loaded()); }
    TestSkinFiles m_files;
    SkinModule skin{m_files.File()};
};

} // namespace

TEST(IxaSkinExportsTest, TheOperationsAreThereByNumberOnly)
{
    SkinModule skin("");
    ASSERT_TRUE(skin.Loaded());
    HMODULE module = GetModuleHandleA("ixaskin.dll");
    for (const char* name : {"SkinAttachWindow", "SkinOpenGroup", "SkinCloseGroup", "SkinGetFont", "SkinGetColor",
                             "SkinPaintElement", "SkinEnableCloseButton", "SkinStaticControl", "SkinEditControl"})
        EXPECT_EQ(nullptr, GetProcAddress(module, name)) << name << " is exported by name";
}

// The skin shipped with the host has every element and style the module uses.
TEST(IxaSkinFileTest, TheDemoSkinNextToTheModuleHasEveryNamedElement)
{
    SkinModule skin("");
    ASSERT_TRUE(skin.Loaded());
    EXPECT_EQ(kDemoClient, skin.Colour("SkinDlgWithoutCapital", "Client")) << "the demo skin file was not read";
    for (const char* key : {"Client", "Top", "Left", "Right", "Bottom"}) {
        Canvas canvas(8, 8, RGB(1, 2, 3));
        EXPECT_TRUE(skin.Paint("SkinDlgWithoutCapital", key, canvas.Dc(), {0, 0, 8, 8})) << key;
        EXPECT_EQ(0, canvas.Count({0, 0, 8, 8}, RGB(1, 2, 3))) << key << " left pixels unpainted";
    }
    for (const char* key : {"WhiteBgSMS", "MsgBgSMS"}) {
        Canvas canvas(8, 8, RGB(1, 2, 3));
        EXPECT_TRUE(skin.Paint("SkinStaticSMS", key, canvas.Dc(), {0, 0, 8, 8})) << key;
    }
    HSKINGROUP panel = skin.OpenGroup("SkinStaticSMS");
    ASSERT_NE(nullptr, panel);
    LOGFONTA font = {};
    COLORREF colour = 0;
    EXPECT_TRUE(skin.GetFont(panel, "Font", &font, &colour));
    EXPECT_STREQ("宋体", font.lfFaceName);
    EXPECT_EQ(RGB(0x7A, 0x33, 0x00), colour);
    skin.CloseGroup(panel);

    HWND window = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowA("EDIT", "", WS_CHILD, 0, 0, 50, 20, window, nullptr, nullptr, nullptr);
    EXPECT_TRUE(skin.StaticControl(window, "StaticBold"));
    EXPECT_TRUE(skin.EditControl(edit, "EditSMS"));
    EXPECT_TRUE(skin.EnableCloseButton(window, "DialogCLose", 1));
    EXPECT_TRUE(skin.AttachWindow(edit, 3));
    DestroyWindow(window);
}

TEST(IxaSkinFileTest, MissingFileGivesTheBuiltInSkin)
{
    TempDir folder;
    SkinModule skin(folder.Path() + "absent.skin");
    ASSERT_TRUE(skin.Loaded());
    EXPECT_EQ(kBuiltInClient, skin.Colour("SkinDlgWithoutCapital", "Client"));
    for (const char* key : {"Top", "Left", "Right", "Bottom"})
        EXPECT_NE(0xFFFFFFFFu, skin.Colour("SkinDlgWithoutCapital", key)) << key;
    for (const char* key : {"WhiteBgSMS", "MsgBgSMS", "Font"})
        EXPECT_NE(0xFFFFFFFFu, skin.Colour("SkinStaticSMS", key)) << key;
}

// A bad file is refused as a whole: what its good lines said is not shown.
TEST(IxaSkinFileTest, MalformedFilesFallBackToTheBuiltInSkinAsAWhole)
{
    const std::string good = "[element Good Part]\ncolor = #010203\n";
    std::string junk;
    for (int i = 0; i < 600; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"a line without '='", good + "color #102030\n"},
        {"an unknown painting", good + "[element Good Other]\npaint = sparkle #102030\n"},
        {"a colour with a bad digit", good + "[element Good Other]\ncolor = #10203G\n"},
        {"a short colour", good + "[element Good Other]\ncolor = #1020\n"},
        {"a huge font height", good + "[element Good Other]\nfont = Arial, 100000, 400\n"},
        {"a huge font weight", good + "[element Good Other]\nfont = Arial, 12, 99999999999999\n"},
        {"a font without a weight", good + "[element Good Other]\nfont = Arial, 12\n"},
        {"binary junk", good + junk},
        {"a NUL byte", good + "[element Good Other]" + std::string(1, '\0') + "color = #102030\n"},
        {"text that is not UTF-8", good + "[element Good Other]\nfont = \xCB\xCE\xCC\xE5, 12, 400\n"},
        {"an unknown property", good + "[element Good Other]\nshadow = #102030\n"},
        {"a style property on an element", good + "[element Good Other]\nborder = #102030\n"},
        {"an unknown section", good + "[window Good]\n"},
        {"a property before any section", "color = #102030\n" + good},
        {"a repeated element", good + good},
        {"a bitmap that is not there", good + "[element Good Other]\npaint = bitmap missing.bmp\n"},
        {"a bitmap outside the skin's folder", good + "[element Good Other]\npaint = bitmap ..\\picture.bmp\n"},
        {"a bitmap that is no bitmap", good + "[element Good Other]\npaint = bitmap test.skin.bmp\n"},
        {"an over-long line", good + "# " + std::string(300, 'x') + "\n"},
        {"a file too large", good + [] {
             std::string comments;
             for (int i = 0; i < 36 * 1024; ++i) comments += "#\n";
             return comments;
         }()},
        {"a name too long", good + "[element " + std::string(64, 'G') + " Key]\n"},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.what);
        TempDir folder;
        ASSERT_TRUE(WriteBytes(folder.Path() + "test.skin.bmp", "not a bitmap at all"));
        ASSERT_TRUE(WriteBytes(folder.Path() + "bad.skin", bad.text));
        SkinModule skin(folder.Path() + "bad.skin");
        ASSERT_TRUE(skin.Loaded());
        EXPECT_EQ(nullptr, skin.OpenGroup("Good")) << "the good part of a bad file was kept";
        EXPECT_EQ(kBuiltInClient, skin.Colour("SkinDlgWithoutCapital", "Client"));
    }
    // The same good part alone is read, so the cases above fail for their bad line.
    TempDir folder;
    ASSERT_TRUE(WriteBytes(folder.Path() + "good.skin", good));
    SkinModule skin(folder.Path() + "good.skin");
    EXPECT_EQ(RGB(1, 2, 3), skin.Colour("Good", "Part"));
}

TEST_F(IxaSkinTest, AbsentGroupsAndElementsLeaveTheOutsAlone)
{
    EXPECT_EQ(nullptr, skin.OpenGroup("Nothing"));
    EXPECT_EQ(nullptr, skin.OpenGroup("panel")) << "group names are matched exactly";
    EXPECT_EQ(nullptr, skin.OpenGroup(""));
    EXPECT_EQ(0, skin.OpenGroupCount());

    HSKINGROUP panel = skin.OpenGroup("Panel");
    ASSERT_NE(nullptr, panel);
    COLORREF colour = 0x00ABCDEF;
    EXPECT_FALSE(skin.GetColor(panel, "Nothing", &colour));
    EXPECT_EQ(0x00ABCDEFu, colour);
    // An element with a painting and no colour has no colour to give.
    EXPECT_FALSE(skin.GetColor(panel, "Down", &colour));
    EXPECT_EQ(0x00ABCDEFu, colour);

    LOGFONTA font;
    memset(&font, 0x5A, sizeof font);
    EXPECT_FALSE(skin.GetFont(panel, "Solid", &font, &colour)) << "an element without a font";
    EXPECT_FALSE(skin.GetFont(panel, "Nothing", &font, &colour));
    EXPECT_EQ(0x5A5A5A5A, font.lfHeight);
    EXPECT_EQ(0x00ABCDEFu, colour);

    Canvas canvas(10, 10, RGB(1, 2, 3));
    RECT all = {0, 0, 10, 10};
    EXPECT_FALSE(skin.PaintElement(panel, "Nothing", canvas.Dc(), &all));
    EXPECT_EQ(100, canvas.Count({0, 0, 10, 10}, RGB(1, 2, 3)));
    skin.CloseGroup(panel);
}

TEST_F(IxaSkinTest, ColoursAndFontsAsTheFileGivesThem)
{
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), skin.Colour("Panel", "Solid"));
    EXPECT_EQ(RGB(0x40, 0x50, 0x60), skin.Colour("Panel", "Plain"));

    HSKINGROUP panel = skin.OpenGroup("Panel");
    ASSERT_NE(nullptr, panel);
    LOGFONTA font = {};
    COLORREF colour = 0;
    ASSERT_TRUE(skin.GetFont(panel, "Text", &font, &colour));
    EXPECT_STREQ("宋体", font.lfFaceName);
    EXPECT_EQ(15, font.lfHeight);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(RGB(0x11, 0x22, 0x33), colour);
    HFONT made = CreateFontIndirectA(&font);
    EXPECT_NE(nullptr, made) << "the description makes a font";
    DeleteObject(made);
    skin.CloseGroup(panel);
}

TEST_F(IxaSkinTest, PaintingsReadBackAsPixels)
{
    Canvas canvas(60, 40, RGB(1, 2, 3));

    ASSERT_TRUE(skin.Paint("Panel", "Solid", canvas.Dc(), {10, 10, 20, 20}));
    EXPECT_EQ(100, canvas.Count({10, 10, 20, 20}, RGB(0xC0, 0x10, 0x20))) << "solid fill inside its rectangle";
    EXPECT_EQ(RGB(1, 2, 3), canvas.At(9, 10)) << "painted outside its rectangle";
    EXPECT_EQ(RGB(1, 2, 3), canvas.At(20, 19)) << "painted outside its rectangle";

    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Down", canvas.Dc(), {0, 0, 10, 21}));
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(5, 0)) << "top row";
    EXPECT_EQ(RGB(0, 0, 255), canvas.At(5, 20)) << "bottom row";
    EXPECT_EQ(RGB(128, 0, 128), canvas.At(5, 10)) << "middle row";
    EXPECT_EQ(canvas.At(0, 7), canvas.At(9, 7)) << "a vertical gradient is even across";
    EXPECT_EQ(RGB(1, 2, 3), canvas.At(5, 21));

    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Across", canvas.Dc(), {10, 5, 51, 15}));
    EXPECT_EQ(RGB(0, 255, 0), canvas.At(10, 8)) << "left column";
    EXPECT_EQ(RGB(255, 0, 255), canvas.At(50, 8)) << "right column";
    EXPECT_EQ(RGB(128, 128, 128), canvas.At(30, 8)) << "middle column";
    EXPECT_EQ(canvas.At(20, 5), canvas.At(20, 14)) << "a horizontal gradient is even down";

    // The 2 x 1 bitmap stretched over 40 x 20: red left half, blue right half.
    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Picture", canvas.Dc(), {10, 10, 50, 30}));
    EXPECT_EQ(400, canvas.Count({10, 10, 30, 30}, RGB(255, 0, 0)));
    EXPECT_EQ(400, canvas.Count({30, 10, 50, 30}, RGB(0, 0, 255)));
    EXPECT_EQ(RGB(1, 2, 3), canvas.At(50, 20));

    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Plain", canvas.Dc(), {0, 0, 5, 5})) << "an element with a colour only";
    EXPECT_EQ(25, canvas.Count({0, 0, 5, 5}, RGB(0x40, 0x50, 0x60)));

    // A gradient over a rectangle far larger than the bitmap: only what shows
    // is painted, and its first row still starts the blend.
    canvas.Fill(RGB(1, 2, 3));
    ASSERT_TRUE(skin.Paint("Panel", "Down", canvas.Dc(), {0, 0, 60, 2000000001}));
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(3, 0));
    EXPECT_EQ(RGB(255, 0, 0), canvas.At(3, 39));
}

TEST_F(IxaSkinTest, EveryOpenedGroupIsCountedUntilClosedOnce)
{
    HSKINGROUP first = skin.OpenGroup("Panel");
    HSKINGROUP second = skin.OpenGroup("Panel");
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second) << "each opening is its own handle";
    EXPECT_EQ(2, skin.OpenGroupCount());
    skin.CloseGroup(first);
    EXPECT_EQ(1, skin.OpenGroupCount());

    LONG refused = skin.RefusedCallCount();
    skin.CloseGroup(first);
    EXPECT_EQ(refused + 1, skin.RefusedCallCount()) << "a second close of the same handle";
    EXPECT_EQ(1, skin.OpenGroupCount());
    COLORREF colour = 0x00ABCDEF;
    EXPECT_FALSE(skin.GetColor(first, "Solid", &colour)) << "a closed handle";
    EXPECT_EQ(0x00ABCDEFu, colour);
    skin.CloseGroup(second);
    EXPECT_EQ(0, skin.OpenGroupCount());
}

TEST_F(IxaSkinTest, NullPointersAndBadHandlesAreRefused)
{
    LONG refused = skin.RefusedCallCount();
    HSKINGROUP panel = skin.OpenGroup("Panel");
    ASSERT_NE(nullptr, panel);
    COLORREF colour = 0;
    LOGFONTA font = {};
    Canvas canvas(4, 4);
    RECT rect = {0, 0, 4, 4};
    RECT notAGroup = {};
    HDC deletedDc = CreateCompatibleDC(nullptr);
    DeleteDC(deletedDc);
    HWND destroyedWindow = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyedWindow);

    EXPECT_EQ(nullptr, skin.OpenGroup(nullptr));
    skin.CloseGroup(nullptr);
    EXPECT_FALSE(skin.GetColor(panel, nullptr, &colour));
    EXPECT_FALSE(skin.GetColor(panel, "Solid", nullptr));
    EXPECT_FALSE(skin.GetColor(nullptr, "Solid", &colour));
    EXPECT_FALSE(skin.GetFont(panel, "Text", nullptr, &colour));
    EXPECT_FALSE(skin.GetFont(panel, "Text", &font, nullptr));
    EXPECT_FALSE(skin.PaintElement(panel, "Solid", nullptr, &rect));
    EXPECT_FALSE(skin.PaintElement(panel, "Solid", canvas.Dc(), nullptr));
    EXPECT_FALSE(skin.PaintElement(panel, "Solid", deletedDc, &rect));
    auto bogus = reinterpret_cast<HSKINGROUP>(&notAGroup);
    EXPECT_FALSE(skin.GetColor(bogus, "Solid", &colour));
    skin.CloseGroup(bogus);
    EXPECT_EQ(refused + 12, skin.RefusedCallCount());
    EXPECT_EQ(1, skin.OpenGroupCount());
    skin.CloseGroup(panel);

    EXPECT_FALSE(skin.StaticControl(nullptr, "StaticBold"));
    EXPECT_FALSE(skin.EditControl(destroyedWindow, "EditSMS"));
    EXPECT_FALSE(skin.AttachWindow(nullptr, 3));
    EXPECT_FALSE(skin.EnableCloseButton(nullptr, "DialogCLose", 0));
}

// ---------------------------------------------------------------- controls

namespace {

// A shown top-level window that children are put in.
struct Host {
    HWND window = CreateWindowA("STATIC", "host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 200, 150, nullptr, nullptr,
                                nullptr, nullptr);
    ~Host()
    {
        if (IsWindow(window)) DestroyWindow(window);
    }
    HWND Child(const char* className, DWORD style, const char* text = "")
    {
        return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, 10, 10, 120, 80, window, nullptr,
                               nullptr, nullptr);
    }
};

void Pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

LOGFONTA FontOf(HWND window)
{
    LOGFONTA font = {};
    auto handle = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    if (handle) GetObjectA(handle, sizeof font, &font);
    return font;
}

// The colour at (x, y) of what the window shows, its frame included.
COLORREF ShownPixel(HWND window, int x, int y)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW);
    Pump();
    HDC dc = GetWindowDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
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

TEST_F(IxaSkinTest, StaticBoldGivesABoldFontThatGoesWithTheWindow)
{
    Host host;
    HWND label = host.Child("STATIC", SS_LEFT, "label");
    ASSERT_TRUE(skin.StaticControl(label, "StaticBold"));
    LOGFONTA font = FontOf(label);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(13, font.lfHeight);
    EXPECT_STREQ("宋体", font.lfFaceName);

    // Styled again: the first font is gone, the second is the label's.
    auto first = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    ASSERT_TRUE(skin.StaticControl(label, "StaticBold"));
    auto second = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    EXPECT_NE(first, second);
    EXPECT_EQ(0u, GetObjectType(first)) << "the replaced font was kept";
    EXPECT_EQ(OBJ_FONT, static_cast<int>(GetObjectType(second)));

    COLORREF text = 0;
    CtlColor(host.window, WM_CTLCOLORSTATIC, label, &text);
    EXPECT_EQ(RGB(0x80, 0x10, 0x20), text) << "the style's text colour";

    EXPECT_FALSE(skin.StaticControl(label, "StaticBolder")) << "an unknown style";
    EXPECT_EQ(second, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
    DestroyWindow(label);
    EXPECT_EQ(0u, GetObjectType(second)) << "the font outlived its window";
}

TEST_F(IxaSkinTest, EditSmsShowsTheSkinsBackgroundAndBorder)
{
    Host host;
    HWND edit = host.Child("EDIT", WS_BORDER | ES_MULTILINE);
    EXPECT_FALSE(skin.EditControl(edit, "Editsms")) << "an unknown style";
    EXPECT_EQ(RGB(255, 255, 255), ShownPixel(edit, 60, 60)) << "unskinned edit";
    ASSERT_TRUE(skin.EditControl(edit, "EditSMS"));
    EXPECT_EQ(RGB(0xE0, 0xF0, 0xC0), ShownPixel(edit, 60, 60)) << "client area";
    EXPECT_EQ(RGB(0xC0, 0x20, 0x80), ShownPixel(edit, 0, 40)) << "left border";
    EXPECT_EQ(RGB(0xC0, 0x20, 0x80), ShownPixel(edit, 60, 79)) << "bottom border";

    COLORREF text = 0;
    HGDIOBJ brush = CtlColor(host.window, WM_CTLCOLOREDIT, edit, &text);
    EXPECT_EQ(RGB(0x20, 0x30, 0x40), text);
    ASSERT_EQ(OBJ_BRUSH, static_cast<int>(GetObjectType(brush)));
    // Destroyed before its parent: the brush goes, the parent no longer answers for it.
    DestroyWindow(edit);
    EXPECT_EQ(0u, GetObjectType(brush)) << "the background brush outlived its window";
    HWND other = host.Child("EDIT", WS_BORDER);
    EXPECT_EQ(RGB(255, 255, 255), ShownPixel(other, 60, 40));
}

TEST_F(IxaSkinTest, AttachedListTakesTheSkinsColours)
{
    HGDIOBJ brush = nullptr;
    {
        Host host;
        HWND list = host.Child("LISTBOX", LBS_NOINTEGRALHEIGHT);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("first"));
        EXPECT_FALSE(skin.AttachWindow(list, 2)) << "a kind the skin does not style";
        EXPECT_EQ(RGB(255, 255, 255), ShownPixel(list, 60, 70));
        ASSERT_TRUE(skin.AttachWindow(list, 3));
        EXPECT_EQ(RGB(0xC0, 0xE0, 0xF0), ShownPixel(list, 60, 70)) << "below the items";
        COLORREF text = 0;
        brush = CtlColor(host.window, WM_CTLCOLORLISTBOX, list, &text);
        EXPECT_EQ(RGB(0x30, 0x20, 0x10), text);
        ASSERT_EQ(OBJ_BRUSH, static_cast<int>(GetObjectType(brush)));
        // The parent goes first, taking the list with it.
    }
    EXPECT_EQ(0u, GetObjectType(brush)) << "the background brush outlived its window";
}

// Skinning and destroying the same controls over and over holds nothing.
TEST_F(IxaSkinTest, SkinnedControlsLeaveNoGdiObjectBehind)
{
    auto round = [&] {
        Host host;
        HWND label = host.Child("STATIC", SS_LEFT, "label");
        HWND edit = host.Child("EDIT", WS_BORDER);
        HWND list = host.Child("LISTBOX", 0);
        skin.StaticControl(label, "StaticBold");
        skin.EditControl(edit, "EditSMS");
        skin.AttachWindow(list, 3);
        skin.EditControl(edit, "EditSMS");
        ShownPixel(host.window, 1, 1);
        DestroyWindow(edit);
    };
    round();
    const int objectsBefore = CountGdiObjects();
    for (int i = 0; i < 20; ++i) round();
    EXPECT_EQ(objectsBefore, CountGdiObjects());
}

TEST_F(IxaSkinTest, CloseButtonIsGreyedAndEnabledInTheSystemMenu)
{
    HWND window = CreateWindowA("STATIC", "dialog", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
    auto closeState = [&] { return GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND); };
    ASSERT_EQ(0u, closeState() & MF_GRAYED);
    EXPECT_TRUE(skin.EnableCloseButton(window, "DialogCLose", 0));
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), closeState() & MF_GRAYED);
    EXPECT_FALSE(skin.EnableCloseButton(window, "DialogClose", 1)) << "an element the skin does not have";
    EXPECT_EQ(static_cast<UINT>(MF_GRAYED), closeState() & MF_GRAYED);
    EXPECT_TRUE(skin.EnableCloseButton(window, "DialogCLose", 1));
    EXPECT_EQ(0u, closeState() & MF_GRAYED);
    DestroyWindow(window);
}

TEST(IxaSkinUnloadTest, UnloadingGivesBackTheSkinsBitmaps)
{
    TestSkinFiles files;
    ASSERT_TRUE(files.Ok());
    int objectsBefore = CountGdiObjects();
    {
        SkinModule skin(files.File());
        ASSERT_TRUE(skin.Loaded());
        Canvas canvas(4, 4);
        ASSERT_TRUE(skin.Paint("Panel", "Picture", canvas.Dc(), {0, 0, 4, 4}));
        skin.OpenGroup("Panel"); // left open on purpose
    }
    EXPECT_EQ(nullptr, GetModuleHandleA("ixaskin.dll"));
    EXPECT_EQ(objectsBefore, CountGdiObjects());
}
