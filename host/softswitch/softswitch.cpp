// softswitch.dll: the host's signalling module, speaking the switch protocol
// to the server over TCP on loopback.
#include "switch_core.h"
#include "switch_manager.h"

#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>

using namespace switchproto;

namespace {

const uint32_t kLastClientSid = 0x7FFFFFFFu;

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
    if (state != m_states.end()) state->second->factory = factory;
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
    if (state->second->sid) {
        auto call = m_calls.find(state->second->sid);
        if (call != m_calls.end() && call->second == adapter) m_calls.erase(call);
    }
    m_states.erase(state);
}

void SwitchCore::SetLocalAccount(uint32_t account)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_localAccount = account;
}

int SwitchCore::Call(AdapterBase* adapter, AdapterBase::State& state, uint32_t number, uint16_t type, const char* data, int length)
{
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
    SendFrameLocked(Encode(kCall, payload), static_cast<uint32_t>(strtoul(state.applicationId.c_str(), nullptr, 10)));
    return 0;
}

int SwitchCore::SendData(AdapterBase::State& state, const char* data, int length)
{
    if (length < 0 || (length > 0 && !data) || length > static_cast<int>(kMaxFrame) - 5) return -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    // Data needs a call; and a connection that went down lost the call.
    if (state.released || !state.sid || m_link == Link::kDown) return -1;
    std::string payload;
    PutU32(payload, state.sid);
    payload.append(data, static_cast<size_t>(length));
    SendFrameLocked(Encode(kData, payload), 0);
    return 0;
}

int SwitchCore::Bye(AdapterBase::State& state)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!state.sid || m_link == Link::kDown) return -1;
    SendByeLocked(state.sid);
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
        if (state.sid && m_link != Link::kDown) SendByeLocked(state.sid);
        // A callback under way finishes first; the network thread deletes.
        if (state.busy == 0) {
            if (state.sid) m_calls.erase(state.sid);
            deleteNow = true;
            factory = state.factory;
        }
    }
    if (deleteNow) DeleteAdapter(adapter, factory);
}

void SwitchCore::SendByeLocked(uint32_t sid)
{
    std::string payload;
    PutU32(payload, sid);
    SendFrameLocked(Encode(kBye, payload), 0);
}

void SwitchCore::DeleteAdapter(AdapterBase* adapter, AdapterFactoryBase* factory)
{
    if (factory)
        factory->DeleteAdapter(adapter);
    else
        delete adapter;
}

bool SwitchCore::SendAll(SOCKET socket, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void SwitchCore::SendFrameLocked(const std::string& frame, uint32_t loginAccount)
{
    switch (m_link) {
    case Link::kUp:
        SendAll(m_socket, frame);
        return;
    case Link::kConnecting:
        m_outbox.push_back(frame);
        return;
    case Link::kDown: {
        m_outbox.clear();
        m_outbox.push_back(frame);
        m_link = Link::kConnecting;
        const uint32_t account = m_localAccount ? m_localAccount : loginAccount;
        // The previous network thread has ended: it set the link down last.
        if (m_thread.joinable()) m_thread.detach();
        m_thread = std::thread(&SwitchCore::NetworkThread, this, account);
        return;
    }
    }
}

void SwitchCore::NetworkThread(uint32_t account)
{
    std::string host, port;
    SwitchAddress(host, port);
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    SOCKET socket = INVALID_SOCKET;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) == 0) {
        socket = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
        if (socket != INVALID_SOCKET && connect(socket, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
            closesocket(socket);
            socket = INVALID_SOCKET;
        }
        freeaddrinfo(found);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (socket == INVALID_SOCKET) {
            // No server: the calls get no result, and the next call tries again.
            m_outbox.clear();
            m_link = Link::kDown;
            return;
        }
        BOOL noDelay = TRUE;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        std::string login;
        PutU32(login, account);
        bool ok = SendAll(socket, Encode(kLogin, login));
        for (const std::string& frame : m_outbox) ok = ok && SendAll(socket, frame);
        m_outbox.clear();
        m_socket = socket;
        m_link = Link::kUp;
    }

    FrameReader reader;
    char buffer[16384];
    for (;;) {
        const int n = recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reader.Feed(buffer, static_cast<size_t>(n));
        Frame frame;
        std::string error;
        FrameReader::Result result;
        while ((result = reader.Next(frame, error)) == FrameReader::kFrame) Dispatch(frame);
        if (result == FrameReader::kBad) break;
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    closesocket(socket);
    m_socket = INVALID_SOCKET;
    m_outbox.clear();
    // Calls do not survive their connection: the next Call makes a new one.
    for (auto& entry : m_states) entry.second->sid = 0;
    m_calls.clear();
    m_link = Link::kDown;
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
        --state->busy;
        if (state->released && state->busy == 0) {
            if (state->sid) m_calls.erase(state->sid);
            deleteNow = true;
            factory = state->factory;
        }
    }
    if (deleteNow) DeleteAdapter(adapter, factory);
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
        WithAdapter(GetU32(p, 0), [](AdapterBase* adapter) { adapter->OnBye(0, 0, 0); });
        break;
    case kIncoming: {
        const uint32_t sid = GetU32(p, 0);
        const uint16_t type = GetU16(p, 8);
        AdapterFactoryBase* factory = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_factories.find(type);
            if (it != m_factories.end()) factory = it->second;
        }
        AdapterBase* adapter = factory ? factory->NewAdapter() : nullptr;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!adapter) {
            SendByeLocked(sid);
            break;
        }
        AdapterBase::State* state = m_states[adapter];
        state->factory = factory;
        state->sid = sid;
        m_calls[sid] = adapter;
        break;
    }
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
