#include "send_message_dlg.h"

#include "controls/shown_text.h"
#include "dialog_host.h"
#include "message_panel.h"
#include "module_text.h"
#include "res/resource.h"
#include "send_rules.h"
#include "skin/ixa_skin.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "switch_manager.h"
#include "transport/sms_adapter.h"

#include <cstdlib>
#include <ctime>

IMPLEMENT_DYNCREATE(CSendMessageDlg, CDialog)

BEGIN_MESSAGE_MAP(CSendMessageDlg, CDialog)
    ON_BN_CLICKED(IDC_SEND_SEND, OnSend)
    ON_BN_CLICKED(IDC_SEND_HISTORY, OnHistory)
    ON_BN_CLICKED(IDC_SEND_SCHEDULE_CHECK, OnScheduleClicked)
    ON_CONTROL(EN_CHANGE, IDC_SEND_MESSAGE, UpdateCounter)
    ON_CONTROL(EN_CHANGE, IDC_SEND_SIGNATURE, UpdateCounter)
    ON_WM_TIMER()
    ON_WM_MOVE()
    ON_MESSAGE(WM_SMS_INSERTTEXT, OnInsertText)
    ON_MESSAGE(WM_SMS_EDITKILLFOCUS, OnEditKillFocus)
    ON_MESSAGE(WM_DATEFIELD_TYPED, OnDateFieldTyped)
    ON_MESSAGE(WM_DATEFIELD_CHANGED, OnDateFieldChanged)
END_MESSAGE_MAP()

