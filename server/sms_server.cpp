#include "sms_server.h"

#include "gbk.h"
#include "queue_file.h"
#include "service_text.h"
#include "switch_frame.h"

#include <asio.hpp>

#include <linux/sockios.h>
#include <sys/ioctl.h>

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
        : m_directory(directory), m_options(std::move(options)), m_acceptor(m_io), m_tick(m_io),
          m_queue(m_options.queueDisk)
    {
        if (!m_options.clock) m_options.clock = [] { return time(nullptr); };
        m_reasonUnknown = Utf8ToGbk("对方号码不存在");
        m_reasonNoService = Utf8ToGbk("对方没有开通短信服务");
        m_reasonNoRoom = Utf8ToGbk("服务器暂时无法保存短信，请稍后再发");
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
    // The session could not hand these texts over: they wait for the next
    // log-in of their account.
    void OnGone(Session* session, std::vector<QueuedText> unsent);
    // The last byte of the text went to the recipient's link.
    void OnWritten(const QueuedText& item);

private:
    void Accept();
    void ScheduleTick();
    void DeliverDue();
    // Sends a text that the server starts, now or when its account logs in.
    void DeliverText(const QueuedText& item);
    // Takes on a text: into the queue file first, then to its recipient.
    // False, with nothing sent, when the queue file cannot keep the text; a
    // notice, which answers a sender who is online, goes out all the same,
    // from memory only.
    bool Take(uint32_t account, uint32_t caller, const std::string& text, time_t due, bool notice = false);
    // Gives the text its id and its record in the queue file, if there is one.
    bool Journal(QueuedText& item);
    void Relay(uint32_t sender, const SendRequest& request);
    void SyncSoon();
    void LogQueueReport();

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
    std::string m_reasonNoRoom;

    std::map<uint32_t, std::weak_ptr<Session>> m_online;
    // account -> texts for it by id, which is the order in which they were taken on
    std::map<uint32_t, std::map<uint64_t, QueuedText>> m_waiting;
    std::multimap<time_t, QueuedText> m_scheduled;
    QueueFile m_queue;
    uint64_t m_memoryId = 0; // ids of texts when there is no queue file
    bool m_syncPosted = false;
    uint32_t m_nextSid = kFirstServerSid;
    uint16_t m_blockTag = 0;

    friend class Session;
};

class SmsServer::Impl::Session : public std::enable_shared_from_this<Session> {
public:
    Session(Impl& server, tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_ackTimer(m_socket.get_executor())
    {
        asio::error_code ignored;
        const auto peer = m_socket.remote_endpoint(ignored);
        m_peer = peer.address().to_string(ignored) + ":" + std::to_string(peer.port());
    }

    void Start()
    {
        asio::error_code ignored;
        m_socket.non_blocking(true, ignored);
        // When smsd ends, by a kill or otherwise, the kernel drops what this
        // link had not yet carried instead of sending it on: a text then
        // reached its recipient exactly when the recipient's side
        // acknowledged its bytes, which is what the queue file records.
        m_socket.set_option(asio::socket_base::linger(true, 0), ignored);
        Read();
    }
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
        Queue(Outgoing{Encode(opcode, payload), QueuedText(), false});
    }

    // A text the server started, as its INCOMING and DATA frames: the server
    // hears when their last byte has gone to the socket, or gets the text
    // back when the connection ends first.
    void SendText(const std::string& frames, const QueuedText& item, const std::string& what)
    {
        if (m_closed) {
            m_server.OnGone(this, {item});
            return;
        }
        m_server.Log("send " + Name() + " " + what);
        Queue(Outgoing{frames, item, true});
    }

