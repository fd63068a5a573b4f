// The dialog that shows one received message or undelivery notice of one
// sender: who, when, the text; from it the user replies, steps to the
// sender's next unread message, or looks at the history with the sender.
#pragma once
#include "afxwin.h"
#include "controls/message_history_popup.h"
#include "controls/sms_text_edit.h"
#include "dialogs/registered_window.h"
#include "skin/skin_static.h"
#include "store/sms_record.h"

class CReceiveMessageDlg : public CRegisteredDialog<CDialog> {
    DECLARE_DYNCREATE(CReceiveMessageDlg)
public:
    static constexpr int MESSAGE_BAND_HEIGHT = 23;

    CReceiveMessageDlg();

    // Copies the record and creates the window on the desktop.
    BOOL CreateWithRecord(const CSmsRecord& record);
    // Another message of this sender waits in the unread queue.
    void SetMoreWaiting();


    // The panel's line: "日期：" date "时间：" clock, the time label padded to
    // 25 bytes. A time without a space gives an empty date and clock.
    static CString DateTimeLine(const CString& time);

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;

    void OnMove(int x, int y);
    void OnHistory();
    void OnReply();
    void OnBackOrNext();

    DECLARE_MESSAGE_MAP()

private:
    void FillFromRecord();
    void SetBackNextText(UINT id);

    CSmsRecord m_record;
    CString m_strPeerId;
    CString m_strPeerName;
    int m_nNextMode = 0;
    CSkinStatic m_panel;
    CSmsTextEdit m_body;
    CMessageHistoryPopup m_history;
};
