#include "sms_service_wnd.h"

#include "dialog_placement.h"
#include "dialogs/receive_message_dlg.h"
#include "dialogs/send_message_dlg.h"
#include "ixa_base.h"
#include "res/resource.h"
#include "sms_util_plugin.h"
#include "store/byte_reader.h"
#include "store/sms_record.h"
#include "switch_manager.h"
#include "transport/sms_adapter.h"
#include "dialogs/module_text.h"
#include "dialogs/window_registry.h"

#include <cstdlib>

CSmsServiceWnd g_wndService;

namespace {

// Business 1 of the host is the SMS service; levels 2 and 3 have it.
const int kSmsService = 1;
const char kOrderKey[] = "smsutil_order";

bool HasSmsService(unsigned short level) { return level == 2 || level == 3; }

CSmsUtilPlugin* Plugin() { return GetSmsUtilPlugin(); }

bool PluginOnline()
{
    CSmsUtilPlugin* plugin = Plugin();
    return plugin && plugin->IsOnline();
}

CString UserId()
{
    CSmsUtilPlugin* plugin = Plugin();
    return plugin ? plugin->GetUserId() : CString();
}

// Shows the dialog registered under `key` and brings it forward; false when
// there is none.
bool ShowRegistered(const CString& key)
{
    CWnd* open = FindRegisteredWindow(key);
    if (!open) return false;
    open->ShowWindow(SW_SHOWNORMAL);
    open->SetForegroundWindow();
    return true;
}

// A new dialog of `runtimeClass` (which is `Dialog`'s) registered under
// `key`, its window made by `create` from the module's resources; nullptr,
// and nothing registered, when either fails.
template <class Dialog, class Create>
Dialog* CreateRegistered(CRuntimeClass* runtimeClass, const CString& key, Create create)
{
    CSmsUtilPlugin* plugin = Plugin();
    if (!plugin) return nullptr;
    CResourceSourceScope resources(plugin->GetModuleHandleA());
    auto dialog = static_cast<Dialog*>(CreateRegisteredWindow(runtimeClass, key));
    if (!dialog) return nullptr;
    dialog->m_strRegKey = key;
    if (create(*dialog)) {
        PlaceBesideHostWindow(dialog->m_hWnd, plugin->GetModuleHandleA());
        return dialog;
    }
    RemoveRegisteredWindow(key);
    return nullptr;
}

// The reason goes in first: the folder, put in last, is never searched for
// a placeholder of its own.
CString HeldNotice(StoreFailure why, const CString& folder)
{
    const UINT reason = why == STORE_NO_SPACE ? IDS_STORE_NO_SPACE
                        : why == STORE_BUSY   ? IDS_STORE_BUSY
                                              : IDS_STORE_FAILED;
    CString text = LoadText(IDS_STORE_HELD);
    text.Replace("(?)", LoadText(reason));
    text.Replace("[?]", folder);
    return text;
}

} // namespace

BEGIN_MESSAGE_MAP(CSmsServiceWnd, CWnd)
ON_WM_TIMER()
ON_MESSAGE(WM_SMSDATA, OnServiceData)
ON_MESSAGE(WM_STOREHELD, OnStoreHeld)
ON_MESSAGE(WM_STORECHECKED, OnStoreChecked)
ON_WM_DESTROY()
END_MESSAGE_MAP()

BOOL CSmsServiceWnd::CreateServiceWindow()
{
    RECT empty = {0, 0, 0, 0};
    if (!CreateEx(0, nullptr, "timer", WS_CHILD, empty, CWnd::GetDesktopWindow(), 0)) return FALSE;
    SetSmsDataTarget(m_hWnd);
    SetDialogHost(this);
    CMessageStore::SetHeldObserver(&CSmsServiceWnd::OnHeldByStore);
    return TRUE;
}

