// softswitch.dll: the host's signalling module, speaking the switch protocol
// to the server over TCP on loopback.
#include "switch_core.h"
#include "switch_manager.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace switchproto;

namespace {

const uint32_t kLastClientSid = 0x7FFFFFFFu;
const uint32_t kFirstServerSid = 0x80000000u;

// host:port from SMSUTIL_SWITCH_ADDR, else the server's default.
void SwitchAddress(std::string& host, std::string& port)
{
    host = "127.0.0.1";
    port = "20061";
    const char* value = getenv("SMSUTIL_SWITCH_ADDR");
    if (!value || !*value) return;
    const std::string text = value;
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
}

} // namespace

SwitchCore& SwitchCore::Instance()
{
    // Never destroyed: its network thread may outlive every static destructor.
    static SwitchCore* core = new SwitchCore;
    return *core;
}

SwitchCore::SwitchCore()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    m_wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

bool SwitchCore::RegisterFactory(unsigned short type, AdapterFactoryBase* factory)
{
    if (!factory) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_factories[type] = factory;
    return true;
}

AdapterBase* SwitchCore::Create(unsigned short type)
{
    AdapterFactoryBase* factory = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_factories.find(type);
        if (it == m_factories.end()) return nullptr;
        factory = it->second;
    }
    AdapterBase* adapter = factory->NewAdapter();
    if (!adapter) return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto state = m_states.find(adapter);
    if (state != m_states.end()) {
        state->second->factory = factory;
        state->second->made = true;
    }
    return adapter;
}

void SwitchCore::Track(AdapterBase* adapter, AdapterBase::State* state)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_states[adapter] = state;
}

void SwitchCore::Forget(AdapterBase* adapter)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto state = m_states.find(adapter);
    if (state == m_states.end()) return;
    EraseCallLocked(adapter, *state->second);
    m_states.erase(state);
}

void SwitchCore::EraseCallLocked(AdapterBase* adapter, AdapterBase::State& state)
{
    if (!state.sid) return;
    auto call = m_calls.find(state.sid);
    if (call != m_calls.end() && call->second == adapter) m_calls.erase(call);
}

void SwitchCore::SetLocalAccount(uint32_t account)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_localAccount = account;
}

int SwitchCore::Call(AdapterBase* adapter, AdapterBase::State& state, uint32_t number, uint16_t type, const char* data, int length)
{
    if (length < 0 || length > static_cast<int>(kMaxFrame) - 11) return -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (state.released) return -1;
    if (!state.sid) {
        state.sid = m_nextSid;
        m_nextSid = m_nextSid == kLastClientSid ? 1 : m_nextSid + 1;
        m_calls[state.sid] = adapter;
    }
    std::string payload;
    PutU32(payload, state.sid);
    PutU32(payload, number);
    PutU16(payload, type);
    if (data && length > 0) payload.append(data, static_cast<size_t>(length));
    QueueFrameLocked(Encode(kCall, payload), static_cast<uint32_t>(strtoul(state.applicationId.c_str(), nullptr, 10)));
    return 0;
}

int SwitchCore::SendData(AdapterBase::State& state, const char* data, int length)
{
    if (length < 0 || (length > 0 && !data) || length > static_cast<int>(kMaxFrame) - 5) return -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Data needs a call; and a link that went down lost the call.
    if (state.released || !state.sid || m_link == Link::kDown) return -1;
    std::string payload;
    PutU32(payload, state.sid);
    payload.append(data, static_cast<size_t>(length));
    QueueFrameLocked(Encode(kData, payload), 0);
    return 0;
}

int SwitchCore::Bye(AdapterBase::State& state)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!state.sid || m_link == Link::kDown) return -1;
    QueueByeLocked(state.sid);
    return 0;
}

void SwitchCore::Release(AdapterBase* adapter, AdapterBase::State& state)
{
    AdapterFactoryBase* factory = nullptr;
    bool deleteNow = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (state.released) return;
        state.released = true;
        if (state.sid && m_link != Link::kDown) QueueByeLocked(state.sid);
        // A callback under way finishes first; the network thread deletes.
        if (state.busy == 0) {
            EraseCallLocked(adapter, state);
            deleteNow = true;
            factory = state.factory;
        }
    }
    if (deleteNow) DeleteAdapter(adapter, factory);
}

void SwitchCore::QueueByeLocked(uint32_t sid)
{
    std::string payload;
    PutU32(payload, sid);
    QueueFrameLocked(Encode(kBye, payload), 0);
}

void SwitchCore::QueueFrameLocked(const std::string& frame, uint32_t loginAccount)
{
    if (m_link == Link::kDown) {
        m_outbox.clear();
        m_link = Link::kConnecting;
        m_loginAccount = loginAccount;
        if (!m_threadStarted) {
            std::thread(&SwitchCore::NetworkThread, this).detach();
            m_threadStarted = true;
        }
    }
    m_outbox.push_back(frame);
    SetEvent(m_wake);
}

void SwitchCore::DeleteAdapter(AdapterBase* adapter, AdapterFactoryBase* factory)
{
    if (factory)
        factory->DeleteAdapter(adapter);
    else
        delete adapter;
}

