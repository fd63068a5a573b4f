#include "probe_adapter.h"

#include "switch_manager.h"

AdapterLog g_adapters;
std::function<unsigned()> g_adapterClock;
CProbeFactory g_probeFactory;

namespace {

unsigned Now() { return g_adapterClock ? g_adapterClock() : 0; }

class CProbeAdapter : public CSmsAdapter {
public:
    int Call(unsigned int number, unsigned short, const char*, int) override
    {
        m_bCalled = 1;
        g_adapters.calls.push_back({Now(), GetApplicationID(), number});
        return 0;
    }
    int SendData(const char* data, int length) override
    {
        g_adapters.data.push_back({Now(), GetApplicationID(), std::string(data, length)});
        return 0;
    }
    ~CProbeAdapter() override
    {
        ++g_adapters.deleted;
        if (g_adapters.last == this) g_adapters.last = nullptr;
    }
};

} // namespace

AdapterBase* CProbeFactory::NewAdapter()
{
    if (failNext) return nullptr;
    ++g_adapters.made;
    auto adapter = new CProbeAdapter;
    adapter->SetAdapterType(SMS_ADAPTER_TYPE);
    g_adapters.last = adapter;
    return adapter;
}

void InstallProbeAdapters()
{
    g_adapters = AdapterLog();
    g_adapterClock = nullptr;
    g_probeFactory.failNext = false;
    SwitchManager::getInstance()->RegisterAdapterFactory(SMS_ADAPTER_TYPE, &g_probeFactory);
}
