// The service order dialog: the provider's order page in a browser once the
// service has started, a status text and a retry button until then.
#pragma once
#include "plugin/registered_window.h"
#include "skin/resizable_dialog.h"
#include "web_browser2.h"

class COrderDlg : public CResizableDialog, public CRegisteredWindow {
    DECLARE_DYNCREATE(COrderDlg)
public:
    enum State { STATE_READY = -1, STATE_OFFLINE = 0, STATE_STARTING = 1, STATE_TIMEOUT = 2, STATE_FAILED = 3 };

    explicit COrderDlg(CWnd* parent = nullptr);

    // Creates the modeless window from template 3021 on the desktop.
    BOOL Create();
    void SetServiceState(int state);
    void NavigateOrderPage();
    int GetServiceState() const { return m_nState; }

    CWebBrowser2 m_browser;
    CStatic m_status;
    CButton m_retry;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;
    void OnRetry();

    int m_nState = STATE_OFFLINE;

    DECLARE_MESSAGE_MAP()
};

// The order page's address: base, then option, registerPhone, service,
// user_id and session_id, nothing escaped. `level` < 0: the level query failed.
CString BuildOrderPageAddress(const char* base, int level, const char* phone, const char* userId,
                              const char* sessionId);
