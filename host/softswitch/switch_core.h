// The signalling module's engine: one connection per process to the switch
// server, its network thread, and the map from session ids to adapters.
#pragma once
#include <winsock2.h>

#include "adapter_base.h"
#include "adapter_factory_base.h"
#include "switch_frame.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AdapterBase::State {
    unsigned short type = 0;
    std::string applicationId;
    uint32_t sid = 0;                    // 0 until the first Call
    AdapterFactoryBase* factory = nullptr;
    bool released = false;
    int busy = 0;                        // callbacks under way
    unsigned short natType = 0;
};

class SwitchCore {
public:
    static SwitchCore& Instance();

    bool RegisterFactory(unsigned short type, AdapterFactoryBase* factory);
    bool UnregisterFactory(unsigned short type, AdapterFactoryBase* factory);
    AdapterBase* Create(unsigned short type);
    void SetLocalAccount(uint32_t account);
    // Every adapter's state is known from construction to destruction.
    void Track(AdapterBase* adapter, AdapterBase::State* state);
    void Forget(AdapterBase* adapter);

    int Call(AdapterBase* adapter, AdapterBase::State& state, uint32_t number, uint16_t type,
             const char* data, int length);
    int SendData(AdapterBase::State& state, const char* data, int length);
    int Bye(AdapterBase::State& state);
    void Release(AdapterBase* adapter, AdapterBase::State& state);

private:
    enum class Link { kDown, kConnecting, kUp };

    SwitchCore();
    // Under m_mutex: sends now, or queues while the connection comes up; a
    // connection that is down starts coming up.
    void SendFrameLocked(const std::string& frame, uint32_t loginAccount);
    void SendByeLocked(uint32_t sid);
    void NetworkThread(uint32_t account);
    void Dispatch(const switchproto::Frame& frame);
    // Runs `callback` on the adapter of `sid` unless it is gone or released.
    template <typename Callback> void WithAdapter(uint32_t sid, Callback callback);
    void DeleteAdapter(AdapterBase* adapter, AdapterFactoryBase* factory);
    bool SendAll(SOCKET socket, const std::string& bytes);

    std::mutex m_mutex;
    std::map<unsigned short, AdapterFactoryBase*> m_factories;
    std::map<uint32_t, AdapterBase*> m_calls;
    std::map<AdapterBase*, AdapterBase::State*> m_states;
    uint32_t m_nextSid = 1;
    uint32_t m_localAccount = 0;
    Link m_link = Link::kDown;
    SOCKET m_socket = INVALID_SOCKET;
    std::vector<std::string> m_outbox;
    std::thread m_thread;
};
