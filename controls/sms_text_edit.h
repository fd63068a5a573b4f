// The message and signature fields of the send dialog: an edit control that
// keeps its text within a character limit, where a double-byte character
// counts as one, and whose limit depends on whether the text holds one.
#pragma once
#include "afxwin.h"

// Sent to the parent when the edit has lost the focus; lParam is the
// CSmsTextEdit, so that the parent can tell its two fields apart.
#define WM_SMS_EDITKILLFOCUS (WM_USER + 2001)

// ---------------------------------------------------------------- counting rules
// Texts are byte strings in the process's ANSI code page (GBK).

// Characters in `text`: a lead byte and its trail byte are one character; a
// lead byte cut off by the end of the text still counts as one.
int SmsCharCount(LPCSTR text);
// Whether `text` holds a double-byte character.
BOOL SmsIsWideText(LPCSTR text);
// Bytes taken by the first `count` characters of `text` (all of it when it
// is shorter); a double-byte character is never split.
int SmsCharPrefixBytes(LPCSTR text, int count);
// The limit that applies to a field holding `text`.
int SmsApplicableLimit(LPCSTR text, int wideLimit, int narrowLimit);
// Whether a typed character is counted at all: printable ASCII, space, CR and
// LF are; control keys and the bytes of double-byte characters are not.
BOOL SmsIsCheckedTypedChar(UINT ch);
// Whether typed character `ch` may join a field holding `text` (its
// selection already removed). A line break needs room for two characters.
BOOL SmsTypedCharFits(LPCSTR text, UINT ch, int wideLimit, int narrowLimit);
// The part of `insert` that may replace an empty selection in a field
// holding `text`: as many whole characters as the limit leaves room for,
// and, when a narrow field would turn wide, no more than the wide limit allows.
CString SmsLimitedPiece(LPCSTR text, LPCSTR insert, int wideLimit, int narrowLimit);

// What an input-method composition has produced so far.
struct SmsComposeState {
    UINT count; // characters in the field at the start, plus those accepted
    BOOL wide;  // the field held, or the composition produced, a double-byte character
};
// Counts input-method character `imeChar` (a double-byte character as lead
// byte * 256 + trail byte) into `state`; FALSE when it does not fit.
BOOL SmsAcceptComposedChar(SmsComposeState& state, UINT imeChar, int wideLimit, int narrowLimit);

// ---------------------------------------------------------------- the control

class CSmsTextEdit : public CEdit {
    DECLARE_DYNAMIC(CSmsTextEdit)
public:
    CSmsTextEdit() = default;

    void SetLimits(int wideLimit, int narrowLimit);
    // Replaces the selection with as much of `text` as the limits leave room
    // for; a read-only field is left alone.
    void InsertLimited(LPCSTR text);

protected:
    void OnChar(UINT ch, UINT repeatCount, UINT flags);
    LRESULT OnImeStartComposition(WPARAM wParam, LPARAM lParam);
    LRESULT OnImeChar(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaste(WPARAM wParam, LPARAM lParam);
    void OnKillFocus(CWnd* newWnd);
    BOOL TakeDoubleByteChar(UINT ch);

    BOOL IsReadOnly() const { return (GetStyle() & ES_READONLY) != 0; }
    CString GetText() const;

    // Until the owner sets them, nothing is limited.
    int m_nWideLimit = 0x7FFFFFFF;
    int m_nNarrowLimit = 0x7FFFFFFF;
    UINT m_nComposeCount = 0;
    BOOL m_bComposeWide = FALSE;
    // The first byte of a double-byte character typed as two WM_CHARs, 0
    // when none waits for its second byte.
    BYTE m_nLeadByte = 0;

    DECLARE_MESSAGE_MAP()
};
