// The date and time fields: digits kept within each part's range as they are
// typed, blanks filled from the clock at focus loss, the day cut to its
// month, and the two notices to the parent, through real edit windows.
#include "controls/date_time_field.h"
#include "controls_test_parent.h"

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

SYSTEMTIME At(int year, int month, int day, int hour, int minute)
{
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    return time;
}

CString Padded(int kind, int value)
{
    CString text;
    text.Format(kind == DateFieldYear ? "%4d" : "%2d", value);
    return text;
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
        for (const char* each = keys; *each; ++each)
            ::PostMessageA(field.m_hWnd, WM_CHAR, static_cast<BYTE>(*each), 1);
        PumpMessages();
    }
    // Clicks the field, as far as a button press goes, and leaves to another control.
    void Focus(CDateTimeField& field) { ::SetFocus(field.m_hWnd); }
    void Leave() { ::SetFocus(m_parent.Other()); }
    CString Text(const CDateTimeField& field) { return WindowTextOf(field.m_hWnd); }
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

// ---------------------------------------------------------------- rules

TEST(DateRulesTest, LeapYearsFollowTheCenturyRule)
{
    struct {
        int year;
        BOOL leap;
    } years[] = {{2008, TRUE}, {2007, FALSE}, {2024, TRUE}, {1900, FALSE}, {2100, FALSE}, {2000, TRUE}, {2400, TRUE}};
    for (const auto& each : years) {
        EXPECT_EQ(each.leap, DateIsLeapYear(each.year)) << each.year;
        EXPECT_EQ(each.leap ? 29 : 28, DateDaysInMonth(each.year, 2)) << each.year;
    }
    const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 1; month <= 12; ++month) EXPECT_EQ(days[month - 1], DateDaysInMonth(2007, month)) << month;
    EXPECT_EQ(31, DateDaysInMonth(2007, 0)) << "no month cuts nothing";
    EXPECT_EQ(31, DateDaysInMonth(2007, 13));
}

TEST(DateRulesTest, TypedDigitExtendsOrRestartsThePart)
{
    struct Case {
        int kind;
        const char* digits;
        char ch;
        const char* result;
    } cases[] = {
        {DateFieldYear, "", '2', "2"},     {DateFieldYear, "202", '6', "2026"}, {DateFieldYear, "2026", '7', "7"},
        {DateFieldMonth, "", '1', "1"},    {DateFieldMonth, "1", '2', "12"},    {DateFieldMonth, "1", '3', "3"},
        {DateFieldMonth, "0", '0', "00"},  {DateFieldMonth, "12", '1', "1"},    {DateFieldDay, "3", '0', "30"},
        {DateFieldDay, "3", '1', "1"},     {DateFieldDay, "2", '9', "29"},      {DateFieldHour, "2", '3', "23"},
        {DateFieldHour, "2", '4', "4"},    {DateFieldHour, "0", '0', "00"},     {DateFieldMinute, "5", '9', "59"},
        {DateFieldMinute, "6", '0', "0"},  {DateFieldMinute, "59", '1', "1"},
    };
    for (const Case& each : cases) {
        CString result;
        // Days of April 2026: 30.
        ASSERT_TRUE(DateTypedDigits(each.kind, each.digits, each.ch, 2026, 4, result));
        EXPECT_STREQ(each.result, result) << "kind " << each.kind << ", \"" << each.digits << "\" + " << each.ch;
    }
    CString result("unchanged");
    EXPECT_FALSE(DateTypedDigits(DateFieldMonth, "1", 'a', 2026, 4, result));
    EXPECT_FALSE(DateTypedDigits(DateFieldMonth, "1", ' ', 2026, 4, result));
    EXPECT_FALSE(DateTypedDigits(DateFieldNone, "1", '1', 2026, 4, result));
    EXPECT_STREQ("unchanged", result);
}