namespace {

const char kCloseElement[] = "DialogCLose";

CString WindowText(const CWnd& window)
{
    CString text;
    window.GetWindowText(text);
    return text;
}

CString LocalTimeNow()
{
    char buffer[32];
    const time_t now = time(nullptr);
    strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", localtime(&now));
    return buffer;
}

bool HostOnline()
{
    CDialogHost* host = GetDialogHost();
    return host && host->IsOnline();
}

CString HostUserId()
{
    CDialogHost* host = GetDialogHost();
    return host ? host->GetUserId() : CString();
}

bool IsChecked(const CButton& box) { return ::SendMessageA(box.m_hWnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(CButton& box, bool checked)
{
    ::SendMessageA(box.m_hWnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace

CSendMessageDlg::CSendMessageDlg() : CRegisteredDialog(IDD_SEND_MESSAGE, nullptr) {}

CSendMessageDlg::~CSendMessageDlg()
{
    for (auto& entry : m_mapAdapters)
        if (entry.second) entry.second->Release();
}

BOOL CSendMessageDlg::Open(const char* id, const char* name)
{
    if (!CDialog::Create(IDD_SEND_MESSAGE, CWnd::GetDesktopWindow())) return FALSE;
    m_strRecipientId = id;
    m_strRecipientName = name;
    ::SetDlgItemTextA(m_hWnd, IDC_SEND_RECIPIENT, m_strRecipientName + "(" + m_strRecipientId + ")");
    PrepareRecipient(m_strRecipientId);
    return TRUE;
}

void CSendMessageDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Control(dx, IDC_SEND_FRAME, m_frame);
    DDX_Control(dx, IDC_SEND_YEAR, m_year);
    DDX_Control(dx, IDC_SEND_MINUTE, m_minute);
    DDX_Control(dx, IDC_SEND_MONTH, m_month);
    DDX_Control(dx, IDC_SEND_HOUR, m_hour);
    DDX_Control(dx, IDC_SEND_DAY, m_day);
    DDX_Control(dx, IDC_SEND_SCHEDULE_CHECK, m_schedule);
    DDX_Control(dx, IDC_SEND_SIGN_CHECK, m_sign);
    DDX_Control(dx, IDC_SEND_MESSAGE, m_message);
    DDX_Control(dx, IDC_SEND_SIGNATURE, m_signature);
}

BOOL CSendMessageDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SkinMessagePanel(*this, m_message, m_frame, MESSAGE_BAND_HEIGHT, IDC_SEND_RECIPIENT_CAPTION);
    m_year.SetKind(DateFieldYear);
    m_month.SetKind(DateFieldMonth);
    m_day.SetKind(DateFieldDay);
    m_hour.SetKind(DateFieldHour);
    m_minute.SetKind(DateFieldMinute);
    FillDateFields(DateFieldNone, false);

    ::SendMessageA(m_signature.m_hWnd, EM_LIMITTEXT, SIGNATURE_BYTES, 0);
    CString signature;
    // False when none is stored or the file cannot be read: no signature.
    if (CMessageStore::LoadSignature(signature)) m_strSavedSignature = signature;
    m_signature.SetWindowText(m_strSavedSignature);
    if (!m_strSavedSignature.IsEmpty()) SetChecked(m_sign, true);
    UpdateLimits(m_message);
    ShowLimitHint();
    return TRUE;
}

// ---------------------------------------------------------------- counter and limits

void CSendMessageDlg::ShowLimitHint() { m_frame.SetWindowText(send_rules::CounterText("", "")); }

void CSendMessageDlg::UpdateCounter()
{
    m_frame.SetWindowText(send_rules::CounterText(WindowText(m_signature), WindowText(m_message)));
}

void CSendMessageDlg::UpdateLimits(CSmsTextEdit& field)
{
    // Each field's room is what the other field's part leaves.
    const CString otherPart = &field == &m_message ? send_rules::SignaturePrefix(WindowText(m_signature))
                                                   : WindowText(m_message) + ":";
    const send_rules::Limits limits = send_rules::LimitsBeside(otherPart);
    field.SetLimits(limits.wide, limits.narrow);
}

LRESULT CSendMessageDlg::OnEditKillFocus(WPARAM, LPARAM edit)
{
    if (reinterpret_cast<CSmsTextEdit*>(edit) == &m_message)
        UpdateLimits(m_signature);
    else
        UpdateLimits(m_message);
    return 0;
}

LRESULT CSendMessageDlg::OnInsertText(WPARAM, LPARAM text)
{
    // No mark: the field's own limits cut far sooner. A control byte would
    // otherwise be sent without the user ever seeing it.
    if (text)
        m_message.InsertLimited(CString("\r\n") +
                                shown_text::ShownText(reinterpret_cast<const char*>(text), shown_text::SHOWN_BYTES, ""));
    return 0;
}

// ---------------------------------------------------------------- scheduled time

bool CSendMessageDlg::IsScheduled() const { return IsChecked(m_schedule); }

void CSendMessageDlg::FillDateFields(DateFieldKind typed, bool fill)
{
    for (CDateTimeField* field : {&m_year, &m_month, &m_day, &m_hour, &m_minute}) {
        if (!fill) {
            field->Clear();
        } else if (field->GetKind() != typed) {
            field->SetNow();
        } else if (typed == DateFieldDay) {
            // The day keeps what was typed, cut to the month shown.
            field->SetYearMonth(m_year.GetValue(), m_month.GetValue());
        }
    }
}

void CSendMessageDlg::OnScheduleClicked() { FillDateFields(DateFieldNone, IsScheduled()); }

LRESULT CSendMessageDlg::OnDateFieldTyped(WPARAM, LPARAM field)
{
    auto date = reinterpret_cast<CDateTimeField*>(field);
    if (!date || IsScheduled()) return 0;
    FillDateFields(static_cast<DateFieldKind>(date->GetKind()), true);
    SetChecked(m_schedule, true);
    return 0;
}

LRESULT CSendMessageDlg::OnDateFieldChanged(WPARAM, LPARAM field)
{
    auto date = reinterpret_cast<CDateTimeField*>(field);
    if (!date) return 0;
    if (!IsScheduled()) return OnDateFieldTyped(0, field);
    int year = 0, month = 0;
    m_day.GetYearMonth(year, month);
    if (date == &m_year)
        m_day.SetYearMonth(m_year.GetValue(), month);
    else if (date == &m_month)
        m_day.SetYearMonth(year, m_month.GetValue());
    return 0;
}

CString CSendMessageDlg::FormatScheduledTime()
{
    return send_rules::FormatScheduledTime(m_year.GetValue(), m_month.GetValue(), m_day.GetValue(),
                                          m_hour.GetValue(), m_minute.GetValue());
}

// ---------------------------------------------------------------- history

void CSendMessageDlg::OnHistory()
{
    ToggleHistoryPopup(*this, m_history, m_strRecipientId, m_strRecipientName, HostUserId());
}

void CSendMessageDlg::OnMove(int, int)
{
    m_history.FollowOwner(*this);
}

// ---------------------------------------------------------------- sending

void CSendMessageDlg::CallRecipient(const CString& id)
{
    auto it = m_mapAdapters.find(id);
    if (it == m_mapAdapters.end() || !it->second) return;
    it->second->Call(static_cast<unsigned int>(strtoul(id, nullptr, 10)), SMS_ADAPTER_TYPE, nullptr, 0);
}

void CSendMessageDlg::PrepareRecipient(const CString& id)
{
    // A switch that gives no adapter leaves the recipient unreachable: the
    // attempt then ends with the time-out message.
    AdapterBase* made = SwitchManager::getInstance()->CreateAdapter(SMS_ADAPTER_TYPE);
    auto adapter = static_cast<CSmsAdapter*>(made);
    m_mapAdapters[id] = adapter;
    if (!adapter) return;
    adapter->SetApplicationID(id);
    adapter->MarkKeep();
    CallRecipient(id);
}

int CSendMessageDlg::MessageBoxId(UINT id, UINT style) { return MessageBoxText(m_hWnd, LoadText(id), IDS_SEND_CAPTION, style); }

void CSendMessageDlg::OnSend()
{
    if (IsSending()) return;
    m_strContent = WindowText(m_message);
    if (m_strContent.IsEmpty()) {
        MessageBoxId(IDS_EMPTY_MESSAGE, MB_ICONINFORMATION);
        ::SetFocus(m_message.m_hWnd);
        return;
    }
    const CString signature = WindowText(m_signature);
    if (IsChecked(m_sign) && !signature.IsEmpty()) {
        if (signature != m_strSavedSignature) {
            // Saved either way: a signature the file cannot take now waits
            // in the store's memory and is written later.
            CMessageStore::SaveSignature(signature);
            m_strSavedSignature = signature;
        }
        m_strContent = signature + ":" + m_strContent;
    }
    m_strScheduledTime = IsScheduled() ? FormatScheduledTime() : CString();
    if (!HostOnline()) {
        MessageBoxId(IDS_SEND_OFFLINE, MB_ICONSTOP);
        return;
    }
    m_arrPending.assign(1, m_strRecipientId);
    m_nSentCount = 0;
    EnterSendingState();
    SendToConnected();
    if (m_arrPending.empty()) {
        DestroyWindow();
        return;
    }
    if (!StartSendTimer()) ReportSendResult();
}

void CSendMessageDlg::SendToConnected()
{
    const CString sender = HostUserId();
    for (size_t index = 0; index < m_arrPending.size();) {
        const CString id = m_arrPending[index];
        auto it = m_mapAdapters.find(id);
        if (it == m_mapAdapters.end() || !it->second || !it->second->m_bConnected) {
            ++index;
            continue;
        }
        const std::string request = send_rules::BuildSendRequest(sender, id, m_strContent, m_strScheduledTime);
        it->second->SendData(request.data(), static_cast<int>(request.size()));
        CSmsRecord record = send_rules::SentRecord(id, m_strContent, m_strScheduledTime, LocalTimeNow());
        // The message is sent: a record the file cannot take waits in the
        // store's memory, and the service window tells the user.
        CMessageStore::AddHistory(record);
        ++m_nSentCount;
        m_arrPending.erase(m_arrPending.begin() + index);
    }
}

void CSendMessageDlg::CallUnconnected()
{
    for (const CString& id : m_arrPending) {
        auto it = m_mapAdapters.find(id);
        if (it != m_mapAdapters.end() && it->second && !it->second->m_bConnected) CallRecipient(id);
    }
}

bool CSendMessageDlg::StartSendTimer()
{
    if (m_nSendTimer) return true;
    CallUnconnected();
    m_nElapsedMs = 0;
    m_nSendTimer = SetTimer(TIMER_SEND, TIMER_SEND_PERIOD_MS);
    return m_nSendTimer != 0;
}

void CSendMessageDlg::StopSendTimer()
{
    if (!m_nSendTimer) return;
    KillTimer(m_nSendTimer);
    m_nSendTimer = 0;
}

void CSendMessageDlg::OnTimer(UINT_PTR id)
{
    if (!m_nSendTimer || id != m_nSendTimer) return;
    m_nElapsedMs += TIMER_SEND_PERIOD_MS;
    if (HostOnline() && m_nElapsedMs < SEND_LIMIT_MS) {
        SendToConnected();
        if (m_arrPending.empty()) {
            StopSendTimer();
            DestroyWindow();
        } else if (m_nElapsedMs / TIMER_SEND_PERIOD_MS == CALL_AGAIN_TICK) {
            CallUnconnected();
        }
        return;
    }
    StopSendTimer();
    ReportSendResult();
}

void CSendMessageDlg::ReportSendResult()
{
    if (m_arrPending.empty()) {
        DestroyWindow();
        return;
    }
    LeaveSendingState();
    MessageBoxId(IDS_SEND_TIMEOUT, MB_ICONSTOP);
}

void CSendMessageDlg::EnterSendingState()
{
    ShowWindow(SW_MINIMIZE);
    ::EnableMenuItem(::GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    SkinEnableCloseButton(m_hWnd, kCloseElement, 0);
    EnableInputs(false);
    CString caption;
    caption.LoadString(IDS_SENDING);
    SetWindowText(caption);
}

void CSendMessageDlg::LeaveSendingState()
{
    CString caption;
    caption.LoadString(IDS_SEND_DIALOG_CAPTION);
    SetWindowText(caption);
    EnableInputs(true);
    ::EnableMenuItem(::GetSystemMenu(m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    SkinEnableCloseButton(m_hWnd, kCloseElement, 1);
    SetForegroundWindow();
    ShowWindow(SW_RESTORE);
}

void CSendMessageDlg::EnableInputs(bool enable)
{
    for (CWnd* field : {static_cast<CWnd*>(&m_message), static_cast<CWnd*>(&m_signature),
                        static_cast<CWnd*>(&m_year), static_cast<CWnd*>(&m_month), static_cast<CWnd*>(&m_day),
                        static_cast<CWnd*>(&m_hour), static_cast<CWnd*>(&m_minute)})
        ::SendMessageA(field->m_hWnd, EM_SETREADONLY, !enable, 0);
    for (UINT id : {IDC_SEND_SIGN_CHECK, IDC_SEND_SCHEDULE_CHECK, IDC_SEND_SEND, IDC_SEND_HISTORY})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), enable);
}

// ---------------------------------------------------------------- closing

void CSendMessageDlg::OnCancel()
{
    if (!IsSending()) CRegisteredDialog::OnCancel();
}
