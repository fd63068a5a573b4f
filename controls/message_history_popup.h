// The captionless popup that hangs under the send and view dialogs and lists
// the messages exchanged with one contact; a double-clicked entry's text goes
// to the owning dialog.
#pragma once
#include "afxwin.h"
#include "controls/message_history_list.h"
#include "skin/skin_frame_dialog.h"

// Popup to owner: insert this text. wParam 0, lParam a NUL-terminated copy of
// the text, valid only while the message is handled.
#define WM_SMS_INSERTTEXT (WM_USER + 1000)

class CMessageHistoryPopup : public CSkinFrameDialog {
public:
    explicit CMessageHistoryPopup(CWnd* parent = nullptr);

    // Reloads the list; see CMessageHistoryList::FillHistory.
    void FillHistory(CString contactKey, CString contactLabel, CString ownLabel);
    // The owner's history button: hides a shown popup, or hangs it under the
    // owner, fills it and shows it without taking the activation.
    void Toggle(CWnd& owner, CString contactKey, CString contactLabel, CString ownLabel);
    // Keeps a shown popup under its owner when the owner moves.
    void FollowOwner(CWnd& owner);

    BOOL OnInitDialog() override;
    // Enter and Escape leave the popup as it is: only the owner hides it.
    void OnOK() override {}
    void OnCancel() override {}

    CMessageHistoryList m_list;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnNcCreate(LPCREATESTRUCT create);
    void OnNcCalcSize(BOOL calculateValidRects, NCCALCSIZE_PARAMS* parameters);
    void OnSizing(UINT side, LPRECT rect);
    void OnListDblClk();

    DECLARE_MESSAGE_MAP()
};