void CSmsServiceWnd::Shutdown()
{
    StopInitTimer();
    StopPollTimer();
    ReleaseAdapter();
    m_bReady = 0;
    m_startUp.Restart();
    m_strServiceUrl.Empty();
    m_strRegisterPhone.Empty();
    if (GetDialogHost() == this) SetDialogHost(nullptr);
    CMessageStore::SetHeldObserver(nullptr);
    m_bToldHeld = false;
    m_bHeldPosted = false;
    if (m_hWnd) DestroyWindow();
}

void CSmsServiceWnd::OnDestroy()
{
    SetSmsDataTarget(nullptr);
    // Blocks already posted are copies that only this window frees.
    MSG message;
    while (::PeekMessageA(&message, m_hWnd, WM_SMSDATA, WM_SMSDATA, PM_REMOVE))
        delete[] reinterpret_cast<char*>(message.lParam);
    // Timers die with the window; their ids must not outlive it.
    m_nPollTimer = 0;
    m_nInitTimer = 0;
    Default();
}

bool CSmsServiceWnd::AdapterConnected() const { return m_pAdapter && m_pAdapter->m_bConnected; }

bool CSmsServiceWnd::EnsureAdapter()
{
    if (!m_pAdapter) {
        AdapterBase* adapter = SwitchManager::getInstance()->CreateAdapter(SMS_ADAPTER_TYPE);
        if (!adapter) return false;
        m_pAdapter = static_cast<CSmsAdapter*>(adapter);
        m_pAdapter->SetApplicationID(UserId());
        m_pAdapter->MarkKeep();
    }
    return true;
}

void CSmsServiceWnd::ReleaseAdapter()
{
    if (!m_pAdapter) return;
    m_pAdapter->Release();
    m_pAdapter = nullptr;
}

int CSmsServiceWnd::CallService()
{
    if (!m_pAdapter) return -1;
    const unsigned int number = static_cast<unsigned int>(strtoul(UserId(), nullptr, 10));
    return m_pAdapter->Call(number, SMS_ADAPTER_TYPE, nullptr, 0);
}

int CSmsServiceWnd::SendServiceQuery()
{
    if (!AdapterConnected()) return -1;
    // The text "1" with its NUL.
    return m_pAdapter->SendData("1", 2);
}

int CSmsServiceWnd::StartService()
{
    if (!PluginOnline()) {
        SetOrderState(COrderDlg::STATE_OFFLINE);
        return -1;
    }
    if (m_nInitTimer) return 0;
    if (m_bReady) {
        if (AdapterConnected()) return 0;
        m_bReady = 0;
    }
    if (!EnsureAdapter()) {
        SetOrderState(COrderDlg::STATE_FAILED);
        return -1;
    }
    // The first call comes before the timer's first tick: the count starts here.
    m_startUp.Restart();
    if (!m_pAdapter->m_bConnected) CallService();
    if (!StartInitTimer()) {
        SetOrderState(COrderDlg::STATE_FAILED);
        return -1;
    }
    SetOrderState(COrderDlg::STATE_STARTING);
    return 0;
}

bool CSmsServiceWnd::StartPollTimer()
{
    if (m_nPollTimer) return true;
    m_nPollTimer = SetTimer(TIMER_POLL, TIMER_POLL_PERIOD_MS);
    return m_nPollTimer != 0;
}

void CSmsServiceWnd::StopPollTimer()
{
    if (!m_nPollTimer) return;
    KillTimer(m_nPollTimer);
    m_nPollTimer = 0;
}

bool CSmsServiceWnd::StartInitTimer()
{
    if (m_nInitTimer) return true;
    m_startUp.Restart();
    m_nInitTimer = SetTimer(TIMER_INIT, CStartUpPacing::TICK_MS);
    return m_nInitTimer != 0;
}

void CSmsServiceWnd::StopInitTimer()
{
    if (!m_nInitTimer) return;
    KillTimer(m_nInitTimer);
    m_nInitTimer = 0;
}