bool SwitchCore::UnholdLocked(AdapterBase* adapter, AdapterBase::State& state)
{
    --state.busy;
    if (!state.released || state.busy > 0) return false;
    EraseCallLocked(adapter, state);
    return true;
}

bool SwitchCore::ReleaseServerStartedLocked(AdapterBase* adapter, AdapterBase::State& state)
{
    if (state.released) return false;
    state.released = true;
    if (state.busy > 0) return false;
    EraseCallLocked(adapter, state);
    return true;
}

void SwitchCore::ForgetCallsLocked()
{
    // Calls do not survive their link: the next Call makes a new one.
    for (auto& entry : m_states) entry.second->sid = 0;
    m_calls.clear();
}

// ---------------------------------------------------------------- network thread

void SwitchCore::NetworkThread()
{
    for (;;) {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_link == Link::kConnecting) break;
            }
            WaitForSingleObject(m_wake, INFINITE);
        }
        const SOCKET socket = Connect();
        if (socket == INVALID_SOCKET) {
            // No server: the calls get no result, and the next call tries again.
            std::lock_guard<std::mutex> lock(m_mutex);
            m_outbox.clear();
            ForgetCallsLocked();
            m_link = Link::kDown;
            continue;
        }
        const DisconnectReason reason = Serve(socket);
        closesocket(socket);
        LinkDown(reason);
    }
}

SOCKET SwitchCore::Connect()
{
    std::string host, port;
    SwitchAddress(host, port);
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return INVALID_SOCKET;
    SOCKET socket = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (socket != INVALID_SOCKET && connect(socket, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
        closesocket(socket);
        socket = INVALID_SOCKET;
    }
    freeaddrinfo(found);
    if (socket != INVALID_SOCKET) {
        BOOL noDelay = TRUE;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    }
    return socket;
}

bool SwitchCore::WritePending(SOCKET socket, std::deque<std::string>& pending, size_t& offset)
{
    while (!pending.empty()) {
        const std::string& frame = pending.front();
        const int n = send(socket, frame.data() + offset, static_cast<int>(frame.size() - offset), 0);
        if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEWOULDBLOCK; // FD_WRITE says when to go on
        offset += static_cast<size_t>(n);
        if (offset == frame.size()) {
            pending.pop_front();
            offset = 0;
        }
    }
    return true;
}

DisconnectReason SwitchCore::Serve(SOCKET socket)
{
    // From here on the socket does not block: the thread waits for the
    // socket and for the outbox together.
    WSAEVENT socketEvent = WSACreateEvent();
    if (socketEvent == WSA_INVALID_EVENT) return kWriteFailed;
    DisconnectReason reason = kWriteFailed;
    if (WSAEventSelect(socket, socketEvent, FD_READ | FD_WRITE | FD_CLOSE) == 0) reason = Exchange(socket, socketEvent);
    WSACloseEvent(socketEvent);
    return reason;
}

DisconnectReason SwitchCore::Exchange(SOCKET socket, WSAEVENT socketEvent)
{
    std::deque<std::string> pending;
    size_t offset = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string login;
        PutU32(login, m_localAccount ? m_localAccount : m_loginAccount);
        pending.push_back(Encode(kLogin, login));
        m_link = Link::kUp;
    }

    FrameReader reader;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (std::string& frame : m_outbox) pending.push_back(std::move(frame));
            m_outbox.clear();
        }
        if (!WritePending(socket, pending, offset)) return kWriteFailed;
        HANDLE events[2] = {socketEvent, m_wake};
        WSAWaitForMultipleEvents(2, events, FALSE, WSA_INFINITE, FALSE);
        WSANETWORKEVENTS happened = {};
        if (WSAEnumNetworkEvents(socket, socketEvent, &happened) != 0) return kReadFailed;
        if ((happened.lNetworkEvents & FD_WRITE) && happened.iErrorCode[FD_WRITE_BIT]) return kWriteFailed;
        if (!(happened.lNetworkEvents & (FD_READ | FD_CLOSE))) continue;
        DisconnectReason reason = kReadFailed;
        if (!ReadAvailable(socket, reader, reason)) return reason;
        if (happened.lNetworkEvents & FD_CLOSE) return kServerClosed;
    }
}

bool SwitchCore::ReadAvailable(SOCKET socket, FrameReader& reader, DisconnectReason& reason)
{
    char buffer[16384];
    for (;;) {
        const int n = recv(socket, buffer, sizeof buffer, 0);
        if (n == 0) return reason = kServerClosed, false;
        if (n == SOCKET_ERROR) {
            if (WSAGetLastError() == WSAEWOULDBLOCK) return true;
            return reason = kReadFailed, false;
        }
        reader.Feed(buffer, static_cast<size_t>(n));
        Frame frame;
        std::string error;
        FrameReader::Result result;
        while ((result = reader.Next(frame, error)) == FrameReader::kFrame) Dispatch(frame);
        if (result == FrameReader::kBad) return reason = kBadFrame, false;
    }
}