TEST(DateRulesTest, FocusLossCompletesFromTheClock)
{
    const SYSTEMTIME now = At(2026, 7, 9, 0, 5);
    struct Case {
        int kind;
        const char* digits;
        const char* result; // null: kept
    } cases[] = {
        {DateFieldYear, "", "2026"},  {DateFieldYear, "8", "2028"},  {DateFieldYear, "31", "2031"},
        {DateFieldYear, "199", "2199"}, {DateFieldYear, "1999", nullptr}, {DateFieldMonth, "", "7"},
        {DateFieldMonth, "0", "7"},   {DateFieldMonth, "00", "7"},   {DateFieldMonth, "3", nullptr},
        {DateFieldDay, "", "9"},      {DateFieldDay, "0", "9"},      {DateFieldDay, "31", nullptr},
        {DateFieldHour, "", "0"},     {DateFieldHour, "0", nullptr}, {DateFieldMinute, "", "5"},
        {DateFieldMinute, "00", nullptr},
    };
    for (const Case& each : cases) {
        CString result;
        const BOOL changed = DateFocusLostDigits(each.kind, each.digits, now, result);
        EXPECT_EQ(each.result != nullptr, changed) << "kind " << each.kind << ", \"" << each.digits << "\"";
        if (each.result && changed) {
            EXPECT_STREQ(each.result, result) << "kind " << each.kind << ", \"" << each.digits << "\"";
        }
    }
}

// ---------------------------------------------------------------- typing

TEST_F(DateTimeFieldTest, TypedDigitsKeepEachPartInRange)
{
    Field(DateFieldDay).SetYearMonth(2026, 4);
    struct Case {
        int kind;
        const char* keys;
        const char* shown;
    } cases[] = {
        {DateFieldMonth, "12", "12"}, {DateFieldMonth, "13", " 3"}, {DateFieldMonth, "00", "00"},
        {DateFieldYear, "20267", "   7"}, {DateFieldYear, "2026", "2026"},
        {DateFieldDay, "31", " 1"}, // April has 30 days
        {DateFieldDay, "30", "30"},   {DateFieldHour, "243", " 3"}, {DateFieldMinute, "596", " 6"},
    };
    for (const Case& each : cases) {
        CDateTimeField& field = Field(each.kind);
        field.Clear();
        Type(field, each.keys);
        EXPECT_STREQ(each.shown, Text(field)) << "kind " << each.kind << ", typed " << each.keys;
    }
}

TEST_F(DateTimeFieldTest, EachAcceptedDigitIsAnnounced)
{
    CDateTimeField& hour = Field(DateFieldHour);
    Type(hour, "1x7");
    const std::vector<ParentNotice> notices = m_parent.TakeNotices();
    ASSERT_EQ(2u, notices.size()) << "two digits, no notice for the letter";
    for (const ParentNotice& notice : notices) {
        EXPECT_EQ(static_cast<UINT>(WM_USER + 3000), notice.message);
        EXPECT_EQ(0u, notice.wParam);
        EXPECT_EQ(reinterpret_cast<LPARAM>(&hour), notice.lParam);
    }
    EXPECT_STREQ("17", Text(hour));
    EXPECT_EQ(std::make_pair(0, 2), Selection(hour)) << "the digits are selected after typing";
}

TEST_F(DateTimeFieldTest, OtherKeysChangeNothing)
{
    CDateTimeField& day = Field(DateFieldDay);
    day.SetValueText("12");
    day.SetSel(2, 2);
    Type(day, "a \b-");
    EXPECT_STREQ("12", Text(day)) << "letters, space and Backspace are dropped";

    Type(m_noKind, "12");
    EXPECT_STREQ("", Text(m_noKind)) << "a field without a kind takes nothing";

    day.SetReadOnly(TRUE);
    Type(day, "5");
    EXPECT_STREQ("12", Text(day));
    EXPECT_TRUE(m_parent.TakeNotices().empty());
}

TEST_F(DateTimeFieldTest, PastedTextIsRefused)
{
    CDateTimeField& minute = Field(DateFieldMinute);
    minute.SetValueText("30");
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, 4);
    memcpy(::GlobalLock(block), "abc", 4);
    ::GlobalUnlock(block);
    ::SetClipboardData(CF_TEXT, block);
    ::CloseClipboard();
    minute.SetSel(0, 2);
    ::SendMessageA(minute.m_hWnd, WM_PASTE, 0, 0);
    EXPECT_STREQ("30", Text(minute));
}

// ---------------------------------------------------------------- focus