void CSmsServiceWnd::OnTimer(UINT_PTR id)
{
    if (id == TIMER_POLL) {
        if (!PluginOnline()) {
            StopPollTimer();
            return;
        }
        // What the file could not take before goes in first, in its order.
        // The poll lasts while anything waits, in memory or in the queue: a
        // message held in memory is shown and written from here as well.
        const bool nothingHeld = CMessageStore::WriteHeld();
        const bool queued = CMessageStore::VisitUnread(*this);
        if (nothingHeld && !queued) StopPollTimer();
        return;
    }
    if (id != TIMER_INIT) {
        Default();
        return;
    }
    const CStartUpPacing::Step step = m_startUp.Tick(AdapterConnected());
    if (!PluginOnline()) {
        StopInitTimer();
        SetOrderState(COrderDlg::STATE_FAILED);
        return;
    }
    if (step == CStartUpPacing::STEP_CALL) CallService();
    if (step == CStartUpPacing::STEP_QUERY) SendServiceQuery();
    if (step != CStartUpPacing::STEP_GIVE_UP) return;
    StopInitTimer();
    SetOrderState(COrderDlg::STATE_TIMEOUT);
}

LRESULT CSmsServiceWnd::OnServiceData(WPARAM length, LPARAM data)
{
    char* block = reinterpret_cast<char*>(data);
    const char* text = nullptr;
    int textLength = 0;
    if (ServiceTextOfBlock(block, static_cast<int>(length), text, textLength))
        ParseServiceText(text, textLength, *this);
    // The adapter posted a copy of its own for this window to free.
    delete[] block;
    if (!m_strFrontKey.IsEmpty() && !MoreServiceDataWaits()) BringToFront(m_strFrontKey);
    return 0;
}

bool CSmsServiceWnd::MoreServiceDataWaits()
{
    MSG waiting;
    return ::PeekMessageA(&waiting, m_hWnd, WM_SMSDATA, WM_SMSDATA, PM_NOREMOVE) != 0;
}

void CSmsServiceWnd::BringToFront(const CString& key)
{
    // In a burst every message would bring its sender's dialog forward, a
    // change of the active window each under Wine's skinned frames: the
    // last one of the burst decides, once the burst is handled.
    if (MoreServiceDataWaits()) {
        m_strFrontKey = key;
        return;
    }
    // `key` may be the member itself.
    const CString front = key;
    m_strFrontKey.Empty();
    ShowRegistered(front);
}

bool CSmsServiceWnd::AwaitsStartUpAnswer() { return m_nInitTimer != 0; }

void CSmsServiceWnd::OnStartUpAnswer(const char* serviceUrl, const char* registerPhone, bool accepted)
{
    StopInitTimer();
    m_strServiceUrl = serviceUrl;
    m_strRegisterPhone = registerPhone;
    if (accepted)
        OnServiceReady();
    else
        SetOrderState(COrderDlg::STATE_FAILED);
}

void CSmsServiceWnd::OnServiceRecord(const CSmsRecord& received)
{
    // Online the record is delivered; offline it waits in the logged-in
    // account's queue, which the poll reads once the plugin is back.
    CSmsRecord record = received;
    record.owner.Empty();
    DeliverMessage(record);
}

void CSmsServiceWnd::OnHeldByStore(StoreFailure why, const CString& folder)
{
    g_wndService.m_strHeldFolder = folder;
    if (!g_wndService.m_hWnd || g_wndService.m_bHeldPosted) return;
    g_wndService.m_bHeldPosted = ::PostMessageA(g_wndService.m_hWnd, WM_STOREHELD, why, 0) != 0;
}

LRESULT CSmsServiceWnd::OnStoreHeld(WPARAM why, LPARAM)
{
    m_bHeldPosted = false;
    // The poll writes what is held as soon as the file takes it, even when
    // no message waits to be shown.
    if (PluginOnline()) StartPollTimer();
    if (m_bToldHeld) return 0;
    // Set before the box: it runs a message loop in which more notices come.
    m_bToldHeld = true;
    MessageBoxText(HeldNotice(static_cast<StoreFailure>(why), m_strHeldFolder), MB_ICONEXCLAMATION);
    return 0;
}

