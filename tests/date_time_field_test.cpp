// The date and time fields: digits kept within each part's range as they are
// typed, blanks filled from the clock at focus loss, the day cut to its
// month, and the two notices to the parent, through real edit windows.
#include "controls/date_time_field.h"
#include "controls_test_parent.h"
#include "pixel_snapshot.h"
#include "window_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SYSTEMTIME Now()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return now;
}

class DateTimeFieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int kind = DateFieldYear; kind <= DateFieldMinute; ++kind) {
            m_parent.CreateEdit(m_fields[kind], ES_NUMBER | ES_RIGHT);
            m_fields[kind].SetKind(kind);
            m_fields[kind].Clear();
        }
        m_parent.CreateEdit(m_noKind, ES_NUMBER);
        m_parent.TakeNotices();
    }

    CDateTimeField& Field(int kind) { return m_fields[kind]; }
    void Type(CDateTimeField& field, const char* keys)
    {
        for (const char* each = keys; *each; ++each) ::PostMessageA(field.m_hWnd, WM_CHAR, static_cast<BYTE>(*each), 1);
        PumpMessages();
    }
    void Leave() { ::SetFocus(m_parent.Other()); }
    std::pair<int, int> Selection(const CDateTimeField& field)
    {
        DWORD start = 0, end = 0;
        ::SendMessageA(field.m_hWnd, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        return {static_cast<int>(start), static_cast<int>(end)};
    }
    CControlsTestParent m_parent;
    CDateTimeField m_fields[5];
    CDateTimeField m_noKind;
};

} // namespace

// A digit extends the part while the result stays in range, else starts it
// again; the day's range is its month's (April 2026: 30 days).
TEST_F(DateTimeFieldTest, TypedDigitsKeepEachPartInRange)
{
    Field(DateFieldDay).SetYearMonth(2026, 4);
    const struct {
        int kind;
        const char* keys;
        const char* shown;
    } cases[] = {
        {DateFieldMonth, "12", "12"},  {DateFieldMonth, "13", " 3"},    {DateFieldMonth, "00", "00"},
        {DateFieldMonth, "121", " 1"}, {DateFieldYear, "2026", "2026"}, {DateFieldYear, "20267", "   7"},
        {DateFieldDay, "31", " 1"},    {DateFieldDay, "30", "30"},      {DateFieldDay, "29", "29"},
        {DateFieldHour, "23", "23"},   {DateFieldHour, "243", " 3"},    {DateFieldHour, "00", "00"},
        {DateFieldMinute, "59", "59"}, {DateFieldMinute, "596", " 6"},  {DateFieldMinute, "591", " 1"},
    };
    for (const auto& each : cases) {
        CDateTimeField& field = Field(each.kind);
        field.Clear();
        Type(field, each.keys);
        EXPECT_EQ(each.shown, WindowText(field.m_hWnd)) << "kind " << each.kind << ", typed " << each.keys;
    }
}

// What the parent is told of typing and changes, it shows in the send
// dialog (the schedule box ticked, the day cut): its tests read that.
TEST_F(DateTimeFieldTest, OnlyDigitsAreTakenAndSelected)
{
    CDateTimeField& hour = Field(DateFieldHour);
    hour.SetKind(DateFieldYear);
    EXPECT_EQ(DateFieldHour, hour.GetKind()) << "the kind is set once";
    Type(hour, "1x7");
    EXPECT_EQ("17", WindowText(hour.m_hWnd));
    EXPECT_EQ(2u, m_parent.TakeNotices().size()) << "a notice for each digit, none for the letter";
    EXPECT_EQ(std::make_pair(0, 2), Selection(hour)) << "the digits are selected after typing";

    CDateTimeField& day = Field(DateFieldDay);
    day.SetValueText("12");
    day.SetSel(2, 2);
    Type(day, "a \b-");
    EXPECT_EQ("12", WindowText(day.m_hWnd)) << "letters, space and Backspace are dropped";
    SetClipboardText("34");
    ::SendMessageA(day.m_hWnd, WM_PASTE, 0, 0);
    EXPECT_EQ("12", WindowText(day.m_hWnd)) << "pasted text is refused";
    day.SetReadOnly(TRUE);
    Type(day, "5");
    EXPECT_EQ("12", WindowText(day.m_hWnd));
    Type(m_noKind, "12");
    EXPECT_EQ("", WindowText(m_noKind.m_hWnd)) << "a field without a kind takes nothing";
    EXPECT_TRUE(m_parent.TakeNotices().empty());
}

TEST_F(DateTimeFieldTest, FocusSelectsTheDigitsAndHidesTheCaret)
{
    CDateTimeField& year = Field(DateFieldYear);
    year.SetValueText("99");
    ::SetFocus(year.m_hWnd);
    EXPECT_EQ(std::make_pair(2, 4), Selection(year));
    // Showing a hidden caret draws it at once; showing one already shown
    // changes nothing. So the caret was hidden when the pixels change.
    year.UpdateWindow();
    const Canvas focused(year.m_hWnd, false);
    ::ShowCaret(year.m_hWnd);
    year.UpdateWindow();
    EXPECT_FALSE(focused == Canvas(year.m_hWnd, false)) << "the caret was shown while the field had the focus";
    ::HideCaret(year.m_hWnd);
    Leave();

    CDateTimeField& month = Field(DateFieldMonth);
    ::SetFocus(month.m_hWnd);
    EXPECT_EQ(std::make_pair(1, 2), Selection(month)) << "a blank field selects its last character";
}

