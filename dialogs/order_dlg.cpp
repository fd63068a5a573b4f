#include "order_dlg.h"

#include "res/resource.h"

IMPLEMENT_DYNCREATE(COrderDlg, CResizableDialog)

BEGIN_MESSAGE_MAP(COrderDlg, CResizableDialog)
    ON_BN_CLICKED(IDC_ORDER_RETRY, OnRetry)
END_MESSAGE_MAP()

namespace {
const int kOpenWidth = 528;
const int kOpenHeight = 470;
}

CString BuildOrderPageAddress(const COrderPage& page)
{
    // Level 2 may add the service, level 3 manage it; anyone else binds a phone first.
    const char* option = page.level == 2 ? "add" : page.level == 3 ? "display" : "bind";
    CString address(page.base);
    address += CString("?option=") + option;
    address += "&registerPhone=" + page.registerPhone;
    address += "&service=1001";
    address += "&user_id=" + page.userId;
    address += "&session_id=" + page.sessionId;
    return address;
}

COrderDlg::COrderDlg(CWnd* parent) : CRegisteredDialog(IDD_ORDER, parent) {}

BOOL COrderDlg::Create(COrderService* service)
{
    m_pService = service;
    CWebBrowser2::RegisterControlClass();
    return CDialog::Create(IDD_ORDER, CWnd::GetDesktopWindow());
}

void COrderDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_ORDER_BROWSER, m_browser);
    DDX_Control(dx, IDC_ORDER_STATUS, m_status);
    DDX_Control(dx, IDC_ORDER_RETRY, m_retry);
}

BOOL COrderDlg::OnInitDialog()
{
    CResizableDialog::OnInitDialog();
    AnchorControl(IDC_ORDER_BROWSER, AnchorTopLeft, AnchorBottomRight);
    AnchorControl(IDC_ORDER_STATUS, AnchorMiddleLeft, AnchorMiddleRight);
    AnchorControl(IDC_ORDER_RETRY, AnchorMiddleCenter, AnchorMiddleCenter);
    SetWindowPos(nullptr, 0, 0, kOpenWidth, kOpenHeight, SWP_NOMOVE | SWP_NOZORDER);
    return TRUE;
}

void COrderDlg::SetServiceState(State state)
{
    m_nState = state;
    const bool ready = state == STATE_READY;
    m_browser.ShowWindow(ready ? SW_SHOW : SW_HIDE);
    m_status.ShowWindow(ready ? SW_HIDE : SW_SHOW);
    m_retry.ShowWindow(ready ? SW_HIDE : SW_SHOW);
    UINT text = 0;
    switch (state) {
    case STATE_READY:
        NavigateOrderPage();
        return;
    case STATE_OFFLINE: text = IDS_ORDER_OFFLINE; break;
    case STATE_STARTING: text = IDS_ORDER_STARTING; break;
    case STATE_TIMEOUT: text = IDS_ORDER_TIMEOUT; break;
    case STATE_FAILED: text = IDS_ORDER_FAILED; break;
    default: return;
    }
    // Only a failed or timed-out start-up can be retried.
    if (state == STATE_OFFLINE || state == STATE_STARTING) m_retry.ShowWindow(SW_HIDE);
    CString status;
    status.LoadString(text);
    m_status.SetWindowText(status);
}

void COrderDlg::NavigateOrderPage()
{
    if (!m_pService) return;
    m_browser.Navigate(BuildOrderPageAddress(m_pService->GetOrderPage()), nullptr, nullptr, nullptr, nullptr);
}

void COrderDlg::OnRetry()
{
    if (m_nState != STATE_TIMEOUT && m_nState != STATE_FAILED) return;
    if (m_pService) m_pService->RetryService();
}

