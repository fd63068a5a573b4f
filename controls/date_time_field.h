// One part of the send dialog's scheduled time (year, month, day, hour or
// minute) as an edit control that behaves like a segment of a date and time
// picker: digits only, kept within the part's range while typed, completed
// from the clock when left blank.
#pragma once
#include "afxwin.h"

// Sent to the parent after each accepted digit; lParam is the CDateTimeField.
#define WM_DATEFIELD_TYPED (WM_USER + 3000)
// Sent to the parent at focus loss when the value changed; wParam is the
// value the field had when it got the focus, lParam the CDateTimeField.
#define WM_DATEFIELD_CHANGED (WM_USER + 3001)

// ---------------------------------------------------------------- date rules

enum DateFieldKind { DateFieldNone = -1, DateFieldYear = 0, DateFieldMonth, DateFieldDay, DateFieldHour, DateFieldMinute };

BOOL DateIsLeapYear(int year);
// 28 to 31; a month outside 1 to 12 cuts nothing, so it gives 31.
int DateDaysInMonth(int year, int month);
// The field's text for `value`: right-aligned in 4 characters for a year, 2
// for the other kinds; a longer value is kept whole.
CString DateFieldText(int kind, LPCSTR value);
// The text without its leading blanks.
CString DateFieldDigits(LPCSTR text);
// The digits a field of `kind` shows after digit `ch` is typed into a field
// showing `digits` (without blanks); a day is checked against `month` of
// `year`. FALSE when `ch` is no digit or the kind is unknown.
BOOL DateTypedDigits(int kind, LPCSTR digits, char ch, int year, int month, CString& result);
// The part of `now` that a field of `kind` shows; -1 for an unknown kind.
int DateNowPart(int kind, const SYSTEMTIME& now);
// What a field of `kind` showing `digits` shows when it loses the focus at
// `now`: FALSE when it keeps its text. A blank field (and a month or day of 0)
// takes the clock's value; a year of fewer than four digits is completed with
// the leading digits of the current year.
BOOL DateFocusLostDigits(int kind, LPCSTR digits, const SYSTEMTIME& now, CString& result);

// ---------------------------------------------------------------- the control

class CDateTimeField : public CEdit {
    DECLARE_DYNAMIC(CDateTimeField)
public:
    CDateTimeField();

    void SetKind(int kind);
    int GetKind() const { return m_nKind; }
    int GetValue() const;
    void SetValueText(LPCSTR text);
    void Clear() { SetValueText(""); }
    void SetNow();
    void SetYearMonth(int year, int month);
    void GetYearMonth(int& year, int& month) const;
    void SelectDigits();

protected:
    void OnChar(UINT ch, UINT repeatCount, UINT flags);
    void OnSetFocus(CWnd* oldWnd);
    void OnKillFocus(CWnd* newWnd);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point) {}
    void OnLButtonDblClk(UINT flags, CPoint point) {}
    void OnMouseMove(UINT flags, CPoint point) {}
    void OnContextMenu(CWnd* wnd, CPoint point) {}
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) { return FALSE; }
    LRESULT OnPaste(WPARAM, LPARAM) { return 0; }

    CString GetDigits() const;
    void NotifyParent(UINT message, WPARAM wParam);

    int m_nKind = DateFieldNone;
    int m_nYear;
    int m_nMonth;
    int m_nFocusValue = 0;

    DECLARE_MESSAGE_MAP()
};
