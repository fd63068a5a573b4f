// A message's text as a window may show it. The store keeps whatever arrived,
// up to 65,534 bytes of anything; an edit control or DrawText given tens of
// kilobytes of control characters lays them out for many seconds on the
// host's GUI thread. What is shown is therefore cut far beyond the longest
// real message and holds only bytes a window draws at once; the record
// itself is never changed.
#pragma once
#include "afxstr.h"

namespace shown_text {

// An SMS holds at most 140 bytes; a thousand leaves room for any signature
// or service notice and still lays out at once.
const int SHOWN_BYTES = 1000;

// The first `limitBytes` bytes of `text` (no double-byte character split, no
// CR LF pair split), each control byte other than a CR LF pair shown as
// '?', and `cutMark` added when something was left out. A null text is empty.
CString ShownText(const char* text, int limitBytes, const char* cutMark);

// ShownText with SHOWN_BYTES and the module's own mark from its string table.
CString ShownMessageText(const char* text);

} // namespace shown_text
