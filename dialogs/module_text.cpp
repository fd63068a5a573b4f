#include "module_text.h"

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

int MessageBoxText(HWND owner, const CString& text, UINT captionId, UINT style)
{
    const CString caption = LoadText(captionId);
    // The box's own buttons speak the module's language, not the system's.
    MSGBOXPARAMSA box = {};
    box.cbSize = sizeof box;
    box.hwndOwner = owner;
    box.lpszText = text;
    box.lpszCaption = caption;
    box.dwStyle = style;
    box.dwLanguageId = AfxGetResourceLanguage();
    return ::MessageBoxIndirectA(&box);
}
