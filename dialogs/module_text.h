// The module's own texts, from its string table, and the message boxes
// that show them.
#pragma once
#include "afxwin.h"

CString LoadText(UINT id);
// A box over `owner` saying `text` under the caption string `captionId`.
int MessageBoxText(HWND owner, const CString& text, UINT captionId, UINT style);
