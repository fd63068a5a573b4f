// The plugin's hidden hub window: service start-up, the unread poll, the
// data that adapters receive, and the opening of the send and order dialogs.
#pragma once
#include "afxwin.h"
#include "store/message_store.h"

class CSmsAdapter;
class CSmsRecord;

class CSmsServiceWnd : public CWnd, public CUnreadVisitor {
public:
    static constexpr UINT_PTR TIMER_POLL = 300;
    static constexpr UINT TIMER_POLL_PERIOD_MS = 2000;
    static constexpr UINT_PTR TIMER_INIT = 301;
    static constexpr UINT TIMER_INIT_PERIOD_MS = 100;
    static constexpr UINT CALL_LIMIT_MS = 3000;
    static constexpr UINT QUERY_LIMIT_MS = 6000;

    ~CSmsServiceWnd() override;

    // A hidden child of the desktop named "timer".
    BOOL CreateServiceWindow();

    // 0: started or already running; -1: failed (the order dialog is told).
    int StartService();
    bool StartPollTimer();
    void StopPollTimer();
    void StopInitTimer();
    void OnLogout();
    void OnServiceReady();
    void SetOrderState(int state);
    void OpenOrderDialog();
    void ShowSendDialog(unsigned int number);
    // Shows the record, or queues it while its sender's dialog is open, its
    // older messages wait, or the plugin is offline.
    void DeliverMessage(CSmsRecord record);
    // 1 when the record was shown in a new view dialog.
    int ShowMessage(CSmsRecord* record, bool fromQueue, bool bringToFront);
    // Shows string `id` with the plugin's caption; returns the button pressed.
    int MessageBoxId(UINT id, UINT style);

    bool WantsUnread(int reserved) override;
    bool HandleUnread(CByteReader& reader) override;

    UINT_PTR m_nPollTimer = 0;
    UINT_PTR m_nInitTimer = 0;
    unsigned int m_nInitElapsed = 0;
    int m_bReady = 0;
    CString m_strServiceUrl;
    CString m_strRegisterPhone;
    CSmsAdapter* m_pAdapter = nullptr;

protected:
    void OnTimer(UINT_PTR id);
    LRESULT OnServiceData(WPARAM length, LPARAM data);
    void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    bool StartInitTimer();
    bool EnsureAdapter();
    void ReleaseAdapter();
    int CallService();
    int SendServiceQuery();
    bool AdapterConnected() const;
};

extern CSmsServiceWnd g_wndService;