    void Close(const std::string& why)
    {
        if (m_closed) return;
        m_closed = true;
        m_server.Log("close " + Name() + ": " + why);
        asio::error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
        // A text whose bytes did not all reach the socket counts as not
        // delivered: the recipient drops a frame cut short by the close.
        std::vector<QueuedText> unsent;
        for (const auto& written : m_unacked) unsent.push_back(written.second);
        for (const Outgoing& out : m_outbox)
            if (out.tracked) unsent.push_back(out.item);
        m_outbox.clear();
        m_unacked.clear();
        m_ackTimer.cancel();
        m_server.OnGone(this, std::move(unsent));
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

    struct Outgoing {
        std::string bytes;
        QueuedText item;
        bool tracked;
    };

    void Queue(Outgoing out)
    {
        if (!m_outbox.empty()) {
            m_outbox.push_back(std::move(out));
            return;
        }
        // Written at once when the socket takes it, so that the queue file
        // hears of the delivery right after the bytes left, not one turn of
        // the event loop later: the shorter that gap, the smaller the chance
        // that a kill in it makes the text go out again after a restart.
        asio::error_code error;
        const size_t sent = m_socket.send(asio::buffer(out.bytes), 0, error);
        if (error && error != asio::error::would_block && error != asio::error::try_again) {
            m_outbox.push_back(std::move(out));
            Close(error.message());
            return;
        }
        m_written += sent;
        if (sent == out.bytes.size()) {
            if (out.tracked) Written(out.item);
            return;
        }
        out.bytes.erase(0, sent);
        m_outbox.push_back(std::move(out));
        Write();
    }

    void Write()
    {
        auto self = shared_from_this();
        asio::async_write(m_socket, asio::buffer(m_outbox.front().bytes), [this, self](asio::error_code error, size_t size) {
            if (m_closed) return; // Close took back what was left
            m_written += size;
            if (error) { Close(error.message()); return; }
            const Outgoing done = std::move(m_outbox.front());
            m_outbox.pop_front();
            if (done.tracked) Written(done.item);
            if (!m_outbox.empty() && !m_closed) Write();
        });
    }

    // The text's last byte is in the kernel; it counts as delivered once the
    // other side has acknowledged it.
    void Written(const QueuedText& item)
    {
        m_unacked.emplace_back(m_written, item);
        CheckAcknowledged();
    }

    void CheckAcknowledged()
    {
        int unacknowledged = 0;
        if (ioctl(m_socket.native_handle(), SIOCOUTQ, &unacknowledged) != 0) unacknowledged = 0;
        const uint64_t acknowledged = m_written - static_cast<uint64_t>(unacknowledged);
        while (!m_unacked.empty() && m_unacked.front().first <= acknowledged) {
            const QueuedText item = std::move(m_unacked.front().second);
            m_unacked.pop_front();
            m_server.OnWritten(item);
        }
        if (m_unacked.empty() || m_ackWaiting) return;
        m_ackWaiting = true;
        auto self = shared_from_this();
        m_ackTimer.expires_after(std::chrono::milliseconds(5));
        m_ackTimer.async_wait([this, self](asio::error_code error) {
            m_ackWaiting = false;
            if (!error && !m_closed) CheckAcknowledged();
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
    std::deque<Outgoing> m_outbox;
    uint64_t m_written = 0; // bytes handed to the kernel on this link
    std::deque<std::pair<uint64_t, QueuedText>> m_unacked; // (end of its bytes, text)
    asio::steady_timer m_ackTimer;
    bool m_ackWaiting = false;
    std::map<uint32_t, uint32_t> m_calls; // sid -> callee
    uint32_t m_account = 0;
    bool m_closed = false;

    friend class Impl;
};

bool SmsServer::Impl::Listen(std::string& error)
{
    if (!m_options.queueFile.empty() && !m_queue.IsOpen()) {
        std::vector<std::string> report;
        if (!m_queue.Open(m_options.queueFile, report, error)) return false;
        for (const std::string& line : report) Log(line);
        const std::vector<QueuedText> pending = m_queue.Pending();
        const time_t now = m_options.clock();
        for (const QueuedText& item : pending) {
            if (item.due > now) m_scheduled.emplace(item.due, item);
            else m_waiting[item.recipient][item.id] = item;
        }
        Log("queue file " + m_options.queueFile + ": " + std::to_string(pending.size()) + " texts wait");
    }
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
        for (const auto& text : texts) DeliverText(text.second);
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
        Take(sender, recipient, UndeliveredNotice(request.recipient, reason), 0, true);
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
    if (due > m_options.clock()) Log("hold for " + std::to_string(recipient) + " until " + request.time);
    else due = 0;
    if (!Take(recipient, sender, text, due))
        Take(sender, recipient, UndeliveredNotice(request.recipient, m_reasonNoRoom), 0, true);
}

// A text is taken on once its record is in the queue file, and done once the
// recipient's side has acknowledged its last byte; links drop unacknowledged
// bytes when smsd dies, so a text that was not done when smsd was killed did
// not arrive and goes out again after the restart. What is left is at least
// once, never lost: a kill between the acknowledgement and the done record
// (the moment until the next look at the link, a few milliseconds at most)
// repeats that text once. Bytes that the sender's link carried but smsd had
// not read when it died were never taken on: the protocol gives the sender
// no answer to a send request, so nobody can tell it that they were lost.
bool SmsServer::Impl::Take(uint32_t account, uint32_t caller, const std::string& text, time_t due, bool notice)
{
    QueuedText item;
    item.recipient = account;
    item.caller = caller;
    item.due = due;
    item.text = text;
    if (!Journal(item)) {
        const std::string what = " #" + std::to_string(item.id) + " for " + std::to_string(account) + " from " +
                                 std::to_string(caller) + ": " + Printable(text);
        if (!notice) {
            Log("refuse" + what + " (the queue file cannot keep it)");
            return false;
        }
        // A failed Accept still gave the notice an id that no other text has.
        Log("notice kept in memory only" + what);
    }
    Log("accept #" + std::to_string(item.id) + " for " + std::to_string(account) + " from " + std::to_string(caller) +
        ": " + Printable(text));
    if (due) m_scheduled.emplace(due, item);
    else DeliverText(item);
    return true;
}

bool SmsServer::Impl::Journal(QueuedText& item)
{
    if (m_options.queueFile.empty()) {
        item.id = ++m_memoryId;
        return true;
    }
    const bool kept = m_queue.Accept(item);
    LogQueueReport();
    SyncSoon();
    return kept;
}

void SmsServer::Impl::LogQueueReport()
{
    for (const std::string& line : m_queue.TakeReport()) Log("queue file " + m_queue.Path() + ": " + line);
}

void SmsServer::Impl::SyncSoon()
{
    // One sync for everything a turn of the event loop appended.
    if (m_syncPosted) return;
    m_syncPosted = true;
    asio::post(m_io, [this] {
        m_syncPosted = false;
        m_queue.Sync();
        LogQueueReport();
    });
}

void SmsServer::Impl::OnWritten(const QueuedText& item)
{
    if (!m_options.queueFile.empty()) {
        m_queue.Done(item.id);
        LogQueueReport();
        SyncSoon();
    }
    Log("delivered #" + std::to_string(item.id) + " to " + std::to_string(item.recipient));
}

void SmsServer::Impl::DeliverDue()
{
    const time_t now = m_options.clock();
    while (!m_scheduled.empty() && m_scheduled.begin()->first <= now) {
        const QueuedText item = m_scheduled.begin()->second;
        m_scheduled.erase(m_scheduled.begin());
        DeliverText(item);
    }
}

void SmsServer::Impl::DeliverText(const QueuedText& item)
{
    const uint32_t account = item.recipient, caller = item.caller;
    const std::string& text = item.text;
    auto online = m_online.find(account);
    std::shared_ptr<Session> session = online == m_online.end() ? nullptr : online->second.lock();
    if (!session) {
        Log("queue #" + std::to_string(item.id) + " for " + std::to_string(account) + ": " + Printable(text));
        m_waiting[account][item.id] = item;
        return;
    }
    const uint32_t sid = m_nextSid++;
    if (m_nextSid == 0) m_nextSid = kFirstServerSid;
    std::string incoming;
    PutU32(incoming, sid);
    PutU32(incoming, caller);
    PutU16(incoming, kSmsType);
    std::string data;
    PutU32(data, sid);
    data += Block(++m_blockTag, text);
    session->SendText(Encode(kIncoming, incoming) + Encode(kServerData, data), item,
                      "INCOMING sid=" + std::to_string(sid) + " caller=" + std::to_string(caller) + ", DATA #" +
                          std::to_string(item.id) + " " + Printable(text));
}

void SmsServer::Impl::OnGone(Session* session, std::vector<QueuedText> unsent)
{
    auto online = m_online.find(session->Account());
    if (online != m_online.end() && online->second.lock().get() == session) m_online.erase(online);
    for (const QueuedText& item : unsent) {
        Log("text #" + std::to_string(item.id) + " for " + std::to_string(item.recipient) +
            " was not handed over before its link closed");
        DeliverText(item); // queued, or to the account's newer link
    }
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
