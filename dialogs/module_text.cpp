#include "module_text.h"

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

int MessageBoxText(HWND owner, const CString& text, UINT captionId, UINT style)
{
    return ::MessageBoxA(owner, text, LoadText(captionId), style);
}
