// softswitch.dll under Wine: what the module relies on of it and no run
// through the module shows. First, against a server played by the test (the
// switch connects at the first call): adapters released from their own
// callbacks, a stalled server that holds up no caller; then the real smsd
// (started by with_smsd.sh) answers a call with data both ways.
#include <winsock2.h>

#include "adapter_base.h"
#include "adapter_factory_base.h"
#include "loopback.h"
#include "switch_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

const unsigned short kType = 20061;

// Events of every adapter, in the order the network thread delivered them.
struct EventLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;

    void Add(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
        changed.notify_all();
    }
    // The first event starting with `prefix`, waited for; empty when none
    // arrived within the time.
    std::string WaitFor(const std::string& prefix, std::chrono::milliseconds timeout = 5000ms)
    {
        std::unique_lock<std::mutex> lock(mutex);
        std::string found;
        changed.wait_for(lock, timeout, [&] {
            for (const std::string& event : events)
                if (event.compare(0, prefix.size(), prefix) == 0) found = event;
            return !found.empty();
        });
        return found;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        events.clear();
    }
};

EventLog g_log;
std::atomic<int> g_deleted{0};
std::atomic<int> g_deletedInCallback{0};

class TestAdapter : public AdapterBase {
public:
    // Gives itself back from inside OnDisconnected, as an owner may.
    bool m_bReleaseOnDisconnect = false;
    bool m_bInCallback = false;
    void OnCallResult(unsigned short status, int, int, int, int, int, int) override
    {
        g_log.Add(std::string(GetApplicationID()) + " result " + std::to_string(status));
    }
    void OnInvited(int, int, int, int, int, int) override {}
    void OnAccepted(int, int, int) override {}
    void OnRefused(int, int, int) override {}
    void OnAcked(int, int, int) override {}
    void OnNotified(int, int, int) override {}
    void OnCommand(int, int, int, int) override {}
    void OnBye(int, int, int) override { g_log.Add(std::string(GetApplicationID()) + " bye"); }
    void OnCancelled(int, int, int) override {}
    void OnConnected() override {}
    void OnDisconnected(int reason) override
    {
        m_bInCallback = true;
        g_log.Add(std::string(GetApplicationID()) + " disconnected " + std::to_string(reason));
        if (m_bReleaseOnDisconnect) Release();
        m_bInCallback = false;
    }
    void OnError(int, int, int) override {}
    void OnRecvData(const char* data, int length) override
    {
        g_log.Add(std::string(GetApplicationID()) + " data " + std::string(data, length));
    }
};

class TestFactory : public AdapterFactoryBase {
public:
    AdapterBase* NewAdapter() override
    {
        auto adapter = new TestAdapter;
        adapter->SetAdapterType(kType);
        adapter->SetApplicationID("incoming");
        return adapter;
    }
    int DeleteAdapter(AdapterBase* adapter) override
    {
        ++g_deleted;
        if (static_cast<TestAdapter*>(adapter)->m_bInCallback) ++g_deletedInCallback;
        delete adapter;
        return 0;
    }
    unsigned short GetAdapterType() override { return kType; }
};

TestFactory g_factory;

TestAdapter* NewAdapter(const char* applicationId)
{
    auto adapter = static_cast<TestAdapter*>(SwitchManager::getInstance()->CreateAdapter(kType));
    if (adapter) adapter->SetApplicationID(applicationId);
    return adapter;
}

