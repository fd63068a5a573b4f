#include "controls/shown_text.h"

#include "res/resource.h"

#include <windows.h>

namespace shown_text {

namespace {

const char kReplacement = '?';

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// The bytes of the character at `at` as it is shown: a double-byte character
// or a CR LF pair whole, a lead byte without its trail byte, or any other
// control byte, as one replacement.
int CharacterBytes(const unsigned char* at, bool& replace)
{
    replace = false;
    if (at[0] == '\r' && at[1] == '\n') return 2;
    // A trail byte is never below 0x40; a lead byte before anything lower
    // (a control byte, a digit, the end) would swallow it.
    if (::IsDBCSLeadByte(at[0])) {
        if (at[1] >= 0x40) return 2;
        replace = true;
        return 1;
    }
    replace = IsControl(at[0]);
    return 1;
}

} // namespace

CString ShownText(const char* text, int limitBytes, const char* cutMark)
{
    CString shown;
    if (!text) return shown;
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    int used = 0;
    while (*at) {
        bool replace = false;
        const int bytes = CharacterBytes(at, replace);
        if (used + bytes > limitBytes) {
            shown += cutMark;
            break;
        }
        if (replace)
            shown += kReplacement;
        else
            shown += CString(reinterpret_cast<const char*>(at), bytes);
        at += bytes;
        used += bytes;
    }
    return shown;
}

CString ShownMessageText(const char* text)
{
    CString mark;
    mark.LoadString(IDS_TEXT_CUT);
    return ShownText(text, SHOWN_BYTES, mark);
}

} // namespace shown_text
