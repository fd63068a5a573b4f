// The message text edit: every way text enters the field is held to the
// limit, counted in characters of the ANSI code page, through real edit
// windows driven with the messages that keyboard, input method and clipboard
// produce.
#include "controls/sms_text_edit.h"
#include "controls_test_parent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// GBK bytes, written out so that the test does not depend on the source's
// encoding: 中 D6D0, 文 CEC4, 短 B6CC, 信 D0C5.
const char kZhong[] = "\xD6\xD0";
const char kWen[] = "\xCE\xC4";
const char kFourChinese[] = "\xD6\xD0\xCE\xC4\xB6\xCC\xD0\xC5";

UINT KeyboardCodePage()
{
    char codePage[8] = {};
    const LCID locale = MAKELCID(LOWORD(::GetKeyboardLayout(0)), SORT_DEFAULT);
    ::GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, codePage, sizeof codePage);
    return static_cast<UINT>(atoi(codePage));
}

class SmsTextEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(936u, ::GetACP()) << "the field counts GBK characters";
        m_parent.CreateEdit(m_edit, ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL);
        ASSERT_NE(nullptr, m_edit.m_hWnd);
    }

    void SetText(const char* text, int selectionStart = -2, int selectionEnd = -2)
    {
        m_edit.SetWindowText(text);
        const int length = static_cast<int>(strlen(text));
        m_edit.SetSel(selectionStart == -2 ? length : selectionStart, selectionEnd == -2 ? length : selectionEnd);
    }
    // A key as the keyboard gives it: posted WM_CHAR bytes, dispatched by the loop.
    void Type(const char* bytes)
    {
        for (const char* each = bytes; *each; ++each)
            ::PostMessageA(m_edit.m_hWnd, WM_CHAR, static_cast<BYTE>(*each), 1);
        PumpMessages();
    }
    // An input method's composition that commits `characters` (double-byte
    // ones as lead * 256 + trail).
    void Compose(std::initializer_list<UINT> characters)
    {
        ::SendMessageA(m_edit.m_hWnd, WM_IME_STARTCOMPOSITION, 0, 0);
        for (UINT each : characters) ::SendMessageA(m_edit.m_hWnd, WM_IME_CHAR, each, 1);
        ::SendMessageA(m_edit.m_hWnd, WM_IME_ENDCOMPOSITION, 0, 0);
        PumpMessages();
    }
    CString Text() { return WindowTextOf(m_edit.m_hWnd); }

    CControlsTestParent m_parent;
    CSmsTextEdit m_edit;
};

// Puts `text` on the clipboard as CF_TEXT; null empties it, and a non-null
// `format` stores the bytes under that format instead.
void SetClipboard(const char* text, UINT format = CF_TEXT)
{
    BOOL opened = FALSE;
    for (int attempt = 0; attempt < 50 && !opened; ++attempt)
        if (!(opened = ::OpenClipboard(nullptr))) ::Sleep(10);
    ASSERT_TRUE(opened) << "the clipboard stayed busy";
    ::EmptyClipboard();
    if (text) {
        const size_t size = strlen(text) + 1;
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
        memcpy(::GlobalLock(block), text, size);
        ::GlobalUnlock(block);
        ::SetClipboardData(format, block);
    }
    ::CloseClipboard();
}

} // namespace

// ---------------------------------------------------------------- rules

TEST(SmsTextRulesTest, DoubleByteCharactersCountAsOne)
{
    EXPECT_EQ(0, SmsCharCount(""));
    EXPECT_EQ(3, SmsCharCount("a\r\n"));
    EXPECT_EQ(4, SmsCharCount(kFourChinese));
    EXPECT_EQ(3, SmsCharCount("a\xD6\xD0z"));
    EXPECT_EQ(2, SmsCharCount("a\xD6")) << "a lead byte cut off by the end is one character";
    EXPECT_FALSE(SmsIsWideText("plain text 123"));
    EXPECT_TRUE(SmsIsWideText("a\xD6\xD0"));
    // GBK trail bytes may be ASCII: 乗 is 81 5B.
    EXPECT_EQ(2, SmsCharCount("\x81\x5B["));
    EXPECT_EQ(2, SmsCharPrefixBytes("\x81\x5B[", 1)) << "a character is never split";
    EXPECT_EQ(3, SmsCharPrefixBytes("\x81\x5B[", 9));
    EXPECT_EQ(0, SmsCharPrefixBytes("abc", 0));
}