// The field's client pixels, as drawn so far.
std::vector<COLORREF> Pixels(HWND window)
{
    ::UpdateWindow(window);
    RECT client;
    ::GetClientRect(window, &client);
    HDC dc = ::GetDC(window);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x) pixels.push_back(::GetPixel(dc, x, y));
    ::ReleaseDC(window, dc);
    return pixels;
}

TEST_F(DateTimeFieldTest, FocusSelectsTheDigitsAndHidesTheCaret)
{
    CDateTimeField& year = Field(DateFieldYear);
    year.SetValueText("99");
    Focus(year);
    EXPECT_EQ(std::make_pair(2, 4), Selection(year));
    // Showing a hidden caret draws it at once; showing one already shown
    // changes nothing. So the caret was hidden when the pixels change.
    const std::vector<COLORREF> focused = Pixels(year.m_hWnd);
    ::ShowCaret(year.m_hWnd);
    EXPECT_NE(focused, Pixels(year.m_hWnd)) << "the caret was shown while the field had the focus";
    ::HideCaret(year.m_hWnd);
    Leave();

    CDateTimeField& month = Field(DateFieldMonth);
    Focus(month);
    EXPECT_EQ(std::make_pair(1, 2), Selection(month)) << "a blank field selects its last character";
}

TEST_F(DateTimeFieldTest, BlankFieldsTakeTheClockAtFocusLoss)
{
    for (int kind = DateFieldYear; kind <= DateFieldMinute; ++kind) {
        CDateTimeField& field = Field(kind);
        const SYSTEMTIME before = Now();
        Focus(field);
        Leave();
        const SYSTEMTIME after = Now();
        const CString shown = Text(field);
        EXPECT_TRUE(shown == Padded(kind, DateNowPart(kind, before)) || shown == Padded(kind, DateNowPart(kind, after)))
            << "kind " << kind << ": expected \"" << (LPCSTR)Padded(kind, DateNowPart(kind, before)) << "\", got \""
            << (LPCSTR)shown << "\"";
        EXPECT_EQ(0, Selection(field).second - Selection(field).first) << "no selection is left behind";

        const std::vector<ParentNotice> notices = m_parent.TakeNotices();
        const int value = field.GetValue();
        if (value == 0) {
            EXPECT_TRUE(notices.empty()) << "kind " << kind << ": 0 is what the blank field had";
        } else {
            ASSERT_EQ(1u, notices.size()) << "kind " << kind;
            EXPECT_EQ(static_cast<UINT>(WM_USER + 3001), notices[0].message);
            EXPECT_EQ(0u, notices[0].wParam) << "the blank field's value";
            EXPECT_EQ(reinterpret_cast<LPARAM>(&field), notices[0].lParam);
        }
    }
}

// Typed digits reach the completion at focus loss: a 0 hour is an hour, a 0
// month is none, a short year takes the current century.
TEST_F(DateTimeFieldTest, TypedDigitsAreKeptOrCompletedAtFocusLoss)
{
    const SYSTEMTIME before = Now();
    const std::pair<int, const char*> typing[] = {{DateFieldHour, "0"}, {DateFieldMonth, "0"}, {DateFieldYear, "8"}};
    for (const auto& typed : typing) {
        Focus(Field(typed.first));
        Type(Field(typed.first), typed.second);
        Leave();
    }
    const SYSTEMTIME after = Now(); // a month or year may turn meanwhile
    EXPECT_STREQ(" 0", Text(Field(DateFieldHour)));
    const int month = Field(DateFieldMonth).GetValue();
    EXPECT_TRUE(month == before.wMonth || month == after.wMonth) << "expected the month " << before.wMonth << ", got " << month;
    const int year = Field(DateFieldYear).GetValue();
    EXPECT_TRUE(year == before.wYear / 10 * 10 + 8 || year == after.wYear / 10 * 10 + 8)
        << "expected " << before.wYear / 10 * 10 + 8 << ", got " << year;
}