void CSmsServiceWnd::OnLogin(CStoreRepair::Outcome checked, const CString& keptCopy)
{
    m_bToldHeld = false;
    if (checked != CStoreRepair::LOGIN_REPAIRED && checked != CStoreRepair::LOGIN_MOVED &&
        checked != CStoreRepair::LOGIN_FAILED)
        return;
    m_strCheckedFile = checked == CStoreRepair::LOGIN_FAILED ? CAccountFile::Current().Path() : keptCopy;
    // Shown once the host's log-in call has returned: a box shown inside it
    // would hold the log-in until the user answered.
    ::PostMessageA(m_hWnd, WM_STORECHECKED, static_cast<WPARAM>(checked), 0);
}

LRESULT CSmsServiceWnd::OnStoreChecked(WPARAM outcome, LPARAM)
{
    UINT id = IDS_STORE_UNCHECKED;
    if (static_cast<int>(outcome) == CStoreRepair::LOGIN_REPAIRED) id = IDS_STORE_REPAIRED;
    if (static_cast<int>(outcome) == CStoreRepair::LOGIN_MOVED) id = IDS_STORE_MOVED;
    CString text = LoadText(id);
    text.Replace("[?]", m_strCheckedFile);
    MessageBoxText(text, id == IDS_STORE_REPAIRED ? MB_ICONINFORMATION : MB_ICONEXCLAMATION);
    return 0;
}

void CSmsServiceWnd::OnServiceReady()
{
    m_bReady = 1;
    StopInitTimer();
    SetOrderState(COrderDlg::STATE_READY);
}

void CSmsServiceWnd::OnLogout()
{
    m_bReady = 0;
    ReleaseAdapter();
    RemoveRegisteredWindow(kOrderKey);
}

void CSmsServiceWnd::SetOrderState(COrderDlg::State state)
{
    if (auto dialog = static_cast<COrderDlg*>(FindRegisteredWindow(kOrderKey))) dialog->SetServiceState(state);
}

COrderPage CSmsServiceWnd::GetOrderPage()
{
    COrderPage page;
    page.base = m_strServiceUrl;
    page.registerPhone = m_strRegisterPhone;
    unsigned short level = 0;
    IxaBase* host = IxaBase::GetIxaInstance();
    if (host && host->getMyBusiLevel(kSmsService, level)) page.level = level;
    if (CSmsUtilPlugin* plugin = Plugin()) {
        page.userId = plugin->GetUserId();
        page.sessionId = plugin->GetSessionId();
    }
    return page;
}

CString CSmsServiceWnd::GetUserId() { return UserId(); }

bool CSmsServiceWnd::IsOnline() { return PluginOnline(); }

CString CSmsServiceWnd::GetContactName(const CString& number)
{
    CString name = number;
    if (CSmsUtilPlugin* plugin = Plugin()) plugin->GetContactName(number, name);
    return name;
}