std::string ServerAddress()
{
    const char* address = getenv("SMSUTIL_SWITCH_ADDR");
    return address ? address : "";
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A switch server played by the test, which the switch is pointed at while it
// lives: takes one connection and reads nothing.
class FakeServer {
public:
    FakeServer() : m_real(ServerAddress())
    {
        USHORT port = 0;
        m_listener = BoundLoopback(&port);
        listen(m_listener, 1);
        _putenv_s("SMSUTIL_SWITCH_ADDR", ("127.0.0.1:" + std::to_string(port)).c_str());
    }
    ~FakeServer()
    {
        ClosePeer();
        closesocket(m_listener);
        _putenv_s("SMSUTIL_SWITCH_ADDR", m_real.c_str());
    }
    bool Accept()
    {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(m_listener, &set);
        timeval wait = {5, 0};
        if (select(0, &set, nullptr, nullptr, &wait) != 1) return false;
        m_peer = accept(m_listener, nullptr, nullptr);
        return m_peer != INVALID_SOCKET;
    }
    void ClosePeer()
    {
        if (m_peer != INVALID_SOCKET) closesocket(m_peer);
        m_peer = INVALID_SOCKET;
    }

private:
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_peer = INVALID_SOCKET;
    std::string m_real;
};

class SoftSwitchEnvironment : public ::testing::Environment {
    void SetUp() override
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        ASSERT_FALSE(ServerAddress().empty()) << "run through with_smsd.sh";
        ASSERT_TRUE(SwitchManager::getInstance()->RegisterAdapterFactory(kType, &g_factory));
        // As the host does at log-in: adapters named otherwise still log in as 10001.
        SwitchManager::getInstance()->SetLocalAccount(10001);
    }
};
::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SoftSwitchEnvironment);

} // namespace

TEST(SoftSwitchTest, AdaptersReleasedInOnDisconnectedAreDeletedAfterIt)
{
    FakeServer server;
    g_log.Clear();
    const int deleted = g_deleted;
    TestAdapter* adapter = NewAdapter("10001");
    adapter->m_bReleaseOnDisconnect = true;
    adapter->Call(10001, kType, nullptr, 0);
    ASSERT_TRUE(server.Accept());
    server.ClosePeer();
    EXPECT_NE("", g_log.WaitFor("10001 disconnected"));
    EXPECT_TRUE(WaitUntil([&] { return g_deleted == deleted + 1; })) << "released in its callback but not deleted";
    EXPECT_EQ(0, g_deletedInCallback.load()) << "deleted while its callback was running";
}

TEST(SoftSwitchTest, CallsAndDataNeverWaitForAServerThatDoesNotRead)
{
    FakeServer server;
    g_log.Clear();
    TestAdapter* watch = NewAdapter("watch");
    TestAdapter* adapter = NewAdapter("10001");
    adapter->Call(10001, kType, nullptr, 0);
    ASSERT_TRUE(server.Accept());
    // The server takes the connection and reads nothing: far more data than
    // the socket buffers hold goes out while the caller goes on.
    const std::string block(60000, 'a');
    auto caller = std::async(std::launch::async, [&] {
        for (int i = 0; i < 600; ++i) {
            adapter->Call(10001, kType, nullptr, 0);
            if (adapter->SendData(block.data(), static_cast<int>(block.size())) != 0) return i;
        }
        adapter->Release();
        return 600;
    });
    const bool returned = caller.wait_for(30s) == std::future_status::ready;
    EXPECT_TRUE(returned) << "Call or SendData waited for the server";
    // Ends the stall either way, so that a caller that waits comes back.
    server.ClosePeer();
    EXPECT_EQ(600, caller.get()) << "SendData refused while the link was up";
    EXPECT_NE("", g_log.WaitFor("watch disconnected"));
    watch->Release();
}

TEST(SoftSwitchTest, CallAnsweredAndDataBothWays)
{
    g_log.Clear();
    TestAdapter* refused = NewAdapter("refused");
    refused->Call(10001, 1234, nullptr, 0);
    EXPECT_NE("", g_log.WaitFor("refused result 1")) << "smsd takes no call of another type";
    refused->Release();
    TestAdapter* adapter = NewAdapter("10001");
    adapter->Call(10001, kType, nullptr, 0);
    ASSERT_NE("", g_log.WaitFor("10001 result 0"));
    EXPECT_EQ(0, adapter->SendData("1", 2));
    const std::string answer = g_log.WaitFor("10001 data ").substr(strlen("10001 data "));
    ASSERT_GT(answer.size(), 2u);
    const std::string text = answer.substr(2); // the block's two bytes of its own
    EXPECT_EQ(0, text.compare(0, 4, "1\0020\002")) << text;
    EXPECT_NE(std::string::npos, text.find("\0021\00213800000001")) << text;
    EXPECT_EQ('\0', text.back());
    adapter->Release();
}
