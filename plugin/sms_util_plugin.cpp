#include "sms_util_plugin.h"

#include "browser/web_browser2.h"
#include "res/resource.h"
#include "skin/skin_provider.h"
#include "sms_service_wnd.h"
#include "store/message_store.h"
#include "store/store_repair.h"
#include "switch_manager.h"
#include "transport/sms_adapter.h"
#include "dialogs/window_registry.h"

#include <new>

namespace {

CSmsUtilPlugin* g_plugin = nullptr;

// The host's order; the types without a name are the host's own business.
const int kSubscribedMessages[] = {18, 17, IXA_MESSAGE_ACCOUNT, IXA_MESSAGE_OFFLINE, IXA_MESSAGE_SESSION, 7, 6, 10};

// The one factory of the module's adapter type. The switch keeps its address
// from InitPlugin to ExitPlugin, and adapters it made may be deleted through
// it even after that, so it is never freed (nor destroyed at unload).
CSmsAdapterFactory& AdapterFactory()
{
    static CSmsAdapterFactory* factory = new CSmsAdapterFactory;
    return *factory;
}

const COLORREF kTransparentMagenta = 0xFF00FF;

struct StoreCheck {
    CString keptCopy;
    CStoreRepair::Outcome outcome = CStoreRepair::LOGIN_FAILED;
};

DWORD WINAPI RunStoreCheck(void* job)
{
    auto check = static_cast<StoreCheck*>(job);
    check->outcome = CStoreRepair::CheckAccountFile(&check->keptCopy);
    return 0;
}

// The log-in check on a thread of its own: verifying a file of years of
// messages takes a good part of a second, and the host's windows keep
// answering meanwhile. The log-in still waits for it, so nothing else of
// the module touches the file before it is judged.
CStoreRepair::Outcome CheckStoreAnswering(CString& keptCopy)
{
    StoreCheck check;
    HANDLE worker = ::CreateThread(nullptr, 0, RunStoreCheck, &check, 0, nullptr);
    if (!worker) return CStoreRepair::CheckAccountFile(&keptCopy);
    bool quit = false;
    WPARAM quitCode = 0;
    while (::MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            // The host's loop ends with it, once the log-in has returned.
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = message.wParam;
                continue;
            }
            // Open dialogs take their keys as in the host's own loop.
            if (AfxPreTranslateDialogMessage(message)) continue;
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    ::WaitForSingleObject(worker, INFINITE);
    ::CloseHandle(worker);
    if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
    keptCopy = check.keptCopy;
    return check.outcome;
}

// English for an English host, the module's Chinese for any other.
LANGID ResourceLanguage(int hostLanguageId)
{
    const bool english = hostLanguageId > 0 && hostLanguageId <= 0xFFFF &&
                         PRIMARYLANGID(static_cast<LANGID>(hostLanguageId)) == LANG_ENGLISH;
    return english ? MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)
                   : MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
}

} // namespace

extern "C" IxaPlugin* getPlugin()
{
    CSmsUtilPlugin* plugin = new (std::nothrow) CSmsUtilPlugin;
    if (plugin) g_plugin = plugin;
    return plugin;
}

CSmsUtilPlugin* GetSmsUtilPlugin() { return g_plugin; }

CSmsUtilPlugin::CSmsUtilPlugin()
    : m_strName("SMSUTIL plugin"),
      m_strClassId("CLASS_IXA_SMSUTILPLUGIN_6/4/2005/11:06:12"),
      m_strVersion("Version 1.0")
{
    if (!g_wndService.m_hWnd) g_wndService.CreateServiceWindow();
}

CSmsUtilPlugin::~CSmsUtilPlugin()
{
    // The host owns the object; the module only forgets it.
    if (g_plugin == this) g_plugin = nullptr;
}

const char* CSmsUtilPlugin::GetPluginName() { return m_strName; }
const char* CSmsUtilPlugin::GetPluginClassId() { return m_strClassId; }
void CSmsUtilPlugin::Hook7() {}
void CSmsUtilPlugin::Hook12(int) {}
void CSmsUtilPlugin::InvokeFromCommand(const char*) {}
void CSmsUtilPlugin::Hook18(int) {}
void CSmsUtilPlugin::Hook23(int) {}
void CSmsUtilPlugin::GetIxaOptionDlg(IxaOptionDlg**) {}
HWND CSmsUtilPlugin::InvokeFromPlugin(HWND) { return nullptr; }

