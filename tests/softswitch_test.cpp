// softswitch.dll under Wine against the real smsd (started by with_smsd.sh):
// calls, data both ways, calls the server starts, an absent or vanishing
// server, and release while traffic is under way.
#include <winsock2.h>

#include "adapter_base.h"
#include "adapter_factory_base.h"
#include "switch_frame.h"
#include "switch_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
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
    // True when an event starting with `prefix` arrived within the time.
    bool WaitFor(const std::string& prefix, std::chrono::milliseconds timeout = 5000ms)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, timeout, [&] {
            for (const std::string& event : events)
                if (event.compare(0, prefix.size(), prefix) == 0) return true;
            return false;
        });
    }
    std::string Find(const std::string& prefix)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& event : events)
            if (event.compare(0, prefix.size(), prefix) == 0) return event;
        return std::string();
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        events.clear();
    }
};

EventLog g_log;
std::atomic<int> g_alive{0};
std::atomic<int> g_made{0};
std::atomic<int> g_deleted{0};

class TestAdapter : public AdapterBase {
public:
    TestAdapter() { ++g_alive; }
    ~TestAdapter() override { --g_alive; }
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
    void OnBye(int, int, int) override {}
    void OnCancelled(int, int, int) override {}
    void OnConnected() override {}
    void OnDisconnected(int) override {}
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
        ++g_made;
        auto adapter = new TestAdapter;
        adapter->SetAdapterType(kType);
        adapter->SetApplicationID("incoming");
        return adapter;
    }
    int DeleteAdapter(AdapterBase* adapter) override
    {
        ++g_deleted;
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

// Another account, played by hand over a socket of its own: sends one
// message to `recipient` through the server.
bool SendAs(uint32_t sender, uint32_t recipient, const std::string& text)
{
    using namespace switchproto;
    const std::string address = ServerAddress();
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(atoi(address.c_str() + address.rfind(':') + 1)));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) return false;
    std::string login, call, data;
    PutU32(login, sender);
    PutU32(call, 1);
    PutU32(call, recipient);
    PutU16(call, kType);
    PutU32(data, 1);
    data += "2\x02" + std::to_string(sender) + ":\x02" + std::to_string(recipient) + "\x02" + text + "\x02" + "0";
    data += '\0';
    const std::string bytes = Encode(kLogin, login) + Encode(kCall, call) + Encode(kData, data);
    send(s, bytes.data(), static_cast<int>(bytes.size()), 0);
    // Wait for LOGIN_OK and CALL_RESULT so that the request was read.
    char buffer[64];
    int got = 0;
    while (got < 5 + 11) {
        const int n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        got += n;
    }
    closesocket(s);
    return got >= 16;
}

class SoftSwitchEnvironment : public ::testing::Environment {
    void SetUp() override
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        ASSERT_FALSE(ServerAddress().empty()) << "run through with_smsd.sh";
        ASSERT_TRUE(SwitchManager::getInstance()->RegisterAdapterFactory(kType, &g_factory));
    }
};
::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SoftSwitchEnvironment);

} // namespace

// First in the file: the process has no connection yet.
TEST(SoftSwitchTest, AbsentServerGivesNoResultAndALaterCallConnects)
{
    const std::string real = ServerAddress();
    _putenv_s("SMSUTIL_SWITCH_ADDR", "127.0.0.1:1");
    g_log.Clear();
    TestAdapter* adapter = NewAdapter("10001");
    ASSERT_NE(nullptr, adapter);
    adapter->Call(10001, kType, nullptr, 0);
    EXPECT_FALSE(g_log.WaitFor("10001 result", 500ms));
    EXPECT_EQ(-1, adapter->SendData("1", 2)) << "no data without a connection";

    _putenv_s("SMSUTIL_SWITCH_ADDR", real.c_str());
    // The failed attempt may still be ending; a later call connects.
    ASSERT_TRUE(WaitUntil([&] {
        adapter->Call(10001, kType, nullptr, 0);
        return g_log.WaitFor("10001 result 0", 300ms);
    }));
    adapter->Release();
}

