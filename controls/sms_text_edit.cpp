#include "sms_text_edit.h"

#include <string>

// ---------------------------------------------------------------- counting rules

namespace {

// Bytes of the character that starts at `text`, 0 at the end.
int CharBytes(LPCSTR text)
{
    if (!text[0]) return 0;
    if (::IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1]) return 2;
    return 1;
}

} // namespace

int SmsCharCount(LPCSTR text)
{
    if (!text) return 0;
    int count = 0;
    for (int step; (step = CharBytes(text)) != 0; text += step) ++count;
    return count;
}

BOOL SmsIsWideText(LPCSTR text)
{
    return text && SmsCharCount(text) != static_cast<int>(strlen(text));
}

int SmsCharPrefixBytes(LPCSTR text, int count)
{
    if (!text) return 0;
    int bytes = 0;
    for (int step; count > 0 && (step = CharBytes(text + bytes)) != 0; --count) bytes += step;
    return bytes;
}

int SmsApplicableLimit(LPCSTR text, int wideLimit, int narrowLimit)
{
    return SmsIsWideText(text) ? wideLimit : narrowLimit;
}

BOOL SmsIsCheckedTypedChar(UINT ch)
{
    // Single-byte graphic characters are 0x21 to 0x7E in every ANSI code page.
    return (ch > 0x20 && ch < 0x7F) || ch == ' ' || ch == '\n' || ch == '\r';
}

BOOL SmsTypedCharFits(LPCSTR text, UINT ch, int wideLimit, int narrowLimit)
{
    long long limit = SmsApplicableLimit(text, wideLimit, narrowLimit);
    // Enter inserts CR LF, two characters.
    if (ch == '\r' || ch == '\n') limit -= 1;
    return SmsCharCount(text) < limit;
}

CString SmsLimitedPiece(LPCSTR text, LPCSTR insert, int wideLimit, int narrowLimit)
{
    if (!insert) return CString();
    const int count = SmsCharCount(text);
    const long long room = static_cast<long long>(SmsApplicableLimit(text, wideLimit, narrowLimit)) - count;
    if (room <= 0) return CString();
    int bytes = SmsCharPrefixBytes(insert, room > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(room));
    CString piece(insert, bytes);
    if (!SmsIsWideText(text) && SmsIsWideText(piece)) {
        // The piece turns the field wide, and the wide limit is the one that
        // holds once it is in.
        const long long wideRoom = static_cast<long long>(wideLimit) - count;
        if (wideRoom < 1) return CString();
        if (SmsCharCount(piece) > wideRoom) piece = CString(insert, SmsCharPrefixBytes(insert, static_cast<int>(wideRoom)));
    }
    // Half a line break would stay in the field as a stray CR.
    const int length = piece.GetLength();
    if (length > 0 && piece[length - 1] == '\r' && insert[length] == '\n') piece = piece.Left(length - 1);
    return piece;
}

BOOL SmsAcceptComposedChar(SmsComposeState& state, UINT imeChar, int wideLimit, int narrowLimit)
{
    if (!state.wide && imeChar > 0x7F) state.wide = TRUE;
    const long long limit = state.wide ? wideLimit : narrowLimit;
    if (static_cast<long long>(state.count) >= limit) return FALSE;
    ++state.count;
    return TRUE;
}

// ---------------------------------------------------------------- the control

IMPLEMENT_DYNAMIC(CSmsTextEdit, CEdit)

BEGIN_MESSAGE_MAP(CSmsTextEdit, CEdit)
    ON_WM_CHAR()
    ON_MESSAGE(WM_IME_STARTCOMPOSITION, OnImeStartComposition)
    ON_MESSAGE(WM_IME_CHAR, OnImeChar)
    ON_MESSAGE(WM_PASTE, OnPaste)
    ON_WM_KILLFOCUS()
END_MESSAGE_MAP()

void CSmsTextEdit::SetLimits(int wideLimit, int narrowLimit)
{
    m_nWideLimit = wideLimit;
    m_nNarrowLimit = narrowLimit;
}

CString CSmsTextEdit::GetText() const
{
    CString text;
    GetWindowText(text);
    return text;
}

void CSmsTextEdit::InsertLimited(LPCSTR text)
{
    if (IsReadOnly()) return;
    ReplaceSel("", TRUE);
    const CString piece = SmsLimitedPiece(GetText(), text, m_nWideLimit, m_nNarrowLimit);
    if (!piece.IsEmpty()) ReplaceSel(piece, TRUE);
}

