// The service order dialog: the provider's order page in a browser once the
// service has started, a status text and a retry button until then.
#pragma once
#include "browser/web_browser2.h"
#include "dialogs/registered_window.h"
#include "skin/resizable_dialog.h"

// What the order page's address is made of, as the service knows it now.
struct COrderPage {
    CString base;          // from the service's start-up answer
    int level = -1;        // the user's service level; -1: the host could not say
    CString registerPhone; // from the service's start-up answer
    CString userId;
    CString sessionId;
};

// What the order dialog needs of the service it shows.
class COrderService {
public:
    virtual ~COrderService() = default;
    virtual COrderPage GetOrderPage() = 0;
    // The user asked for another start-up.
    virtual void RetryService() = 0;
};

class COrderDlg : public CRegisteredDialog<CResizableDialog> {
    DECLARE_DYNCREATE(COrderDlg)
public:
    enum State { STATE_READY = -1, STATE_OFFLINE = 0, STATE_STARTING = 1, STATE_TIMEOUT = 2, STATE_FAILED = 3 };

    explicit COrderDlg(CWnd* parent = nullptr);

    // Creates the modeless window from template 3021 on the desktop, showing
    // the page and state of `service`, which outlives the dialog.
    BOOL Create(COrderService* service);
    void SetServiceState(State state);
    void NavigateOrderPage();

    CWebBrowser2 m_browser;
    CStatic m_status;
    CButton m_retry;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnRetry();

    State m_nState = STATE_OFFLINE;
    COrderService* m_pService = nullptr;

    DECLARE_MESSAGE_MAP()
};

// The order page's address: base, then option (by level), registerPhone,
// service, user_id and session_id, nothing escaped.
CString BuildOrderPageAddress(const COrderPage& page);
