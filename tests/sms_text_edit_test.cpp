// The message text edit: keys and pastes are held to the limit, counted in
// characters of the ANSI code page, through real edit windows. Input-method
// characters and the limits' wiring are read in the send dialog's test.
#include "controls/sms_text_edit.h"
#include "controls_test_parent.h"
#include "window_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// GBK bytes, written out so that the test does not depend on the source's
// encoding: 中 D6D0, 文 CEC4, 短 B6CC, 信 D0C5.
const char kZhong[] = "\xD6\xD0";
const char kFourChinese[] = "\xD6\xD0\xCE\xC4\xB6\xCC\xD0\xC5";

class SmsTextEditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(936u, ::GetACP()) << "the field counts GBK characters";
        m_parent.CreateEdit(m_edit, ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL);
        m_edit.SetLimits(5, 10);
    }
    // The text, with the selection at its end unless given.
    void SetText(const char* text, int start = -1, int end = -1)
    {
        m_edit.SetWindowText(text);
        const int length = static_cast<int>(strlen(text));
        m_edit.SetSel(start < 0 ? length : start, end < 0 ? length : end);
    }
    // A key as the keyboard gives it: posted WM_CHAR bytes, dispatched by the
    // loop.
    void Type(const char* bytes)
    {
        for (const char* each = bytes; *each; ++each)
            ::PostMessageA(m_edit.m_hWnd, WM_CHAR, static_cast<BYTE>(*each), 1);
        PumpMessages();
    }
    void Paste() { ::SendMessageA(m_edit.m_hWnd, WM_PASTE, 0, 0); }
    std::string Text() { return WindowText(m_edit.m_hWnd); }

    CControlsTestParent m_parent;
    CSmsTextEdit m_edit;
};

} // namespace

TEST(SmsTextRulesTest, DoubleByteCharactersCountAsOne)
{
    EXPECT_EQ(3, SmsCharCount("a\r\n"));
    EXPECT_EQ(4, SmsCharCount(kFourChinese));
    EXPECT_EQ(2, SmsCharCount("a\xD6")) << "a lead byte cut off by the end is one character";
    EXPECT_FALSE(SmsIsWideText("plain text 123"));
    EXPECT_TRUE(SmsIsWideText("a\xD6\xD0"));
    // GBK trail bytes may be ASCII: 乗 is 81 5B.
    EXPECT_EQ(2, SmsCharCount("\x81\x5B["));
    EXPECT_EQ(2, SmsCharPrefixBytes("\x81\x5B[", 1)) << "a character is never split";
    EXPECT_EQ(3, SmsCharPrefixBytes("\x81\x5B[", 9));
}

TEST_F(SmsTextEditTest, TypedCharactersStopAtTheLimitThatApplies)
{
    Type("abcdefghijk");
    EXPECT_EQ("abcdefghij", Text());
    // The selection goes before the check: the letter replaces it.
    m_edit.SetSel(9, 10);
    Type("z");
    EXPECT_EQ("abcdefghiz", Text());
    Type("\b");
    EXPECT_EQ("abcdefghi", Text()) << "editing keys are not counted";
    Type("\r");
    EXPECT_EQ("abcdefghi", Text()) << "9 of 10: a line break does not fit";
    SetText("abcdefgh");
    Type("\r");
    EXPECT_EQ("abcdefgh\r\n", Text());

    m_edit.SetLimits(3, 10);
    SetText("ab");
    Type(kZhong);
    EXPECT_EQ("ab\xD6\xD0", Text());
    Type("c");
    EXPECT_EQ("ab\xD6\xD0", Text()) << "three characters, wide: the wide limit of 3 is reached";
    // Keyboard double-byte characters are limited only at WM_IME_CHAR.
    Type("\xCE\xC4");
    EXPECT_EQ("ab\xD6\xD0\xCE\xC4", Text());

    // A GBK second byte may be an ASCII letter: D6 61 is one character, and
    // its second byte is not a letter that the full field would drop.
    m_edit.SetLimits(2, 10);
    SetText("\xD6\xD0");
    Type("\xD6"
         "a");
    EXPECT_EQ("\xD6\xD0\xD6"
              "a",
              Text());
}

// What fits is pasted: a piece that makes the field wide is cut to the wide
// limit's room, a line break counts two and is never split.
TEST_F(SmsTextEditTest, PasteInsertsWhatFits)
{
    const struct {
        const char* text;
        const char* clipboard;
        int wideLimit, narrowLimit;
        const char* piece;
    } cases[] = {
        {"abc", "defghijkl", 5, 10, "defghij"},
        {"abc", "x\xD6\xD0\xCE\xC4\xB6\xCC", 5, 10, "x\xD6\xD0"},
        {"abcde", kZhong, 5, 10, ""},
        {"\xD6\xD0", "abcdefgh", 5, 10, "abcd"},
        {"abcdefg", "x\r\nyz", 5, 10, "x\r\n"},
        {"abcdefgh", "\r\n\xD6\xD0", 12, 10, "\r\n"},
        {"ab", "xyz", 0, 0, ""},
    };
    for (const auto& each : cases) {
        m_edit.SetLimits(each.wideLimit, each.narrowLimit);
        SetClipboardText(each.clipboard);
        SetText(each.text);
        Paste();
        EXPECT_EQ(std::string(each.text) + each.piece, Text())
            << "pasting \"" << each.clipboard << "\" after \"" << each.text << "\" with limits " << each.wideLimit
            << "/" << each.narrowLimit;
    }

    // A history text inserted replaces the selection, held to the same limits.
    m_edit.SetLimits(5, 10);
    SetText("abcdefghij", 8, 10);
    m_edit.InsertLimited("xyz");
    EXPECT_EQ("abcdefghxy", Text());
}