TEST_F(DateTimeFieldTest, ChangeIsAnnouncedWithTheValueAtFocusGain)
{
    CDateTimeField& month = Field(DateFieldMonth);
    month.SetValueText("12");
    Focus(month);
    Type(month, "3");
    m_parent.TakeNotices();
    Leave();
    std::vector<ParentNotice> notices = m_parent.TakeNotices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(static_cast<UINT>(WM_USER + 3001), notices[0].message);
    EXPECT_EQ(12u, notices[0].wParam);
    EXPECT_EQ(reinterpret_cast<LPARAM>(&month), notices[0].lParam);

    // Typing the same value again changes nothing.
    Focus(month);
    Type(month, "3");
    m_parent.TakeNotices();
    Leave();
    EXPECT_TRUE(m_parent.TakeNotices().empty());
}

// ---------------------------------------------------------------- year and month of a day field

TEST_F(DateTimeFieldTest, DayIsCutToItsMonth)
{
    CDateTimeField& day = Field(DateFieldDay);
    struct Case {
        const char* shown;
        int year, month;
        const char* result;
    } cases[] = {
        {"31", 2008, 2, "29"}, {"29", 2008, 2, "29"}, {"31", 2007, 2, "28"}, {"29", 2007, 2, "28"},
        {"31", 1900, 2, "28"}, {"31", 2000, 2, "29"}, {"31", 2026, 4, "30"}, {"15", 2026, 2, "15"},
    };
    for (const Case& each : cases) {
        day.SetValueText(each.shown);
        day.SetYearMonth(each.year, each.month);
        EXPECT_STREQ(each.result, Text(day)) << each.shown << " in " << each.year << "-" << each.month;
        int year = 0, month = 0;
        day.GetYearMonth(year, month);
        EXPECT_EQ(each.year, year);
        EXPECT_EQ(each.month, month);
    }

    // February 2008 remembered: typing 2 then 9 keeps 29.
    day.SetYearMonth(2008, 2);
    day.Clear();
    Type(day, "29");
    EXPECT_STREQ("29", Text(day));
}

TEST_F(DateTimeFieldTest, BlankDayTakesTodayCutToTheMonth)
{
    CDateTimeField& day = Field(DateFieldDay);
    const SYSTEMTIME before = Now();
    day.SetYearMonth(2007, 2);
    const SYSTEMTIME after = Now();
    const int expected = before.wDay > 28 ? 28 : before.wDay;
    const int later = after.wDay > 28 ? 28 : after.wDay;
    EXPECT_TRUE(day.GetValue() == expected || day.GetValue() == later)
        << "expected " << expected << ", got " << day.GetValue();
}

TEST_F(DateTimeFieldTest, OnlyDayFieldsTakeAYearAndMonth)
{
    CDateTimeField& month = Field(DateFieldMonth);
    month.SetValueText("5");
    month.SetYearMonth(2008, 2);
    EXPECT_STREQ(" 5", Text(month));
    int year = 0, monthOut = 0;
    month.GetYearMonth(year, monthOut);
    EXPECT_EQ(-1, year);
    EXPECT_EQ(-1, monthOut);
}

// ---------------------------------------------------------------- kind, mouse

TEST_F(DateTimeFieldTest, KindIsSetOnce)
{
    CDateTimeField& hour = Field(DateFieldHour);
    EXPECT_EQ(DateFieldHour, hour.GetKind());
    hour.SetKind(DateFieldYear);
    EXPECT_EQ(DateFieldHour, hour.GetKind());
    const DWORD style = hour.GetStyle();
    EXPECT_EQ(0u, style & (ES_RIGHT | ES_CENTER));
    EXPECT_EQ(static_cast<DWORD>(WS_TABSTOP | ES_NOHIDESEL | ES_AUTOHSCROLL), style & (WS_TABSTOP | ES_NOHIDESEL | ES_AUTOHSCROLL));
    const LRESULT margins = ::SendMessageA(hour.m_hWnd, EM_GETMARGINS, 0, 0);
    EXPECT_EQ(4, LOWORD(margins));
    EXPECT_EQ(4, HIWORD(margins));
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
    EXPECT_EQ(minute.m_hWnd, ::GetFocus());
    EXPECT_EQ(nullptr, ::GetCapture()) << "no drag is started";

    ::SetCursor(nullptr);
    EXPECT_EQ(0, ::SendMessageA(minute.m_hWnd, WM_SETCURSOR, (WPARAM)minute.m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(nullptr, ::GetCursor()) << "no text cursor is set";
}
