// The signalling module's entry point: factories per adapter type, and
// adapters made by them.
#pragma once
#include "softswitch_api.h"

class AdapterBase;
class AdapterFactoryBase;

class SOFTSWITCH_API SwitchManager {
public:
    static SwitchManager* getInstance();

    // From now on adapters of `type` are made by `factory`, also for calls
    // that the server starts.
    bool RegisterAdapterFactory(unsigned short type, AdapterFactoryBase* factory);
    // From now on no adapter of `type` is made by `factory`; false when
    // another factory (or none) is registered for it. Adapters it made live on.
    bool UnregisterAdapterFactory(unsigned short type, AdapterFactoryBase* factory);
    // A new adapter of `type`, or null when no factory makes one.
    AdapterBase* CreateAdapter(unsigned short type);
    // The host's log-in: the account the connection to the server logs in
    // with. Until the host says, the first caller's application id is used.
    void SetLocalAccount(unsigned int account);

private:
    SwitchManager() = default;
};
