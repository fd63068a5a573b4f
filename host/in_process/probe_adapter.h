// The module's adapter type as a test plays the switch: calls and data are
// recorded instead of reaching a server, and the test decides when an adapter
// connects. Register the factory after the plugin's InitPlugin.
#pragma once
#include "transport/sms_adapter.h"

#include <functional>
#include <string>
#include <vector>

struct AdapterCall {
    unsigned at;               // the test's clock at the call
    std::string applicationId;
    unsigned number;
};

struct AdapterData {
    unsigned at;
    std::string applicationId;
    std::string bytes;
};

struct AdapterLog {
    std::vector<AdapterCall> calls;
    std::vector<AdapterData> data;
    int made = 0;
    int deleted = 0;
    CSmsAdapter* last = nullptr; // the newest adapter still alive
};
extern AdapterLog g_adapters;
// What the records take as the time of a call; 0 unless a test says.
extern std::function<unsigned()> g_adapterClock;

class CProbeFactory : public CSmsAdapterFactory {
public:
    AdapterBase* NewAdapter() override;
    bool failNext = false;
};
extern CProbeFactory g_probeFactory;

// Forgets every record and the clock; registers the probe factory.
void InstallProbeAdapters();