void CSmsUtilPlugin::InitPlugin()
{
    IxaBase* host = IxaBase::GetIxaInstance();
    if (!host) return;

    // The module's texts follow the host's language; the host's folder of
    // language files holds nothing of the module's, whose texts are its own
    // resources.
    int languageId = 0;
    if (!host->GetConfigInt("LANGUAGEID", languageId)) languageId = 0;
    CString languageDir = ".\\language";
    host->GetConfigString("LANGUAGEDIR", languageDir);
    AfxSetResourceLanguage(ResourceLanguage(languageId));

    m_strName.LoadString(IDS_PLUGIN_NAME);
    if (!InitWindowRegistry()) return;

    HINSTANCE module = GetModuleHandleA();
    CString caption;
    caption.LoadString(IDS_PLUGIN_CAPTION);
    HBITMAP button = ::LoadBitmapA(module, MAKEINTRESOURCEA(IDB_SMS_LEVEL2));
    host->AddPluginButton(caption, this, 0, button, kTransparentMagenta);
    if (button) ::DeleteObject(button);

    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR8 | ILC_MASK, 2, 0);
    for (UINT id : {IDB_SMS_LEVEL2, IDB_SMS_LEVEL3}) {
        HBITMAP image = ::LoadBitmapA(module, MAKEINTRESOURCEA(id));
        if (images) ImageList_AddMasked(images, image, kTransparentMagenta);
        if (image) ::DeleteObject(image);
    }
    // Service levels 2 and 3 are the ones with the SMS service.
    const PicInfo pictures[] = {{2, 0}, {3, 1}};
    host->AddFriendFunBtn(1, this, images, PicInfoList{pictures, 2});

    for (int type : kSubscribedMessages) host->RegisterMessage(type, this);

    // Every adapter of the type, also those the server's calls make, is ours.
    SwitchManager::getInstance()->RegisterAdapterFactory(SMS_ADAPTER_TYPE, &AdapterFactory());
    CSkinProvider::Instance().SetUseSkin(1);

    if (images) ImageList_Destroy(images);
}

// The host calls ExitPlugin once, on its GUI thread, while every module it
// loaded is still there, and calls no hook of the plugin after it; it may then
// unload the module. So everything that another module holds of this one (the
// switch's factory and adapter, window classes and windows whose procedures
// live here) is given back now. At unload it could not be: DllMain runs under
// the loader lock, at process exit after the other threads are gone.
void CSmsUtilPlugin::ExitPlugin()
{
    FreeWindowRegistry();
    // The last chance for what the message file could not take: what it
    // still refuses goes with the process, as the user was told it would.
    CMessageStore::WriteHeld();
    g_wndService.Shutdown();
    SwitchManager::getInstance()->UnregisterAdapterFactory(SMS_ADAPTER_TYPE, &AdapterFactory());
    CWebBrowser2::UnregisterControlClass();
}

void CSmsUtilPlugin::OpenOrderPage() { g_wndService.OpenOrderDialog(); }

void CSmsUtilPlugin::OpenSendDialog(unsigned int contact) { g_wndService.ShowSendDialog(contact); }

void CSmsUtilPlugin::OnIxaMessage(IXAMessage* message)
{
    IxaBase* host = IxaBase::GetIxaInstance();
    if (!host || !message) return;
    switch (message->m_nType) {
    case IXA_MESSAGE_ACCOUNT:
        OnAccountKnown(host);
        break;
    case IXA_MESSAGE_OFFLINE:
        g_wndService.OnLogout();
        m_bHaveSession = 0;
        m_bOnline = 0;
        break;
    case IXA_MESSAGE_SESSION:
        OnSessionKnown(host);
        break;
    default:
        break;
    }
}

void CSmsUtilPlugin::OnAccountKnown(IxaBase* host)
{
    IxaContact me;
    host->GetMyInfo(me);
    CString number;
    number.Format("%u", me.m_nUin);
    if (number != m_strUserId) {
        // Dialogs of the previous account must not outlive it.
        DestroyRegisteredWindows();
        // Tried while its folder is still the current one; what its file
        // still refuses waits in memory for that account's next log-in.
        CMessageStore::WriteHeld();
        m_strUserId = number;
        CurrentAccountId = number;
    }
    CString directory;
    if (!host->GetUserDataDir(directory, me.m_nUin)) directory.Empty();
    AccountDataDir = directory;
    // Before anything reads or writes the account's file: a file that a
    // killed process or a bad disk left damaged is moved aside and what can
    // be read from it goes into a new one.
    CString keptCopy;
    const CStoreRepair::Outcome checked = CheckStoreAnswering(keptCopy);
    g_wndService.OnLogin(checked, keptCopy);
    if (m_bHaveSession) GoOnline();
}

void CSmsUtilPlugin::OnSessionKnown(IxaBase* host)
{
    const char* session = host->GetSessionId();
    m_strSessionId = session ? session : "";
    if (!m_bHaveSession) m_bHaveSession = 1;
    if (!m_strUserId.IsEmpty()) GoOnline();
}

void CSmsUtilPlugin::GoOnline()
{
    m_bOnline = 1;
    EnsureService();
    g_wndService.StartPollTimer();
}

void CSmsUtilPlugin::EnsureService()
{
    if (!g_wndService.IsReady()) g_wndService.StartService();
}

int CSmsUtilPlugin::GetContactName(CString number, CString& name)
{
    IxaBase* host = IxaBase::GetIxaInstance();
    if (!host) return 0;
    IxaContact contact;
    if (number == m_strUserId)
        host->GetMyInfo(contact);
    else
        host->GetContact(strtoul(number, nullptr, 10), contact);
    if (contact.m_nUin != 0) {
        name = contact.m_strName;
        return 1;
    }
    name = number;
    return 0;
}
