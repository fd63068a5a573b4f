// The host's plugin framework: the plugin base class with the host's default
// behaviour of every slot, the host message and contact records, and the
// registration of the running host application.
#include "ixa_base.h"

namespace {
IxaBase* g_host = nullptr;
}

IxaBase* IxaBase::GetIxaInstance() { return g_host; }
void IxaBase::SetIxaInstance(IxaBase* host) { g_host = host; }

IXAMessage::IXAMessage(int type) : m_nType(type), m_nParam{} {}
IXAMessage::~IXAMessage() = default;

IxaContact::IxaContact() : m_nUin(0), m_bStranger(0) {}
IxaContact::~IxaContact() = default;

IxaPlugin::IxaPlugin() : m_pMe(this), m_nVsValue(0) {}
IxaPlugin::~IxaPlugin() = default;

void IxaPlugin::SetMe(IxaPlugin* plugin) { m_pMe = plugin; }
void IxaPlugin::SetVSValue(int value) { m_nVsValue = value; }
int IxaPlugin::GetVsValue() { return m_nVsValue; }
void IxaPlugin::CheckSvriceState(const char*) {}
const char* IxaPlugin::GetPluginName() { return ""; }
const char* IxaPlugin::GetPluginClassId() { return ""; }
void IxaPlugin::Hook7() {}
void IxaPlugin::RemoveTabView() {}
void IxaPlugin::InitPlugin() {}
void IxaPlugin::ExitPlugin() {}
void IxaPlugin::OpenOrderPage() {}
void IxaPlugin::Hook12(int) {}
void IxaPlugin::OpenSendDialog(unsigned int) {}
int IxaPlugin::InvokeFromCommand(const char*, CString&) { return 0; }
void IxaPlugin::InvokeFromCommand(const char*) {}
int IxaPlugin::DoCommand(const char*, unsigned long, unsigned long, unsigned long*) { return 0; }
int IxaPlugin::DoCommand(const char*) { return 0; }
void IxaPlugin::Hook18(int) {}
void IxaPlugin::onRecvVsMessage(const char*, int) {}
void IxaPlugin::onRecvAppGWMessage(unsigned char, unsigned short, const char*, int) {}
void IxaPlugin::OnRecvSrvAppMessage(const char*, const char*, int) {}
void IxaPlugin::OnIxaMessage(IXAMessage*) {}
void IxaPlugin::Hook23(int) {}
void IxaPlugin::GetIxaOptionDlg(IxaOptionDlg**) {}
HWND IxaPlugin::InvokeFromPlugin(HWND) { return nullptr; }

HINSTANCE IxaPlugin::GetModuleHandleA() const
{
    // The most derived class's virtual table lives in the plugin's own module.
    const void* vtable = *reinterpret_cast<void* const*>(this);
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCSTR>(vtable), &module);
    return module;
}
