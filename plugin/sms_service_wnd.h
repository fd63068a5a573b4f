// The plugin's hidden hub window: service start-up, the unread poll, the
// data that adapters receive, and the opening of the send and order dialogs.
#pragma once
#include "afxwin.h"
#include "dialogs/dialog_host.h"
#include "dialogs/order_dlg.h"
#include "plugin/start_up_pacing.h"
#include "store/message_store.h"
#include "store/store_repair.h"
#include "transport/service_text.h"

class CSmsAdapter;
class CSmsRecord;

class CSmsServiceWnd : public CWnd,
                       public CUnreadVisitor,
                       public CServiceTextSink,
                       public COrderService,
                       public CDialogHost {
public:
    static constexpr UINT_PTR TIMER_POLL = 300;
    static constexpr UINT TIMER_POLL_PERIOD_MS = 2000;
    static constexpr UINT_PTR TIMER_INIT = 301;
    // Posted by the store's held observer: a change that the message file
    // could not take waits in memory. wParam: the StoreFailure.
    static constexpr UINT WM_STOREHELD = WM_APP + 1;
    // Posted at log-in when the check of the message file found it damaged.
    // wParam: the check's outcome.
    static constexpr UINT WM_STORECHECKED = WM_APP + 2;

    // A hidden child of the desktop named "timer".
    BOOL CreateServiceWindow();
    // The plugin's exit: timers stopped, the adapter given back, the window
    // gone. A later plugin object makes the window again.
    void Shutdown();

    // 0: started or already running; -1: failed (the order dialog is told).
    int StartService();
    bool StartPollTimer();
    void StopPollTimer();
    void StopInitTimer();
    void OnLogout();
    // Each log-in, once the account's message file has been checked: a
    // damaged file is reported after the host's call returns, and a file that
    // cannot take changes may be reported once more.
    void OnLogin(CStoreRepair::Outcome checked, const CString& keptCopy);
    void OnServiceReady();
    void SetOrderState(COrderDlg::State state);
    void OpenOrderDialog();
    void ShowSendDialog(unsigned int number);
    // Shows the record, or queues it while its sender's dialog is open, its
    // older messages wait, or the plugin is offline.
    void DeliverMessage(CSmsRecord record);
    // 1 when the record was shown in a new view dialog.
    int ShowMessage(CSmsRecord* record, bool fromQueue, bool bringToFront);
    // Shows string `id` with the plugin's caption; returns the button pressed.
    int MessageBoxId(UINT id, UINT style);
    int MessageBoxText(const CString& text, UINT style);

    // Ready while the answered start-up's call lasts: a link that went down
    // took the call with it, and the next StartService begins anew.
    bool IsReady() const { return m_bReady && AdapterConnected(); }
    // Whether a start-up is under way (its timer runs).
    bool IsStarting() const { return m_nInitTimer != 0; }
    unsigned int GetInitElapsed() const { return m_startUp.ElapsedMs(); }
    bool IsPolling() const { return m_nPollTimer != 0; }
    // Milliseconds since the running start-up began.
    const CString& GetServiceUrl() const { return m_strServiceUrl; }
    const CString& GetRegisterPhone() const { return m_strRegisterPhone; }

    // CUnreadVisitor
    bool WantsUnread(int reserved) override;
    bool HandleUnread(CByteReader& reader) override;

    // CServiceTextSink
    bool AwaitsStartUpAnswer() override;
    void OnStartUpAnswer(const char* serviceUrl, const char* registerPhone, bool accepted) override;
    void OnServiceRecord(const CSmsRecord& record) override;

    // COrderService
    COrderPage GetOrderPage() override;
    void RetryService() override;

    // CDialogHost
    CString GetUserId() override;
    bool IsOnline() override;
    CString GetContactName(const CString& number) override;
    void OpenReplyDialog(const CString& number, const CString& name, POINT topLeft) override;

protected:
    void OnTimer(UINT_PTR id);
    LRESULT OnServiceData(WPARAM length, LPARAM data);
    LRESULT OnStoreHeld(WPARAM why, LPARAM);
    LRESULT OnStoreChecked(WPARAM outcome, LPARAM);
    void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    bool MoreServiceDataWaits();
    // Shows the dialog under `key` and makes it active, once no more
    // service data waits behind the block being handled.
    void BringToFront(const CString& key);
    bool StartInitTimer();
    bool EnsureAdapter();
    void ReleaseAdapter();
    int CallService();
    int SendServiceQuery();
    bool AdapterConnected() const;
    // The store's held observer: runs inside a store operation, so it only
    // notes the folder and posts.
    static void OnHeldByStore(StoreFailure why, const CString& folder);

    UINT_PTR m_nPollTimer = 0;
    UINT_PTR m_nInitTimer = 0;
    CStartUpPacing m_startUp;
    int m_bReady = 0;
    CString m_strServiceUrl;
    CString m_strRegisterPhone;
    // The dialog a burst's last message brings forward when it ends.
    CString m_strFrontKey;
    CSmsAdapter* m_pAdapter = nullptr;
    // The user hears once per log-in that the message file takes no changes;
    // one notice at a time waits in the queue however many changes are held.
    bool m_bToldHeld = false;
    bool m_bHeldPosted = false;
    CString m_strHeldFolder;
    // The damaged file's kept copy, or the file that could not be checked.
    CString m_strCheckedFile;
};

extern CSmsServiceWnd g_wndService;
