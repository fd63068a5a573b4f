#include "sms_service_wnd.h"

#include "ixa_base.h"
#include "res/resource.h"
#include "sms_util_plugin.h"

CSmsServiceWnd g_wndService;

namespace {

const int kSmsService = 1;

bool HasSmsService(unsigned short level) { return level == 2 || level == 3; }

bool PluginOnline()
{
    CSmsUtilPlugin* plugin = GetSmsUtilPlugin();
    return plugin && plugin->m_bOnline;
}

} // namespace

BEGIN_MESSAGE_MAP(CSmsServiceWnd, CWnd)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CSmsServiceWnd::~CSmsServiceWnd() = default;

BOOL CSmsServiceWnd::CreateServiceWindow()
{
    RECT empty = {0, 0, 0, 0};
    return CreateEx(0, nullptr, "timer", WS_CHILD, empty, CWnd::GetDesktopWindow(), 0);
}

int CSmsServiceWnd::StartService()
{
    if (!PluginOnline()) {
        SetOrderState(0);
        return -1;
    }
    if (m_nInitTimer || m_bReady) return 0;
    // No service adapter can be made without the signalling module.
    SetOrderState(3);
    return -1;
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

void CSmsServiceWnd::StopInitTimer()
{
    if (!m_nInitTimer) return;
    KillTimer(m_nInitTimer);
    m_nInitTimer = 0;
}

void CSmsServiceWnd::OnTimer(UINT_PTR id)
{
    if (id == TIMER_POLL) {
        if (!PluginOnline()) StopPollTimer();
        return;
    }
    if (id == TIMER_INIT) {
        m_nInitElapsed += TIMER_INIT_PERIOD_MS;
        if (!PluginOnline()) {
            StopInitTimer();
            SetOrderState(3);
        }
        return;
    }
    Default();
}

void CSmsServiceWnd::OnLogout() { m_bReady = 0; }

void CSmsServiceWnd::SetOrderState(int) {}

void CSmsServiceWnd::OpenOrderDialog() {}

int CSmsServiceWnd::MessageBoxId(UINT id, UINT style)
{
    CString text, caption;
    text.LoadString(id);
    caption.LoadString(IDS_PLUGIN_CAPTION);
    return ::MessageBoxA(m_hWnd, text, caption, style);
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
}