TEST(SoftSwitchTest, CallAnsweredAndDataBothWays)
{
    g_log.Clear();
    TestAdapter* adapter = NewAdapter("10001");
    EXPECT_EQ(kType, adapter->GetAdapterType());
    adapter->Call(10001, kType, nullptr, 0);
    ASSERT_TRUE(g_log.WaitFor("10001 result 0"));
    EXPECT_EQ(0, adapter->SendData("1", 2));
    ASSERT_TRUE(g_log.WaitFor("10001 data"));
    const std::string answer = g_log.Find("10001 data").substr(strlen("10001 data "));
    ASSERT_GT(answer.size(), 2u);
    const std::string text = answer.substr(2);
    EXPECT_EQ(0, text.compare(0, 4, "1\x02" "0\x02")) << text;
    EXPECT_NE(std::string::npos, text.find("\x02" "1\x02" "13800000001")) << text;
    EXPECT_EQ('\0', text.back());

    const int before = g_alive;
    adapter->Release();
    EXPECT_TRUE(WaitUntil([&] { return g_alive == before - 1; })) << "handed back to the factory";
}

TEST(SoftSwitchTest, ServerStartedCallsMakeAdaptersThroughTheFactory)
{
    g_log.Clear();
    const int made = g_made;
    // 10001 is this process's account: another account writes to it.
    ASSERT_TRUE(SendAs(10002, 10001, "hello\r\n\xc4\xe3\xba\xc3"));
    ASSERT_TRUE(g_log.WaitFor("incoming data"));
    EXPECT_GT(g_made.load(), made);
    const std::string block = g_log.Find("incoming data").substr(strlen("incoming data "));
    EXPECT_EQ(std::string("4\x02" "0\x02" "10002\x02" "hello\r\n\xc4\xe3\xba\xc3") + '\0', block.substr(2));
}

TEST(SoftSwitchTest, ReleaseDuringTrafficIsSafe)
{
    const int before = g_alive;
    std::vector<TestAdapter*> adapters;
    for (int round = 0; round < 50; ++round) {
        TestAdapter* adapter = NewAdapter("10001");
        ASSERT_NE(nullptr, adapter);
        adapter->Call(10001, kType, nullptr, 0);
        adapter->SendData("1", 2);
        adapters.push_back(adapter);
        if (round % 2) {
            // Released while its answers are on the way.
            adapters.back()->Release();
            adapters.pop_back();
        }
    }
    std::this_thread::sleep_for(200ms);
    for (TestAdapter* adapter : adapters) adapter->Release();
    EXPECT_TRUE(WaitUntil([&] { return g_alive == before; })) << g_alive << " adapters left of " << before;
}

TEST(SoftSwitchTest, AVanishingServerCrashesNothing)
{
    // A server of our own that logs in, answers one call and goes away.
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
    int size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    listen(listener, 1);
    const std::string real = ServerAddress();
    // Ends the connection to the real server first, by logging the same
    // account in elsewhere: the server closes the older connection.
    ASSERT_TRUE(SendAs(10001, 10002, "x"));
    const std::string fake = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    _putenv_s("SMSUTIL_SWITCH_ADDR", fake.c_str());

    std::thread server([listener] {
        SOCKET peer = accept(listener, nullptr, nullptr);
        char buffer[256];
        recv(peer, buffer, sizeof buffer, 0);
        closesocket(peer);
    });
    g_log.Clear();
    TestAdapter* adapter = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        if (adapter) adapter->Release();
        adapter = NewAdapter("10001");
        adapter->Call(10001, kType, nullptr, 0);
        return true;
    }));
    server.join();
    closesocket(listener);
    EXPECT_FALSE(g_log.WaitFor("10001 result", 300ms));
    adapter->Release();

    _putenv_s("SMSUTIL_SWITCH_ADDR", real.c_str());
    TestAdapter* again = NewAdapter("10001");
    ASSERT_TRUE(WaitUntil([&] {
        again->Call(10001, kType, nullptr, 0);
        return g_log.WaitFor("10001 result 0", 300ms);
    }));
    again->Release();
}
