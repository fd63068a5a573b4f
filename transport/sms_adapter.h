// The module's one adapter type: it keeps three flags and turns the
// framework's callbacks into WM_SMSDATA messages for the service window.
#pragma once
#include <windows.h>

#include <atomic>

#include "adapter_base.h"
#include "adapter_factory_base.h"

// Posted by every adapter: wParam the byte count, lParam a copy of the bytes
// (new[]) that the service window frees.
const UINT WM_SMSDATA = 3024;
const unsigned short SMS_ADAPTER_TYPE = 20061;

class CSmsAdapter : public AdapterBase {
public:
    CSmsAdapter() = default;
    ~CSmsAdapter() override;

    int Call(unsigned int number, unsigned short type, const char* data, int length) override;
    void OnCallResult(unsigned short status, int a, int b, int c, int d, int e, int f) override;
    void OnInvited(int, int, int, int, int, int) override {}
    void OnAccepted(int, int, int) override {}
    void OnRefused(int, int, int) override {}
    void OnAcked(int, int, int) override {}
    void OnNotified(int, int, int) override {}
    void OnCommand(int, int, int, int) override {}
    void OnBye(int, int, int) override {}
    void OnCancelled(int, int, int) override {}
    void OnConnected() override;
    void OnDisconnected(int reason) override;
    void OnError(int, int, int) override {}
    void OnRecvData(const char* data, int length) override;

    // Marks the adapter to survive the data it receives; only before its
    // first Call.
    bool MarkKeep();

    // Written on the signalling module's network thread, read on the GUI
    // thread: atomic, and each as wide as the 32-bit flag the host expects.
    std::atomic<LONG> m_bConnected{0};
    std::atomic<LONG> m_bKeep{0};
    std::atomic<LONG> m_bCalled{0};
};
static_assert(sizeof(std::atomic<LONG>) == sizeof(LONG) && std::atomic<LONG>::is_always_lock_free,
              "the adapter's flags keep the host's 32-bit layout");

class CSmsAdapterFactory : public AdapterFactoryBase {
public:
    AdapterBase* NewAdapter() override;
    int DeleteAdapter(AdapterBase* adapter) override;
    unsigned short GetAdapterType() override;
};

// Where adapters post what they receive: the service window while it exists,
// else nothing, and a block that arrives then is dropped at once.
void SetSmsDataTarget(HWND window);
HWND GetSmsDataTarget();