TEST(SmsTextRulesTest, PieceIsCutToTheRoomAndToTheWideLimitOnceWide)
{
    struct Case {
        const char* text;
        const char* insert;
        int wideLimit, narrowLimit;
        const char* piece;
    } cases[] = {
        {"abc", "defg", 5, 10, "defg"},
        {"abc", "defghijkl", 5, 10, "defghij"},
        // Narrow room 7, but the piece turns the field wide: 5 - 3 = 2.
        {"abc", kFourChinese, 5, 10, "\xD6\xD0\xCE\xC4"},
        {"abc", "x\xD6\xD0\xCE\xC4\xB6\xCC", 5, 10, "x\xD6\xD0"},
        {"abcde", kZhong, 5, 10, ""},
        {"abcdefghij", "x", 5, 10, ""},
        // A wide field counts against the wide limit from the start.
        {"\xD6\xD0", "abcdefgh", 5, 10, "abcd"},
        {"abc", "", 5, 10, ""},
        // A line break is two characters.
        {"abcdefg", "x\r\nyz", 5, 10, "x\r\n"},
        {"abcdefgh", "\r\n\xD6\xD0", 12, 10, "\r\n"},
        {"abcdefgh", "x\r\ny", 5, 10, "x"},
        {"ab", "xyz", 0, 0, ""},
    };
    for (const Case& each : cases) {
        EXPECT_STREQ(each.piece, SmsLimitedPiece(each.text, each.insert, each.wideLimit, each.narrowLimit))
            << "inserting \"" << each.insert << "\" into \"" << each.text << "\" with limits " << each.wideLimit
            << "/" << each.narrowLimit;
    }
}

TEST(SmsTextRulesTest, ComposedCharactersSwitchToTheWideLimitAtTheFirstDoubleByteOne)
{
    SmsComposeState state = {3, FALSE};
    EXPECT_TRUE(SmsAcceptComposedChar(state, 'x', 5, 10));
    EXPECT_FALSE(state.wide);
    EXPECT_TRUE(SmsAcceptComposedChar(state, 0xD6D0, 5, 10));
    EXPECT_TRUE(state.wide);
    EXPECT_EQ(5u, state.count);
    EXPECT_FALSE(SmsAcceptComposedChar(state, 'y', 5, 10)) << "the wide limit stays once switched";
    EXPECT_EQ(5u, state.count);
}

// ---------------------------------------------------------------- typed characters

TEST_F(SmsTextEditTest, TypedLettersStopAtTheNarrowLimit)
{
    m_edit.SetLimits(5, 10);
    Type("abcdefghijk");
    EXPECT_STREQ("abcdefghij", Text());

    // The selection goes before the check: the letter replaces it.
    m_edit.SetSel(9, 10);
    Type("z");
    EXPECT_STREQ("abcdefghiz", Text());

    // Editing keys are not counted.
    Type("\b");
    EXPECT_STREQ("abcdefghi", Text());
}

TEST_F(SmsTextEditTest, EnterNeedsRoomForTwoCharacters)
{
    m_edit.SetLimits(5, 10);
    SetText("abcdefghi");
    Type("\r");
    EXPECT_STREQ("abcdefghi", Text()) << "9 of 10: a line break does not fit";

    SetText("abcdefgh");
    Type("\r");
    EXPECT_STREQ("abcdefgh\r\n", Text());
}

TEST_F(SmsTextEditTest, DoubleByteCharactersFromTheKeyboardPassAndMakeTheFieldWide)
{
    const UINT codePage = KeyboardCodePage();
    ASSERT_EQ(936u, codePage) << "WM_CHAR bytes are decoded in the keyboard's code page";

    m_edit.SetLimits(3, 10);
    Type("ab");
    Type(kZhong);
    EXPECT_STREQ("ab\xD6\xD0", Text());

    // Three characters, wide: the wide limit of 3 is reached.
    Type("c");
    EXPECT_STREQ("ab\xD6\xD0", Text());
    // Keyboard double-byte characters are limited only at WM_IME_CHAR.
    Type(kWen);
    EXPECT_STREQ("ab\xD6\xD0\xCE\xC4", Text());

    // A GBK second byte may be an ASCII letter: D6 61 is one character, and
    // its second byte is not a letter that the full field would drop.
    m_edit.SetLimits(2, 10);
    SetText("\xD6\xD0");
    Type("\xD6" "a");
    EXPECT_STREQ("\xD6\xD0\xD6" "a", Text());
}

// ---------------------------------------------------------------- input method