// A double-byte character typed through the ANSI window procedure arrives
// as two WM_CHARs. An edit control that is Unicode inside (Wine's) would turn
// each byte into a character of its own, so the pair is put together here
// and inserted as the one character that it is. TRUE when `ch` was taken.
BOOL CSmsTextEdit::TakeDoubleByteChar(UINT ch)
{
    if (m_nLeadByte) {
        const char pair[3] = {static_cast<char>(m_nLeadByte), static_cast<char>(ch), 0};
        m_nLeadByte = 0;
        // Second bytes of GBK (and of the other double-byte code pages) lie
        // from 0x40 up, 0x7F and 0xFF excepted.
        if (ch >= 0x40 && ch <= 0xFE && ch != 0x7F) {
            ReplaceSel(pair, TRUE);
            return TRUE;
        }
        // No second byte: the lone first one is dropped, and `ch` is a character of its own.
    }
    if (ch >= 0x80 && ch <= 0xFF && ::IsDBCSLeadByte(static_cast<BYTE>(ch))) {
        m_nLeadByte = static_cast<BYTE>(ch);
        return TRUE;
    }
    return FALSE;
}

void CSmsTextEdit::OnChar(UINT ch, UINT, UINT)
{
    if (IsReadOnly()) {
        Default();
        return;
    }
    // Double-byte characters pass unlimited: those of an input method are
    // limited at WM_IME_CHAR, where the character arrives whole.
    if (TakeDoubleByteChar(ch)) return;
    if (ch >= 0x80 || !SmsIsCheckedTypedChar(ch)) {
        Default();
        return;
    }
    // The selection goes whatever the outcome, as it would for a plain edit.
    ReplaceSel("", TRUE);
    if (SmsTypedCharFits(GetText(), ch, m_nWideLimit, m_nNarrowLimit)) Default();
}

LRESULT CSmsTextEdit::OnImeStartComposition(WPARAM, LPARAM)
{
    if (!IsReadOnly()) {
        ReplaceSel("", TRUE);
        const CString text = GetText();
        m_nComposeCount = static_cast<UINT>(SmsCharCount(text));
        m_bComposeWide = SmsIsWideText(text);
    }
    return Default();
}

LRESULT CSmsTextEdit::OnImeChar(WPARAM wParam, LPARAM)
{
    if (!IsReadOnly()) {
        SmsComposeState state = {m_nComposeCount, m_bComposeWide};
        const BOOL accepted = SmsAcceptComposedChar(state, static_cast<UINT>(wParam), m_nWideLimit, m_nNarrowLimit);
        m_nComposeCount = state.count;
        m_bComposeWide = state.wide;
        if (!accepted) return 0;
    }
    return Default();
}

namespace {

// Another program may hold the clipboard for a moment.
BOOL OpenClipboardBriefly(HWND owner)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (::OpenClipboard(owner)) return TRUE;
        ::Sleep(10);
    }
    return FALSE;
}

// The clipboard's CF_TEXT, empty when there is none; FALSE when the
// clipboard stayed busy. The block is read no further than its size, whether
// or not its owner ended the text.
BOOL GetClipboardText(HWND owner, CString& text)
{
    if (!OpenClipboardBriefly(owner)) return FALSE;
    text.Empty();
    if (HANDLE data = ::GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(::GlobalLock(data))) {
            const size_t size = ::GlobalSize(data);
            size_t length = 0;
            while (length < size && bytes[length]) ++length;
            text = CString(bytes, static_cast<int>(length));
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return TRUE;
}

} // namespace

LRESULT CSmsTextEdit::OnPaste(WPARAM, LPARAM)
{
    if (IsReadOnly()) return 0;
    // A clipboard that another program keeps busy leaves the field as it was.
    CString text;
    if (GetClipboardText(m_hWnd, text)) InsertLimited(text);
    return 0;
}

void CSmsTextEdit::OnKillFocus(CWnd*)
{
    m_nLeadByte = 0;
    Default();
    if (HWND parent = ::GetParent(m_hWnd))
        ::SendMessageA(parent, WM_SMS_EDITKILLFOCUS, 0, reinterpret_cast<LPARAM>(this));
}
