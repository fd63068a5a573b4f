#include "message_panel.h"

#include "res/resource.h"
#include "skin/ixa_skin.h"

void SkinMessagePanel(CWnd& dialog, CSmsTextEdit& text, CSkinStatic& panel, int bandHeight, UINT captionId)
{
    SkinEditControl(text.m_hWnd, "EditSMS");
    text.ModifyStyle(0, WS_CLIPSIBLINGS);
    panel.SetMessageAreaHeight(bandHeight, FALSE);
    panel.ModifyStyle(0, WS_CLIPSIBLINGS);
    // Behind the field, so that the edit stays in front of the panel it sits on.
    ::SetWindowPos(panel.m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SkinStaticControl(::GetDlgItem(dialog.m_hWnd, captionId), "StaticBold");
}

void ToggleHistoryPopup(CWnd& dialog, CMessageHistoryPopup& popup, const CString& contactKey,
                        const CString& contactLabel, const CString& ownLabel)
{
    if (!popup.m_hWnd) {
        if (!popup.Create(IDD_HISTORY_POPUP, &dialog)) return;
        RECT owner, own;
        dialog.GetWindowRect(&owner);
        popup.GetWindowRect(&own);
        popup.SetWindowPos(nullptr, 0, 0, owner.right - owner.left, own.bottom - own.top,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    popup.Toggle(dialog, contactKey, contactLabel, ownLabel);
}