TEST_F(SmsTextEditTest, CompositionIsCutAtTheLimit)
{
    m_edit.SetLimits(5, 10);
    SetText("abcdefgh");
    Compose({'x', 'y', 'z'});
    EXPECT_STREQ("abcdefghxy", Text());

    // The first Chinese character is wide, and 5 is not below 5.
    SetText("abcde");
    Compose({0xD6D0, 0xCEC4});
    EXPECT_STREQ("abcde", Text());

    SetText("abc");
    Compose({0xD6D0, 0xCEC4, 0xB6CC});
    EXPECT_STREQ("abc\xD6\xD0\xCE\xC4", Text());

    // The start of a composition removes the selection before counting.
    SetText("abcd\xD6\xD0", 0, 3);
    Compose({'x', 'y', 'z', 'w'});
    EXPECT_STREQ("xyzd\xD6\xD0", Text()) << "a wide field left with two characters takes three more";
}

// ---------------------------------------------------------------- pasting

TEST_F(SmsTextEditTest, PasteInsertsWhatFits)
{
    m_edit.SetLimits(5, 10);
    const struct {
        const char* text;
        const char* clipboard;
        const char* result;
    } cases[] = {
        {"abc", "defg", "abcdefg"},
        {"abcdefg", "hijklmnop", "abcdefghij"},
        {"abc", kFourChinese, "abc\xD6\xD0\xCE\xC4"}, // cut to the wide limit
        {"abcdefg", "x\r\nyz", "abcdefgx\r\n"},     // a line break counts twice
    };
    for (const auto& each : cases) {
        SetClipboard(each.clipboard);
        SetText(each.text);
        ::SendMessageA(m_edit.m_hWnd, WM_PASTE, 0, 0);
        EXPECT_STREQ(each.result, Text()) << "pasting \"" << each.clipboard << "\" after \"" << each.text << "\"";
    }
}

TEST_F(SmsTextEditTest, PasteWithoutTextOnlyRemovesTheSelection)
{
    m_edit.SetLimits(5, 10);
    SetClipboard(nullptr);
    SetText("abcdef", 2, 4);
    ::SendMessageA(m_edit.m_hWnd, WM_PASTE, 0, 0);
    EXPECT_STREQ("abef", Text());

    SetClipboard("not text to the field", ::RegisterClipboardFormatA("SmsUtilControlsTest"));
    SetText("abcdef", 0, 1);
    ::SendMessageA(m_edit.m_hWnd, WM_PASTE, 0, 0);
    EXPECT_STREQ("bcdef", Text());
}

TEST_F(SmsTextEditTest, InsertLimitedReplacesTheSelection)
{
    m_edit.SetLimits(5, 10);
    SetText("abcdefghij", 8, 10);
    m_edit.InsertLimited("xyz");
    EXPECT_STREQ("abcdefghxy", Text());

    // A history text behind a line break, into a narrow field: once the
    // piece is wide only the wide limit's room is left.
    SetText("abc");
    m_edit.InsertLimited("\r\n\xD6\xD0\xCE\xC4\xB6\xCC");
    EXPECT_STREQ("abc\r\n", Text());
}

// ---------------------------------------------------------------- read-only

TEST_F(SmsTextEditTest, ReadOnlyFieldRefusesEverything)
{
    m_edit.SetLimits(5, 10);
    SetText("abc", 0, 3);
    m_edit.SetReadOnly(TRUE);
    SetClipboard("xyz");

    ::SendMessageA(m_edit.m_hWnd, WM_PASTE, 0, 0);
    m_edit.InsertLimited("xyz");
    Compose({'x', 0xD6D0});
    EXPECT_STREQ("abc", Text());
    int start = -1, end = -1;
    m_edit.GetSel(start, end);
    EXPECT_EQ(0, start) << "the selection stays";
    EXPECT_EQ(3, end);

    // Keys go to the edit control, which moves the caret and nothing else.
    Type("q\r");
    Type(kZhong);
    Type("\b");
    EXPECT_STREQ("abc", Text());
}

// ---------------------------------------------------------------- focus

TEST_F(SmsTextEditTest, LosingTheFocusTellsTheParent)
{
    ::SetFocus(m_edit.m_hWnd);
    ASSERT_EQ(m_edit.m_hWnd, ::GetFocus());
    m_parent.TakeNotices();

    ::SetFocus(m_parent.Other());
    const std::vector<ParentNotice> notices = m_parent.TakeNotices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(static_cast<UINT>(WM_USER + 2001), notices[0].message);
    EXPECT_EQ(0u, notices[0].wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(&m_edit), notices[0].lParam);
    EXPECT_EQ(m_parent.Other(), ::GetFocus()) << "the focus moved on";
}
