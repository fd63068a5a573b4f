#include "receive_message_dlg.h"

#include "controls/shown_text.h"
#include "dialog_host.h"
#include "message_panel.h"
#include "module_text.h"
#include "res/resource.h"
#include "skin/ixa_skin.h"
#include "store/message_store.h"

IMPLEMENT_DYNCREATE(CReceiveMessageDlg, CDialog)

BEGIN_MESSAGE_MAP(CReceiveMessageDlg, CDialog)
    ON_WM_MOVE()
    ON_BN_CLICKED(IDC_VIEW_HISTORY, OnHistory)
    ON_BN_CLICKED(IDC_VIEW_REPLY, OnReply)
    ON_BN_CLICKED(IDC_VIEW_BACK_NEXT, OnBackOrNext)
END_MESSAGE_MAP()

CReceiveMessageDlg::CReceiveMessageDlg() : CRegisteredDialog(IDD_VIEW_MESSAGE, nullptr) {}

BOOL CReceiveMessageDlg::CreateWithRecord(const CSmsRecord& record)
{
    m_record = record;
    return CDialog::Create(IDD_VIEW_MESSAGE, CWnd::GetDesktopWindow());
}

void CReceiveMessageDlg::SetMoreWaiting()
{
    if (m_nNextMode != 0) return;
    SetBackNextText(IDS_NEXT);
    m_nNextMode = 1;
}

void CReceiveMessageDlg::SetBackNextText(UINT id)
{
    if (m_hWnd) ::SetDlgItemTextA(m_hWnd, IDC_VIEW_BACK_NEXT, LoadText(id));
}

CString CReceiveMessageDlg::DateTimeLine(const CString& time)
{
    CString date, clock;
    const int space = time.Find(' ');
    if (space >= 0) {
        date = time.Left(space + 1);
        clock = static_cast<const char*>(time) + space + 1;
    }
    CString line;
    line.Format("%s%s%25s%s", static_cast<const char*>(LoadText(IDS_DATE_LABEL)), static_cast<const char*>(date),
                static_cast<const char*>(LoadText(IDS_TIME_LABEL)), static_cast<const char*>(clock));
    return line;
}

void CReceiveMessageDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_VIEW_PANEL, m_panel);
    DDX_Control(dx, IDC_VIEW_BODY, m_body);
}

BOOL CReceiveMessageDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SkinMessagePanel(*this, m_body, m_panel, MESSAGE_BAND_HEIGHT, IDC_VIEW_SENDER_CAPTION);
    FillFromRecord();
    return TRUE;
}

void CReceiveMessageDlg::FillFromRecord()
{
    m_strPeerId = m_record.peer;
    CDialogHost* host = GetDialogHost();
    m_strPeerName = host ? host->GetContactName(m_strPeerId) : m_strPeerId;

    HWND reply = ::GetDlgItem(m_hWnd, IDC_VIEW_REPLY);
    const bool notice = m_record.kind == CSmsRecord::KIND_UNDELIVERED;
    const CString who = notice ? LoadText(IDS_SYSTEM_SENDER) : m_strPeerName;
    ::SetDlgItemTextA(m_hWnd, IDC_VIEW_SENDER, who + "(" + m_strPeerId + ")");
    // A notice comes from the service, to which there is nobody to answer.
    ::EnableWindow(reply, !notice);
    ::ShowWindow(reply, notice ? SW_HIDE : SW_SHOW);

    m_panel.SetWindowText(DateTimeLine(m_record.time));
    m_body.SetWindowText(shown_text::ShownMessageText(m_record.text));
}

void CReceiveMessageDlg::OnBackOrNext()
{
    if (m_nNextMode == 0) {
        OnCancel();
        return;
    }
    CSmsRecord next;
    if (!CMessageStore::TakeNextUnread(m_strPeerId, next, m_nNextMode)) {
        MessageBoxText(m_hWnd, LoadText(IDS_NO_NEXT_MESSAGE), IDS_VIEW_CAPTION, MB_ICONSTOP);
    } else {
        // Shown all the same when the file cannot take it: the store keeps
        // the record in memory until it can, and the user is told.
        CMessageStore::AddHistory(next);
        m_record = next;
        FillFromRecord();
    }
    if (m_nNextMode == 0) SetBackNextText(IDS_BACK);
}

void CReceiveMessageDlg::OnReply()
{
    if (m_record.kind == CSmsRecord::KIND_UNDELIVERED) return;
    RECT dialog;
    GetWindowRect(&dialog);
    if (CDialogHost* host = GetDialogHost())
        host->OpenReplyDialog(m_strPeerId, m_strPeerName, POINT{dialog.left, dialog.top});
    OnCancel();
}

void CReceiveMessageDlg::OnHistory()
{
    CDialogHost* host = GetDialogHost();
    ToggleHistoryPopup(*this, m_history, m_strPeerId, m_strPeerName, host ? host->GetUserId() : CString());
}

void CReceiveMessageDlg::OnMove(int, int)
{
    m_history.FollowOwner(*this);
}

// Enter does not close the dialog: the body is read-only and the user
// leaves with a button or Escape.
