// The signalling module's engine: one connection per process to the switch
// server, its network thread, and the map from session ids to adapters.
//
// Only the network thread touches the socket. Callers on the GUI thread put
// frames into the outbox and return; the network thread connects, writes the
// outbox, reads and runs the callbacks, never holding the lock while it does
// any of that. When the link goes down it tells every live adapter
// (OnDisconnected), forgets every call, and releases the adapters it made
// for calls the server started; the next Call brings a new link up.
#pragma once
#include <winsock2.h>

#include "adapter_base.h"
#include "adapter_factory_base.h"
#include "switch_frame.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct AdapterBase::State {
    unsigned short type = 0;
    std::string applicationId;
    uint32_t sid = 0;                    // 0 until the first Call, and again after the link went down
    AdapterFactoryBase* factory = nullptr;
    bool made = false;                   // fully built by a factory: callbacks may reach it
    bool serverStarted = false;          // made for an INCOMING: the module owns it, not a caller
    bool released = false;
    int busy = 0;                        // callbacks under way
    unsigned short natType = 0;
};

// Why a link went down: the argument of OnDisconnected.
enum DisconnectReason {
    kServerClosed = 1, // the server ended the connection
    kReadFailed = 2,
    kWriteFailed = 3,
    kBadFrame = 4,     // the server sent something outside the protocol
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
    // Under m_mutex: queues the frame for the network thread; a link that is
    // down starts coming up, logging in as `loginAccount` unless the host
    // named the account.
    void QueueFrameLocked(const std::string& frame, uint32_t loginAccount);
    void QueueByeLocked(uint32_t sid);
    void NetworkThread();
    SOCKET Connect();
    // Writes and reads until the link fails; gives the reason.
    DisconnectReason Serve(SOCKET socket);
    // Serve's loop, once the socket signals socketEvent.
    DisconnectReason Exchange(SOCKET socket, WSAEVENT socketEvent);
    // Reads and dispatches what the socket holds until it would block;
    // false, with the reason, when the link has ended.
    bool ReadAvailable(SOCKET socket, switchproto::FrameReader& reader, DisconnectReason& reason);
    // Flushes `pending` as far as the socket takes it without waiting.
    bool WritePending(SOCKET socket, std::deque<std::string>& pending, size_t& offset);
    void LinkDown(DisconnectReason reason);
    void Dispatch(const switchproto::Frame& frame);
    void Incoming(uint32_t sid, uint16_t type);
    // The server ended one of its calls (BYE, or a new INCOMING under its
    // sid): the adapter hears OnBye, and one made for the call is released.
    void EndServerCall(uint32_t sid);
    // Runs `callback` on the adapter of `sid` unless it is gone or released.
    template <typename Callback> void WithAdapter(uint32_t sid, Callback callback);
    // Under m_mutex: takes a callback's hold off the adapter; true when it
    // was released meanwhile and is now to be deleted.
    bool UnholdLocked(AdapterBase* adapter, AdapterBase::State& state);
    // Under m_mutex: the module gives back an adapter it made itself.
    bool ReleaseServerStartedLocked(AdapterBase* adapter, AdapterBase::State& state);
    void DeleteAdapter(AdapterBase* adapter, AdapterFactoryBase* factory);
    void EraseCallLocked(AdapterBase* adapter, AdapterBase::State& state);
    void ForgetCallsLocked();

    std::mutex m_mutex;
    std::map<unsigned short, AdapterFactoryBase*> m_factories;
    std::map<uint32_t, AdapterBase*> m_calls;
    std::map<AdapterBase*, AdapterBase::State*> m_states;
    uint32_t m_nextSid = 1;
    uint32_t m_localAccount = 0;
    uint32_t m_loginAccount = 0;         // the account of the link coming up
    Link m_link = Link::kDown;
    std::vector<std::string> m_outbox;   // frames for the network thread to write
    HANDLE m_wake = nullptr;             // set when the outbox or the link wants the network thread
    bool m_threadStarted = false;
};