void SwitchCore::LinkDown(DisconnectReason reason)
{
    std::vector<std::pair<AdapterBase*, AdapterBase::State*>> live;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_link = Link::kDown;
        m_outbox.clear();
        ForgetCallsLocked();
        for (auto& entry : m_states) {
            if (!entry.second->made || entry.second->released) continue;
            ++entry.second->busy;
            live.push_back(entry);
        }
    }
    for (auto& entry : live) entry.first->OnDisconnected(reason);
    std::vector<std::pair<AdapterBase*, AdapterFactoryBase*>> doomed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& entry : live) {
            AdapterBase::State& state = *entry.second;
            // The adapters made for the server's calls belong to this module:
            // their calls are gone, and nobody else will give them back.
            if (state.serverStarted) state.released = true;
            if (UnholdLocked(entry.first, state)) doomed.emplace_back(entry.first, state.factory);
        }
    }
    for (auto& entry : doomed) DeleteAdapter(entry.first, entry.second);
}

template <typename Callback>
void SwitchCore::WithAdapter(uint32_t sid, Callback callback)
{
    AdapterBase* adapter = nullptr;
    AdapterBase::State* state = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_calls.find(sid);
        if (it == m_calls.end()) return;
        adapter = it->second;
        state = m_states[adapter];
        if (state->released) return;
        ++state->busy;
    }
    callback(adapter);
    AdapterFactoryBase* factory = nullptr;
    bool deleteNow = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        deleteNow = UnholdLocked(adapter, *state);
        factory = state->factory;
    }
    if (deleteNow) DeleteAdapter(adapter, factory);
}

void SwitchCore::EndServerCall(uint32_t sid)
{
    WithAdapter(sid, [](AdapterBase* adapter) { adapter->OnBye(0, 0, 0); });
    AdapterBase* adapter = nullptr;
    AdapterFactoryBase* factory = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_calls.find(sid);
        if (it == m_calls.end()) return;
        AdapterBase::State& state = *m_states[it->second];
        if (!state.serverStarted || !ReleaseServerStartedLocked(it->second, state)) return;
        adapter = it->second;
        factory = state.factory;
    }
    DeleteAdapter(adapter, factory);
}

void SwitchCore::Incoming(uint32_t sid, uint16_t type)
{
    // The server numbers its calls apart from the switch's: an INCOMING in
    // the switch's range would take over one of the caller's own calls.
    if (sid < kFirstServerSid) return;
    // A new call under a sid still in use: the server has ended the older one.
    EndServerCall(sid);
    AdapterFactoryBase* factory = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_factories.find(type);
        if (it != m_factories.end()) factory = it->second;
    }
    AdapterBase* adapter = factory ? factory->NewAdapter() : nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto state = adapter ? m_states.find(adapter) : m_states.end();
    if (state == m_states.end()) {
        QueueByeLocked(sid);
        return;
    }
    state->second->factory = factory;
    state->second->made = true;
    state->second->serverStarted = true;
    state->second->sid = sid;
    m_calls[sid] = adapter;
}

void SwitchCore::Dispatch(const Frame& frame)
{
    const std::string& p = frame.payload;
    switch (frame.opcode) {
    case kCallResult: {
        const uint16_t status = GetU16(p, 4);
        WithAdapter(GetU32(p, 0), [status](AdapterBase* adapter) { adapter->OnCallResult(status, 0, 0, 0, 0, 0, 0); });
        break;
    }
    case kServerData: {
        const std::string bytes = p.substr(4);
        WithAdapter(GetU32(p, 0), [&bytes](AdapterBase* adapter) {
            adapter->OnRecvData(bytes.data(), static_cast<int>(bytes.size()));
        });
        break;
    }
    case kBye:
        EndServerCall(GetU32(p, 0));
        break;
    case kIncoming:
        Incoming(GetU32(p, 0), GetU16(p, 8));
        break;
    default:
        break; // LOGIN_OK and anything else carry nothing for an adapter
    }
}

// ---------------------------------------------------------------- exported classes

SwitchManager* SwitchManager::getInstance()
{
    static SwitchManager manager;
    return &manager;
}

bool SwitchManager::RegisterAdapterFactory(unsigned short type, AdapterFactoryBase* factory)
{
    return SwitchCore::Instance().RegisterFactory(type, factory);
}

bool SwitchManager::UnregisterAdapterFactory(unsigned short type, AdapterFactoryBase* factory)
{
    return SwitchCore::Instance().UnregisterFactory(type, factory);
}

bool SwitchCore::UnregisterFactory(unsigned short type, AdapterFactoryBase* factory)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_factories.find(type);
    if (it == m_factories.end() || it->second != factory) return false;
    m_factories.erase(it);
    return true;
}

AdapterBase* SwitchManager::CreateAdapter(unsigned short type) { return SwitchCore::Instance().Create(type); }

void SwitchManager::SetLocalAccount(unsigned int account) { SwitchCore::Instance().SetLocalAccount(account); }

AdapterFactoryBase::~AdapterFactoryBase() = default;
