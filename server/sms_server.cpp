#include "sms_server.h"

#include "gbk.h"
#include "service_text.h"
#include "switch_frame.h"

#include <asio.hpp>

#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace smsd {

using asio::ip::tcp;
using namespace switchproto;

namespace {

const uint32_t kFirstServerSid = 0x80000000u;

bool HasService(const DirectoryAccount* account) { return account && (account->level == 2 || account->level == 3); }

} // namespace

class SmsServer::Impl {
public:
    class Session;

    Impl(const AccountDirectory& directory, ServerOptions options)
        : m_directory(directory), m_options(std::move(options)), m_acceptor(m_io), m_tick(m_io)
    {
        if (!m_options.clock) m_options.clock = [] { return time(nullptr); };
        m_reasonUnknown = Utf8ToGbk("对方号码不存在");
        m_reasonNoService = Utf8ToGbk("对方没有开通短信服务");
    }

    bool Listen(std::string& error);
    void Run();
    void Stop() { asio::post(m_io, [this] { m_io.stop(); }); }
    void StopOnSignals(std::function<void(int)> stopped)
    {
        m_signals.reset(new asio::signal_set(m_io, SIGINT, SIGTERM));
        m_signals->async_wait([this, stopped](asio::error_code error, int signal) {
            if (error) return;
            if (stopped) stopped(signal);
            m_io.stop();
        });
    }
    void ReleaseDue() { asio::post(m_io, [this] { DeliverDue(); }); }
    uint16_t Port() const { return m_port; }

    void Log(const std::string& line)
    {
        if (!m_options.log) return;
        std::lock_guard<std::mutex> lock(m_logMutex);
        *m_options.log << line << std::endl;
    }

    // Called by sessions, on the io thread.
    bool OnLogin(const std::shared_ptr<Session>& session, uint32_t account, std::string& why);
    void OnCall(const std::shared_ptr<Session>& session, uint32_t sid, uint32_t callee, uint16_t type);
    void OnData(const std::shared_ptr<Session>& session, uint32_t sid, const std::string& bytes);
    void OnGone(Session* session);

private:
    void Accept();
    void ScheduleTick();
    void DeliverDue();
    // Sends a text that the server starts, now or when its account logs in.
    void DeliverText(uint32_t account, uint32_t caller, const std::string& text);
    void Relay(uint32_t sender, const SendRequest& request);

    const AccountDirectory& m_directory;
    ServerOptions m_options;
    asio::io_context m_io;
    tcp::acceptor m_acceptor;
    asio::steady_timer m_tick;
    std::unique_ptr<asio::signal_set> m_signals;
    uint16_t m_port = 0;
    std::mutex m_logMutex;
    std::string m_reasonUnknown;
    std::string m_reasonNoService;

    std::map<uint32_t, std::weak_ptr<Session>> m_online;
    std::map<uint32_t, std::deque<std::pair<uint32_t, std::string>>> m_waiting; // account -> (caller, text)
    struct Scheduled {
        uint32_t recipient;
        uint32_t sender;
        std::string text;
    };
    std::multimap<time_t, Scheduled> m_scheduled;
    uint32_t m_nextSid = kFirstServerSid;
    uint16_t m_blockTag = 0;

    friend class Session;
};

class SmsServer::Impl::Session : public std::enable_shared_from_this<Session> {
public:
    Session(Impl& server, tcp::socket socket) : m_server(server), m_socket(std::move(socket))
    {
        asio::error_code ignored;
        const auto peer = m_socket.remote_endpoint(ignored);
        m_peer = peer.address().to_string(ignored) + ":" + std::to_string(peer.port());
    }

    void Start() { Read(); }
    uint32_t Account() const { return m_account; }
    bool IsServiceCall(uint32_t sid) const
    {
        auto it = m_calls.find(sid);
        return it != m_calls.end() && it->second == m_account;
    }
    bool HasCall(uint32_t sid) const { return m_calls.count(sid) > 0; }

    void Send(uint8_t opcode, const std::string& payload, const std::string& what)
    {
        if (m_closed) return;
        m_server.Log("send " + Name() + " " + what);
        const bool idle = m_outbox.empty();
        m_outbox.push_back(Encode(opcode, payload));
        if (idle) Write();
    }

    void Close(const std::string& why)
    {
        if (m_closed) return;
        m_closed = true;
        m_server.Log("close " + Name() + ": " + why);
        asio::error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
        m_server.OnGone(this);
    }

    std::string Name() const { return m_account ? std::to_string(m_account) : m_peer; }

private:
    void Read()
    {
        auto self = shared_from_this();
        m_socket.async_read_some(asio::buffer(m_buffer), [this, self](asio::error_code error, size_t size) {
            if (error) {
                Close(error == asio::error::eof ? "peer closed" : error.message());
                return;
            }
            m_reader.Feed(m_buffer.data(), size);
            Frame frame;
            std::string why;
            for (;;) {
                const FrameReader::Result result = m_reader.Next(frame, why);
                if (result == FrameReader::kNeedMore) break;
                if (result == FrameReader::kBad) { Close(why); return; }
                if (!Handle(frame)) return;
            }
            if (!m_closed) Read();
        });
    }

