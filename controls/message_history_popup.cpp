#include "controls/message_history_popup.h"

#include "res/resource.h"
#include "store/sms_record.h"

BEGIN_MESSAGE_MAP(CMessageHistoryPopup, CSkinFrameDialog)
    ON_WM_NCCREATE()
    ON_WM_NCCALCSIZE()
    ON_WM_SIZING()
    ON_LBN_DBLCLK(IDC_HISTORY_LIST, OnListDblClk)
END_MESSAGE_MAP()

CMessageHistoryPopup::CMessageHistoryPopup(CWnd* parent) : CSkinFrameDialog(IDD_HISTORY_POPUP, parent) {}

void CMessageHistoryPopup::DoDataExchange(CDataExchange* dx)
{
    CSkinFrameDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_HISTORY_LIST, m_list);
}

BOOL CMessageHistoryPopup::OnInitDialog()
{
    const BOOL result = CSkinFrameDialog::OnInitDialog();
    // The list always fills the popup.
    AnchorControl(IDC_HISTORY_LIST, AnchorTopLeft, AnchorBottomRight);
    return result;
}

namespace {

void HangUnder(CWnd& popup, CWnd& owner)
{
    RECT rect;
    owner.GetWindowRect(&rect);
    popup.SetWindowPos(nullptr, rect.left, rect.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

void CMessageHistoryPopup::Toggle(CWnd& owner, CString contactKey, CString contactLabel, CString ownLabel)
{
    if (!m_hWnd) return;
    if (IsWindowVisible()) {
        ShowWindow(SW_HIDE);
        return;
    }
    HangUnder(*this, owner);
    FillHistory(contactKey, contactLabel, ownLabel);
    ShowWindow(SW_SHOWNOACTIVATE);
}

void CMessageHistoryPopup::FollowOwner(CWnd& owner)
{
    if (m_hWnd && IsWindowVisible()) HangUnder(*this, owner);
}

void CMessageHistoryPopup::FillHistory(CString contactKey, CString contactLabel, CString ownLabel)
{
    m_list.FillHistory(contactKey, contactLabel, ownLabel);
}

BOOL CMessageHistoryPopup::OnNcCreate(LPCREATESTRUCT)
{
    return Default() != 0;
}

void CMessageHistoryPopup::OnNcCalcSize(BOOL calculateValidRects, NCCALCSIZE_PARAMS* parameters)
{
    ::DefWindowProcA(m_hWnd, WM_NCCALCSIZE, calculateValidRects, reinterpret_cast<LPARAM>(parameters));
}

// Only the bottom edge moves freely: any other drag puts the popup back
// under its parent, as wide as the parent.
void CMessageHistoryPopup::OnSizing(UINT side, LPRECT rect)
{
    CWnd* parent = GetParent();
    if (side != WMSZ_BOTTOM && parent) {
        RECT parentRect;
        parent->GetWindowRect(&parentRect);
        rect->left = parentRect.left;
        rect->top = parentRect.bottom;
        rect->right = parentRect.right;
    }
    Default();
}

void CMessageHistoryPopup::OnListDblClk()
{
    CWnd* parent = GetParent();
    const int selected = m_list.GetCurSel();
    // A single entry is never handed on.
    if (!parent || selected < 0 || m_list.GetCount() <= 1) return;
    const CSmsRecord* record = m_list.GetRecord(selected);
    if (!record) return;
    // The owner may change the list while it handles the text.
    const CString text = record->text;
    parent->SendMessage(WM_SMS_INSERTTEXT, 0, reinterpret_cast<LPARAM>(static_cast<LPCSTR>(text)));
}
