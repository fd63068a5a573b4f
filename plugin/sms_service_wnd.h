// The plugin's hidden hub window: service start-up, the unread poll, received
// data, and the opening of the send and order dialogs.
#pragma once
#include "afxwin.h"

class CSmsServiceWnd : public CWnd {
public:
    static constexpr UINT_PTR TIMER_POLL = 300;
    static constexpr UINT TIMER_POLL_PERIOD_MS = 2000;
    static constexpr UINT_PTR TIMER_INIT = 301;
    static constexpr UINT TIMER_INIT_PERIOD_MS = 100;

    ~CSmsServiceWnd() override;

    // A hidden child of the desktop named "timer".
    BOOL CreateServiceWindow();

    // 0: started or already running; -1: failed (the order dialog is told).
    int StartService();
    bool StartPollTimer();
    void StopPollTimer();
    void StopInitTimer();
    void OnLogout();
    void SetOrderState(int state);
    void OpenOrderDialog();
    void ShowSendDialog(unsigned int number);
    // Shows string `id` with the plugin's caption; returns the button pressed.
    int MessageBoxId(UINT id, UINT style);

    UINT_PTR m_nPollTimer = 0;
    UINT_PTR m_nInitTimer = 0;
    unsigned int m_nInitElapsed = 0;
    int m_bReady = 0;
    CString m_strServiceUrl;
    CString m_strRegisterPhone;

protected:
    void OnTimer(UINT_PTR id);

    DECLARE_MESSAGE_MAP()
};

extern CSmsServiceWnd g_wndService;
