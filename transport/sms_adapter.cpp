#include "sms_adapter.h"

#include <atomic>
#include <cstring>
#include <new>

namespace {
// Set on the GUI thread, read on the network thread.
std::atomic<HWND> g_target{nullptr};
}

void SetSmsDataTarget(HWND window) { g_target = window; }
HWND GetSmsDataTarget() { return g_target; }

CSmsAdapter::~CSmsAdapter() = default;

int CSmsAdapter::Call(unsigned int number, unsigned short type, const char* data, int length)
{
    // Set first, so that a MarkKeep after the first attempt has no effect.
    m_bCalled = 1;
    return AdapterBase::Call(number, type, data, length);
}

void CSmsAdapter::OnCallResult(unsigned short status, int, int, int, int, int, int)
{
    if (status == 0) OnConnected();
}

void CSmsAdapter::OnConnected() { m_bConnected = 1; }

// The link to the server went down and the call with it: a later Call makes a
// new one.
void CSmsAdapter::OnDisconnected(int) { m_bConnected = 0; }

bool CSmsAdapter::MarkKeep()
{
    if (m_bCalled) return false;
    m_bKeep = 1;
    return true;
}

void CSmsAdapter::OnRecvData(const char* data, int length)
{
    // The framework's buffer lives only during this call, and this runs on
    // its thread: the window gets a copy of its own. Without a window the
    // post would land in this thread's own queue, which nobody reads.
    const HWND target = g_target.load();
    if (length > 0 && data && target) {
        char* copy = new (std::nothrow) char[length];
        if (copy) {
            memcpy(copy, data, length);
            if (!::PostMessageA(target, WM_SMSDATA, static_cast<WPARAM>(length), reinterpret_cast<LPARAM>(copy)))
                delete[] copy;
        }
    }
    if (!m_bKeep) Release();
}

AdapterBase* CSmsAdapterFactory::NewAdapter()
{
    CSmsAdapter* adapter = new (std::nothrow) CSmsAdapter;
    if (adapter) adapter->SetAdapterType(SMS_ADAPTER_TYPE);
    return adapter;
}

int CSmsAdapterFactory::DeleteAdapter(AdapterBase* adapter)
{
    delete adapter;
    return 0;
}

unsigned short CSmsAdapterFactory::GetAdapterType() { return SMS_ADAPTER_TYPE; }