    void Write()
    {
        auto self = shared_from_this();
        asio::async_write(m_socket, asio::buffer(m_outbox.front()), [this, self](asio::error_code error, size_t) {
            if (error) { Close(error.message()); return; }
            m_outbox.pop_front();
            if (!m_outbox.empty() && !m_closed) Write();
        });
    }

    // False when the frame closed the connection.
    bool Handle(const Frame& frame)
    {
        auto self = shared_from_this();
        const std::string& p = frame.payload;
        if (!m_account && frame.opcode != kLogin) { Close("first frame is not LOGIN"); return false; }
        switch (frame.opcode) {
        case kLogin: {
            const uint32_t account = GetU32(p, 0);
            m_server.Log("recv " + m_peer + " LOGIN " + std::to_string(account));
            std::string why;
            if (m_account) { Close("second LOGIN"); return false; }
            if (!m_server.OnLogin(self, account, why)) { Close(why); return false; }
            return true;
        }
        case kCall: {
            const uint32_t sid = GetU32(p, 0), callee = GetU32(p, 4);
            const uint16_t type = GetU16(p, 8);
            m_server.Log("recv " + Name() + " CALL sid=" + std::to_string(sid) + " callee=" + std::to_string(callee) +
                         " type=" + std::to_string(type));
            m_calls[sid] = callee;
            m_server.OnCall(self, sid, callee, type);
            return !m_closed;
        }
        case kData: {
            const uint32_t sid = GetU32(p, 0);
            const std::string bytes = p.substr(4);
            m_server.Log("recv " + Name() + " DATA sid=" + std::to_string(sid) + " " + Printable(bytes));
            m_server.OnData(self, sid, bytes);
            return !m_closed;
        }
        case kBye: {
            const uint32_t sid = GetU32(p, 0);
            m_server.Log("recv " + Name() + " BYE sid=" + std::to_string(sid));
            m_calls.erase(sid);
            return true;
        }
        default:
            Close("opcode " + std::to_string(frame.opcode) + " is the server's own");
            return false;
        }
    }

    Impl& m_server;
    tcp::socket m_socket;
    std::string m_peer;
    std::array<char, 8192> m_buffer;
    FrameReader m_reader;
    std::deque<std::string> m_outbox;
    std::map<uint32_t, uint32_t> m_calls; // sid -> callee
    uint32_t m_account = 0;
    bool m_closed = false;

    friend class Impl;
};

bool SmsServer::Impl::Listen(std::string& error)
{
    asio::error_code code;
    const auto address = asio::ip::make_address(m_options.listenHost, code);
    if (code) { error = "bad listen address " + m_options.listenHost; return false; }
    const tcp::endpoint endpoint(address, m_options.listenPort);
    m_acceptor.open(endpoint.protocol(), code);
    if (!code) m_acceptor.set_option(tcp::acceptor::reuse_address(true), code);
    if (!code) m_acceptor.bind(endpoint, code);
    if (!code) m_acceptor.listen(asio::socket_base::max_listen_connections, code);
    if (code) { error = "cannot listen on " + m_options.listenHost + ":" + std::to_string(m_options.listenPort) + ": " + code.message(); return false; }
    m_port = m_acceptor.local_endpoint().port();
    Accept();
    ScheduleTick();
    return true;
}

void SmsServer::Impl::Run() { m_io.run(); }

void SmsServer::Impl::Accept()
{
    m_acceptor.async_accept([this](asio::error_code error, tcp::socket socket) {
        if (!error) {
            asio::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            std::make_shared<Session>(*this, std::move(socket))->Start();
        }
        if (m_acceptor.is_open()) Accept();
    });
}

void SmsServer::Impl::ScheduleTick()
{
    m_tick.expires_after(std::chrono::seconds(1));
    m_tick.async_wait([this](asio::error_code error) {
        if (error) return;
        DeliverDue();
        ScheduleTick();
    });
}

bool SmsServer::Impl::OnLogin(const std::shared_ptr<Session>& session, uint32_t account, std::string& why)
{
    const DirectoryAccount* entry = m_directory.Find(account);
    if (!entry || !entry->knownToServer) {
        why = "unknown account " + std::to_string(account);
        return false;
    }
    auto previous = m_online.find(account);
    if (previous != m_online.end()) {
        if (auto old = previous->second.lock()) old->Close("the account logged in again");
    }
    session->m_account = account;
    m_online[account] = session;
    session->Send(kLoginOk, std::string(), "LOGIN_OK");
    auto waiting = m_waiting.find(account);
    if (waiting != m_waiting.end()) {
        auto texts = std::move(waiting->second);
        m_waiting.erase(waiting);
        for (const auto& text : texts) DeliverText(account, text.first, text.second);
    }
    return true;
}