void CSmsServiceWnd::OpenReplyDialog(const CString& number, const CString& name, POINT topLeft)
{
    const CString key = "c" + number;
    if (ShowRegistered(key)) return;
    auto dialog = CreateRegistered<CSendMessageDlg>(RUNTIME_CLASS(CSendMessageDlg), key,
                                                    [&](CSendMessageDlg& made) { return made.Open(number, name); });
    if (dialog) dialog->SetWindowPos(nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void CSmsServiceWnd::RetryService()
{
    if (CSmsUtilPlugin* plugin = Plugin()) plugin->EnsureService();
}

void CSmsServiceWnd::OpenOrderDialog()
{
    auto dialog = static_cast<COrderDlg*>(FindRegisteredWindow(kOrderKey));
    if (!dialog)
        dialog = CreateRegistered<COrderDlg>(RUNTIME_CLASS(COrderDlg), kOrderKey,
                                             [this](COrderDlg& made) { return made.Create(this); });
    if (!dialog) return;
    ShowRegistered(kOrderKey);
    COrderDlg::State state = COrderDlg::STATE_FAILED;
    if (!PluginOnline())
        state = COrderDlg::STATE_OFFLINE;
    else if (IsReady())
        state = COrderDlg::STATE_READY;
    else if (m_nInitTimer)
        state = COrderDlg::STATE_STARTING;
    dialog->SetServiceState(state);
}

int CSmsServiceWnd::MessageBoxId(UINT id, UINT style) { return MessageBoxText(LoadText(id), style); }

int CSmsServiceWnd::MessageBoxText(const CString& text, UINT style)
{
    return ::MessageBoxText(m_hWnd, text, IDS_PLUGIN_CAPTION, style);
}

void CSmsServiceWnd::ShowSendDialog(unsigned int number)
{
    IxaBase* host = IxaBase::GetIxaInstance();
    unsigned short level = 0;
    if (!host || !host->getMyBusiLevel(kSmsService, level) || !HasSmsService(level)) {
        if (MessageBoxId(IDS_NO_SERVICE, MB_YESNO | MB_ICONQUESTION) == IDYES) OpenOrderDialog();
        return;
    }
    IxaContact contact;
    host->GetContact(number, contact);
    if (contact.m_bStranger) {
        MessageBoxId(IDS_NOT_A_FRIEND, MB_ICONSTOP);
        return;
    }
    level = 0;
    if (!host->getFriendBusiLevel(number, kSmsService, level) || !HasSmsService(level)) {
        MessageBoxId(IDS_CONTACT_NO_SERVICE, MB_ICONSTOP);
        return;
    }
    CString id;
    id.Format("%u", number);
    CString name;
    if (CSmsUtilPlugin* plugin = Plugin()) plugin->GetContactName(id, name);
    const CString key = "c" + id;
    if (ShowRegistered(key)) return;
    if (auto dialog = CreateRegistered<CSendMessageDlg>(RUNTIME_CLASS(CSendMessageDlg), key,
                                                        [&](CSendMessageDlg& made) { return made.Open(id, name); }))
        dialog->ShowWindow(SW_SHOWNORMAL);
}

void CSmsServiceWnd::DeliverMessage(CSmsRecord record)
{
    // A record the file cannot take is kept by the store in memory, seen by
    // the poll and written by it later; the held observer tells the user.
    if (!PluginOnline()) {
        CMessageStore::AddUnread(record);
        return;
    }
    if (ShowMessage(&record, false, true) == 0) {
        CMessageStore::AddUnread(record);
        StartPollTimer();
    }
}

int CSmsServiceWnd::ShowMessage(CSmsRecord* record, bool fromQueue, bool bringToFront)
{
    if (!record) return 0;
    CString key;
    key.Format("r%s", static_cast<const char*>(record->peer));
    if (auto open = static_cast<CReceiveMessageDlg*>(FindRegisteredWindow(key))) {
        open->SetMoreWaiting();
        if (bringToFront) BringToFront(key);
        return 0;
    }
    // A new message waits behind the older ones of its sender, which the
    // poll shows first. A queue that cannot be read answers false: the
    // message is shown now, perhaps before older ones, and nothing is lost.
    if (!fromQueue && CMessageStore::HasUnread(record->peer)) return 0;
    // Not shown: the caller keeps it queued.
    auto dialog = CreateRegistered<CReceiveMessageDlg>(
        RUNTIME_CLASS(CReceiveMessageDlg), key,
        [record](CReceiveMessageDlg& made) { return made.CreateWithRecord(*record); });
    if (!dialog) return 0;
    dialog->ShowWindow(SW_SHOWNORMAL);
    dialog->SetForegroundWindow();
    // The message is on the screen before the file is touched: a write can
    // take tens of milliseconds on a busy disk. Written only once the dialog
    // stands: a record that could not be shown stays queued and must not
    // reach the history twice. A record the file cannot take waits in the
    // store's memory for the poll to write it.
    ::RedrawWindow(dialog->m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    CMessageStore::AddHistory(*record);
    return 1;
}

bool CSmsServiceWnd::WantsUnread(int) { return true; }

bool CSmsServiceWnd::HandleUnread(CByteReader& reader)
{
    CSmsRecord record;
    record.Load(reader);
    return ShowMessage(&record, true, false) == 1;
}