TEST_F(DateTimeFieldTest, MouseOnlyFocusesTheField)
{
    CDateTimeField& minute = Field(DateFieldMinute);
    minute.SetValueText("45");
    Leave();
    // A press at the left edge would put a plain edit's caret before the digits.
    ::SendMessageA(minute.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 5));
    EXPECT_EQ(minute.m_hWnd, ::GetFocus());
    EXPECT_EQ(std::make_pair(0, 2), Selection(minute));
    ::SendMessageA(minute.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 5));
    ::SendMessageA(minute.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(20, 5));
    ::SendMessageA(minute.m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 5));
    ::SendMessageA(minute.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 5));
    EXPECT_EQ(std::make_pair(0, 2), Selection(minute)) << "no drag and no double click moves the selection";
    EXPECT_EQ(nullptr, ::GetCapture()) << "no drag is started";
    ::SetCursor(nullptr);
    EXPECT_EQ(0,
              ::SendMessageA(minute.m_hWnd, WM_SETCURSOR, (WPARAM)minute.m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(nullptr, ::GetCursor()) << "no text cursor is set";
}

// At focus loss a blank part takes the clock's, a short year its century, a
// 0 month or day the clock's; a 0 hour or minute is kept.
TEST(DateRulesTest, FocusLossCompletesFromTheClock)
{
    SYSTEMTIME now = {};
    now.wYear = 2026, now.wMonth = 7, now.wDay = 9, now.wHour = 0, now.wMinute = 5;
    const struct {
        int kind;
        const char* digits;
        const char* result; // null: kept
    } cases[] = {
        {DateFieldYear, "", "2026"},      {DateFieldYear, "8", "2028"},     {DateFieldYear, "31", "2031"},
        {DateFieldYear, "199", "2199"},   {DateFieldYear, "1999", nullptr}, {DateFieldMonth, "", "7"},
        {DateFieldMonth, "0", "7"},       {DateFieldMonth, "00", "7"},      {DateFieldMonth, "3", nullptr},
        {DateFieldDay, "", "9"},          {DateFieldDay, "0", "9"},         {DateFieldDay, "31", nullptr},
        {DateFieldHour, "", "0"},         {DateFieldHour, "0", nullptr},    {DateFieldMinute, "", "5"},
        {DateFieldMinute, "00", nullptr},
    };
    for (const auto& each : cases) {
        CString result;
        const BOOL changed = DateFocusLostDigits(each.kind, each.digits, now, result);
        EXPECT_EQ(each.result != nullptr, changed) << "kind " << each.kind << ", \"" << each.digits << "\"";
        if (each.result && changed) {
            EXPECT_STREQ(each.result, result) << "kind " << each.kind;
        }
    }
}

TEST_F(DateTimeFieldTest, BlankFieldsTakeTheClockAtFocusLoss)
{
    for (int kind = DateFieldYear; kind <= DateFieldMinute; ++kind) {
        CDateTimeField& field = Field(kind);
        const SYSTEMTIME before = Now();
        ::SetFocus(field.m_hWnd);
        Leave();
        const SYSTEMTIME after = Now();
        const int value = field.GetValue();
        EXPECT_TRUE(value == DateNowPart(kind, before) || value == DateNowPart(kind, after)) << "kind " << kind;
        EXPECT_EQ(0, Selection(field).second - Selection(field).first) << "no selection is left behind";
    }
}

// A day field is told its year and month, and cuts the day to them; a blank
// one takes today's, cut too. Other fields take no year and month.
TEST_F(DateTimeFieldTest, DayIsCutToItsMonth)
{
    CDateTimeField& day = Field(DateFieldDay);
    const struct {
        const char* shown;
        int year, month;
        const char* result;
    } cases[] = {
        {"31", 2008, 2, "29"},  {"29", 2008, 2, "29"}, {"31", 2007, 2, "28"}, {"31", 1900, 2, "28"},
        {"31", 2000, 2, "29"},  {"31", 2100, 2, "28"}, {"31", 2400, 2, "29"}, {"31", 2026, 4, "30"},
        {"31", 2026, 12, "31"}, {"15", 2026, 2, "15"},
    };
    for (const auto& each : cases) {
        day.SetValueText(each.shown);
        day.SetYearMonth(each.year, each.month);
        EXPECT_EQ(each.result, WindowText(day.m_hWnd)) << each.shown << " in " << each.year << "-" << each.month;
        int year = 0, month = 0;
        day.GetYearMonth(year, month);
        EXPECT_EQ(each.year * 100 + each.month, year * 100 + month);
    }
    // February 2008 remembered: typing 2 then 9 keeps 29.
    day.SetYearMonth(2008, 2);
    day.Clear();
    Type(day, "29");
    EXPECT_EQ("29", WindowText(day.m_hWnd));

    day.Clear();
    const SYSTEMTIME before = Now();
    day.SetYearMonth(2007, 2);
    const SYSTEMTIME after = Now();
    auto cut = [](WORD today) { return today > 28 ? 28 : today; };
    EXPECT_TRUE(day.GetValue() == cut(before.wDay) || day.GetValue() == cut(after.wDay)) << day.GetValue();

    CDateTimeField& month = Field(DateFieldMonth);
    month.SetValueText("5");
    month.SetYearMonth(2008, 2);
    EXPECT_EQ(" 5", WindowText(month.m_hWnd));
    int year = 0, monthOut = 0;
    month.GetYearMonth(year, monthOut);
    EXPECT_EQ(-1, year);
    EXPECT_EQ(-1, monthOut);
}
