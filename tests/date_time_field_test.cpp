// The date and time fields through real edit windows: digits kept within
// each part's range as they are typed, blanks completed at focus loss, and
// the day cut to its month.
#include "controls/date_time_field.h"
#include "controls_test_parent.h"
#include "window_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class DateTimeFieldTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int kind = DateFieldYear; kind <= DateFieldMinute; ++kind) {
            m_parent.CreateEdit(m_fields[kind], ES_NUMBER | ES_RIGHT);
            m_fields[kind].SetKind(kind);
            m_fields[kind].Clear();
        }
    }
    void Type(CDateTimeField& field, const char* keys)
    {
        for (const char* each = keys; *each; ++each) ::PostMessageA(field.m_hWnd, WM_CHAR, static_cast<BYTE>(*each), 1);
        PumpMessages();
    }
    CControlsTestParent m_parent;
    CDateTimeField m_fields[5];
};

} // namespace

// A digit extends the part while the result stays in range, else starts it
// again; the day's range is its month's (April 2026: 30 days). Anything but
// a digit is dropped.
TEST_F(DateTimeFieldTest, TypedDigitsKeepEachPartInRange)
{
    m_fields[DateFieldDay].SetYearMonth(2026, 4);
    const struct {
        int kind;
        const char* keys;
        const char* shown;
    } cases[] = {
        {DateFieldMonth, "12", "12"},  {DateFieldMonth, "13", " 3"},    {DateFieldMonth, "00", "00"},
        {DateFieldMonth, "121", " 1"}, {DateFieldYear, "2026", "2026"}, {DateFieldYear, "20267", "   7"},
        {DateFieldDay, "31", " 1"},    {DateFieldDay, "30", "30"},      {DateFieldHour, "23", "23"},
        {DateFieldHour, "243", " 3"},  {DateFieldMinute, "596", " 6"},  {DateFieldHour, "1x \b-7", "17"},
    };
    for (const auto& each : cases) {
        CDateTimeField& field = m_fields[each.kind];
        field.Clear();
        Type(field, each.keys);
        EXPECT_EQ(each.shown, WindowText(field.m_hWnd)) << "kind " << each.kind << ", typed " << each.keys;
    }
    SetClipboardText("34");
    ::SendMessageA(m_fields[DateFieldHour].m_hWnd, WM_PASTE, 0, 0);
    EXPECT_EQ("17", WindowText(m_fields[DateFieldHour].m_hWnd)) << "pasted text is refused";
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
        {DateFieldYear, "", "2026"},      {DateFieldYear, "8", "2028"}, {DateFieldYear, "199", "2199"},
        {DateFieldYear, "1999", nullptr}, {DateFieldMonth, "0", "7"},   {DateFieldMonth, "3", nullptr},
        {DateFieldDay, "", "9"},          {DateFieldHour, "", "0"},     {DateFieldMinute, "00", nullptr},
    };
    for (const auto& each : cases) {
        CString result;
        const BOOL changed = DateFocusLostDigits(each.kind, each.digits, now, result);
        EXPECT_EQ(each.result != nullptr, changed) << "kind " << each.kind << ", \"" << each.digits << "\"";
        if (each.result && changed) EXPECT_STREQ(each.result, result) << "kind " << each.kind;
    }
}

TEST_F(DateTimeFieldTest, DayIsCutToItsMonth)
{
    CDateTimeField& day = m_fields[DateFieldDay];
    const struct {
        const char* shown;
        int year, month;
        const char* result;
    } cases[] = {
        {"31", 2008, 2, "29"}, {"31", 2007, 2, "28"}, {"31", 1900, 2, "28"}, {"31", 2000, 2, "29"},
        {"31", 2100, 2, "28"}, {"31", 2400, 2, "29"}, {"31", 2026, 4, "30"}, {"15", 2026, 2, "15"},
    };
    for (const auto& each : cases) {
        day.SetValueText(each.shown);
        day.SetYearMonth(each.year, each.month);
        EXPECT_EQ(each.result, WindowText(day.m_hWnd)) << each.shown << " in " << each.year << "-" << each.month;
    }
    // February 2008 remembered: typing 2 then 9 keeps 29.
    day.SetYearMonth(2008, 2);
    day.Clear();
    Type(day, "29");
    EXPECT_EQ("29", WindowText(day.m_hWnd));
}
