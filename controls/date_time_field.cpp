#include "date_time_field.h"

#include <stdlib.h>

// ---------------------------------------------------------------- date rules

BOOL DateIsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DateDaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 31;
    if (month == 2 && DateIsLeapYear(year)) return 29;
    return days[month - 1];
}

CString DateFieldText(int kind, LPCSTR value)
{
    CString text;
    text.Format(kind == DateFieldYear ? "%4s" : "%2s", value ? value : "");
    return text;
}

CString DateFieldDigits(LPCSTR text)
{
    if (!text) return CString();
    while (*text == ' ') ++text;
    return CString(text);
}

BOOL DateTypedDigits(int kind, LPCSTR digits, char ch, int year, int month, CString& result)
{
    if (ch < '0' || ch > '9') return FALSE;
    const CString joined = CString(digits) + ch;
    const int length = CString(digits).GetLength();
    BOOL extend;
    switch (kind) {
    case DateFieldYear: extend = length < 4; break;
    // The other parts take at most two digits, and only while the two stay
    // within the part's range; otherwise the digit starts a new value.
    case DateFieldMonth: extend = length == 1 && atoi(joined) < 13; break;
    case DateFieldDay: extend = length == 1 && atoi(joined) <= DateDaysInMonth(year, month); break;
    case DateFieldHour: extend = length == 1 && atoi(joined) < 24; break;
    case DateFieldMinute: extend = length == 1 && atoi(joined) < 60; break;
    default: return FALSE;
    }
    result = extend ? joined : CString(ch);
    return TRUE;
}

int DateNowPart(int kind, const SYSTEMTIME& now)
{
    switch (kind) {
    case DateFieldYear: return now.wYear;
    case DateFieldMonth: return now.wMonth;
    case DateFieldDay: return now.wDay;
    case DateFieldHour: return now.wHour;
    case DateFieldMinute: return now.wMinute;
    default: return -1;
    }
}

BOOL DateFocusLostDigits(int kind, LPCSTR digits, const SYSTEMTIME& now, CString& result)
{
    const CString typed(digits);
    BOOL fromClock;
    switch (kind) {
    case DateFieldYear:
        if (!typed.IsEmpty() && typed.GetLength() < 4) {
            // "8" typed in 2026 means 2028: the current year's leading digits.
            CString year;
            year.Format("%d", now.wYear);
            result = year.Left(4 - typed.GetLength()) + typed;
            return TRUE;
        }
        fromClock = typed.IsEmpty();
        break;
    // A month or day of 0 is no date.
    case DateFieldMonth:
    case DateFieldDay: fromClock = typed.IsEmpty() || atoi(typed) == 0; break;
    case DateFieldHour:
    case DateFieldMinute: fromClock = typed.IsEmpty(); break;
    default: return FALSE;
    }
    if (!fromClock) return FALSE;
    result.Format("%d", DateNowPart(kind, now));
    return TRUE;
}

// ---------------------------------------------------------------- the control

IMPLEMENT_DYNAMIC(CDateTimeField, CEdit)

BEGIN_MESSAGE_MAP(CDateTimeField, CEdit)
    ON_WM_CHAR()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_MOUSEMOVE()
    ON_WM_CONTEXTMENU()
    ON_WM_SETCURSOR()
    // Text enters by typed digits only.
    ON_MESSAGE(WM_PASTE, OnPaste)
END_MESSAGE_MAP()

CDateTimeField::CDateTimeField()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    m_nYear = now.wYear;
    m_nMonth = now.wMonth;
}

void CDateTimeField::SetKind(int kind)
{
    if (m_nKind != DateFieldNone || kind < DateFieldYear || kind > DateFieldMinute) return;
    m_nKind = kind;
    SetMargins(4, 4);
    ModifyStyle(ES_CENTER | ES_RIGHT, WS_TABSTOP | ES_NOHIDESEL | ES_AUTOHSCROLL);
}

CString CDateTimeField::GetDigits() const
{
    CString text;
    GetWindowText(text);
    return DateFieldDigits(text);
}

int CDateTimeField::GetValue() const { return atoi(GetDigits()); }

void CDateTimeField::SetValueText(LPCSTR text) { SetWindowText(DateFieldText(m_nKind, text)); }

void CDateTimeField::SetNow()
{
    if (m_nKind == DateFieldNone) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CString value;
    value.Format("%d", DateNowPart(m_nKind, now));
    SetValueText(value);
}

void CDateTimeField::SetYearMonth(int year, int month)
{
    if (m_nKind != DateFieldDay) return;
    int day = GetValue();
    if (day == 0) {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        day = now.wDay;
    }
    m_nYear = year;
    m_nMonth = month;
    const int days = DateDaysInMonth(year, month);
    if (day > days) day = days;
    CString value;
    value.Format("%d", day);
    SetValueText(value);
}

void CDateTimeField::GetYearMonth(int& year, int& month) const
{
    if (m_nKind == DateFieldDay) {
        year = m_nYear;
        month = m_nMonth;
    } else {
        year = -1;
        month = -1;
    }
}

void CDateTimeField::SelectDigits()
{
    CString text;
    GetWindowText(text);
    const int length = text.GetLength();
    const int digits = DateFieldDigits(text).GetLength();
    if (digits > 0) SetSel(length - digits, length);
    else SetSel(length - 1, length);
}

void CDateTimeField::NotifyParent(UINT message, WPARAM wParam)
{
    if (HWND parent = ::GetParent(m_hWnd)) ::SendMessageA(parent, message, wParam, reinterpret_cast<LPARAM>(this));
}

void CDateTimeField::OnChar(UINT ch, UINT, UINT)
{
    // Nothing else reaches the edit control: not even Backspace.
    if (GetStyle() & ES_READONLY) return;
    CString digits;
    if (ch > 0xFF || !DateTypedDigits(m_nKind, GetDigits(), static_cast<char>(ch), m_nYear, m_nMonth, digits)) return;
    SetValueText(digits);
    NotifyParent(WM_DATEFIELD_TYPED, 0);
    SelectDigits();
}

void CDateTimeField::OnSetFocus(CWnd*)
{
    Default();
    HideCaret();
    SelectDigits();
    m_nFocusValue = GetValue();
}

void CDateTimeField::OnKillFocus(CWnd*)
{
    Default();
    SetSel(-1, 0);
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    CString digits;
    if (DateFocusLostDigits(m_nKind, GetDigits(), now, digits)) SetValueText(digits);
    if (GetValue() != m_nFocusValue) NotifyParent(WM_DATEFIELD_CHANGED, static_cast<WPARAM>(m_nFocusValue));
}

void CDateTimeField::OnLButtonDown(UINT, CPoint)
{
    // A click only focuses: the caret and the selection stay where focusing put them.
    if (::GetFocus() != m_hWnd) SetFocus();
}
