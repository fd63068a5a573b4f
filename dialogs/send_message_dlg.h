// The dialog in which the user writes one short message to one contact and
// sends it, at once or at a scheduled time, with or without a signature; and
// the flow from the send button to the end of the attempt.
#pragma once
#include "afxwin.h"
#include "controls/date_time_field.h"
#include "controls/message_history_popup.h"
#include "controls/sms_text_edit.h"
#include "dialogs/registered_window.h"
#include "skin/skin_static.h"

#include <map>
#include <vector>

class CSmsAdapter;

class CSendMessageDlg : public CRegisteredDialog<CDialog> {
    DECLARE_DYNCREATE(CSendMessageDlg)
public:
    static constexpr UINT_PTR TIMER_SEND = 200;
    static constexpr UINT TIMER_SEND_PERIOD_MS = 2000;
    // The attempt ends with the time-out message after this much counted time.
    static constexpr UINT SEND_LIMIT_MS = 30000;
    // Adapters not yet connected are called again at this tick (14 s): a
    // call lost on the way gets a second chance while half of the limit is
    // still left for its answer.
    static constexpr UINT CALL_AGAIN_TICK = 7;
    static constexpr int MESSAGE_BAND_HEIGHT = 44;
    static constexpr int SIGNATURE_BYTES = 10;

    CSendMessageDlg();
    ~CSendMessageDlg() override;

    // Creates the window on the desktop for recipient `id` shown as `name`,
    // and starts calling the recipient. False when no window could be made.
    BOOL Open(const char* id, const char* name);

    // Non-zero while an attempt runs.
    bool IsSending() const { return m_nSendTimer != 0; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    // Not while a send runs: its answer is still to come.
    void OnCancel() override;

    void OnSend();
    void OnHistory();
    void OnScheduleClicked();
    void UpdateCounter();
    void OnTimer(UINT_PTR id);
    void OnMove(int x, int y);
    LRESULT OnInsertText(WPARAM, LPARAM text);
    LRESULT OnEditKillFocus(WPARAM, LPARAM edit);
    LRESULT OnDateFieldTyped(WPARAM, LPARAM field);
    LRESULT OnDateFieldChanged(WPARAM previous, LPARAM field);

    DECLARE_MESSAGE_MAP()

private:
    void PrepareRecipient(const CString& id);
    void CallRecipient(const CString& id);
    void SendToConnected();
    void CallUnconnected();
    bool StartSendTimer();
    void StopSendTimer();
    void ReportSendResult();
    void EnterSendingState();
    void LeaveSendingState();
    void EnableInputs(bool enable);
    void UpdateLimits(CSmsTextEdit& field);
    void ShowLimitHint();
    // Every date field blank, or showing now but the one the user typed
    // into (DateFieldNone: all of them).
    void FillDateFields(DateFieldKind typed, bool fill);
    CString FormatScheduledTime();
    bool IsScheduled() const;
    int MessageBoxId(UINT id, UINT style);

    CSkinStatic m_frame;
    CDateTimeField m_year;
    CDateTimeField m_minute;
    CDateTimeField m_month;
    CDateTimeField m_hour;
    CDateTimeField m_day;
    CButton m_schedule;
    CButton m_sign;
    CSmsTextEdit m_signature;
    CSmsTextEdit m_message;
    CMessageHistoryPopup m_history;
    CString m_strRecipientId;
    CString m_strRecipientName;
    CString m_strSavedSignature;
    // The dialog owns its adapters and gives them back when it goes.
    std::map<CString, CSmsAdapter*> m_mapAdapters;
    std::vector<CString> m_arrPending;
    CString m_strContent;
    CString m_strScheduledTime;
    UINT_PTR m_nSendTimer = 0;
    unsigned int m_nElapsedMs = 0;
    int m_nSentCount = 0;
};