void SmsServer::Impl::OnCall(const std::shared_ptr<Session>& session, uint32_t sid, uint32_t callee, uint16_t type)
{
    const uint16_t status = type == kSmsType ? 0 : 1;
    std::string payload;
    PutU32(payload, sid);
    PutU16(payload, status);
    const std::string what = "CALL_RESULT sid=" + std::to_string(sid) + " status=" + std::to_string(status);
    if (m_options.answerDelayMs == 0) {
        session->Send(kCallResult, payload, what);
        return;
    }
    auto timer = std::make_shared<asio::steady_timer>(m_io, std::chrono::milliseconds(m_options.answerDelayMs));
    std::weak_ptr<Session> weak = session;
    timer->async_wait([timer, weak, payload, what](asio::error_code error) {
        if (error) return;
        if (auto live = weak.lock()) live->Send(kCallResult, payload, what);
    });
}

void SmsServer::Impl::OnData(const std::shared_ptr<Session>& session, uint32_t sid, const std::string& bytes)
{
    if (!session->HasCall(sid)) {
        Log("ignore " + session->Name() + ": DATA for sid " + std::to_string(sid) + " without a call");
        return;
    }
    if (session->IsServiceCall(sid)) {
        if (bytes != std::string("1", 2)) {
            Log("ignore " + session->Name() + ": service call data is not the query \"1\"");
            return;
        }
        const DirectoryAccount* entry = m_directory.Find(session->Account());
        std::string payload;
        PutU32(payload, sid);
        const std::string text = StartupAnswer(m_options.orderBase, entry->answer, entry->phone);
        payload += Block(++m_blockTag, text);
        session->Send(kServerData, payload, "DATA sid=" + std::to_string(sid) + " " + Printable(text));
        return;
    }
    SendRequest request;
    std::string error;
    if (!ParseSendRequest(bytes, request, error)) {
        Log("ignore " + session->Name() + ": " + error);
        return;
    }
    if (request.sender != std::to_string(session->Account()))
        Log("note " + session->Name() + ": request names sender " + request.sender + "; the connection's account is used");
    Relay(session->Account(), request);
}

void SmsServer::Impl::Relay(uint32_t sender, const SendRequest& request)
{
    const uint32_t recipient = static_cast<uint32_t>(strtoul(request.recipient.c_str(), nullptr, 10));
    const DirectoryAccount* entry = m_directory.Find(recipient);
    if (!entry || !entry->knownToServer || !HasService(entry)) {
        const std::string& reason = (!entry || !entry->knownToServer) ? m_reasonUnknown : m_reasonNoService;
        DeliverText(sender, recipient, UndeliveredNotice(request.recipient, reason));
        return;
    }
    const std::string text = IncomingMessage(std::to_string(sender), request.text);
    time_t due = 0;
    if (request.scheduled) {
        if (!ParseLocalTime(request.time, due)) {
            Log("note " + std::to_string(sender) + ": unreadable time \"" + Printable(request.time) + "\", sent at once");
            due = 0;
        }
    }
    if (due > m_options.clock()) {
        Log("hold for " + std::to_string(recipient) + " until " + request.time);
        m_scheduled.emplace(due, Scheduled{recipient, sender, text});
        return;
    }
    DeliverText(recipient, sender, text);
}

void SmsServer::Impl::DeliverDue()
{
    const time_t now = m_options.clock();
    while (!m_scheduled.empty() && m_scheduled.begin()->first <= now) {
        const Scheduled item = m_scheduled.begin()->second;
        m_scheduled.erase(m_scheduled.begin());
        DeliverText(item.recipient, item.sender, item.text);
    }
}

void SmsServer::Impl::DeliverText(uint32_t account, uint32_t caller, const std::string& text)
{
    auto online = m_online.find(account);
    std::shared_ptr<Session> session = online == m_online.end() ? nullptr : online->second.lock();
    if (!session) {
        Log("queue for " + std::to_string(account) + ": " + Printable(text));
        m_waiting[account].emplace_back(caller, text);
        return;
    }
    const uint32_t sid = m_nextSid++;
    if (m_nextSid == 0) m_nextSid = kFirstServerSid;
    std::string incoming;
    PutU32(incoming, sid);
    PutU32(incoming, caller);
    PutU16(incoming, kSmsType);
    session->Send(kIncoming, incoming, "INCOMING sid=" + std::to_string(sid) + " caller=" + std::to_string(caller));
    std::string data;
    PutU32(data, sid);
    data += Block(++m_blockTag, text);
    session->Send(kServerData, data, "DATA sid=" + std::to_string(sid) + " " + Printable(text));
}

void SmsServer::Impl::OnGone(Session* session)
{
    auto online = m_online.find(session->Account());
    if (online != m_online.end() && online->second.lock().get() == session) m_online.erase(online);
}

SmsServer::SmsServer(const AccountDirectory& directory, ServerOptions options)
    : m_impl(new Impl(directory, std::move(options))) {}
SmsServer::~SmsServer() = default;
bool SmsServer::Listen(std::string& error) { return m_impl->Listen(error); }
uint16_t SmsServer::Port() const { return m_impl->Port(); }
void SmsServer::Run() { m_impl->Run(); }
void SmsServer::Stop() { m_impl->Stop(); }
void SmsServer::StopOnSignals(std::function<void(int)> stopped) { m_impl->StopOnSignals(std::move(stopped)); }
void SmsServer::ReleaseDue() { m_impl->ReleaseDue(); }

} // namespace smsd
