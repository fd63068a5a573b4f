// smsd through real sockets on loopback: what a client of the switch sees.
// Its order page is e2e_order's, as the order dialog shows it; a damaged
// queue file is the fuzz harness's.
#include "gbk.h"
#include "service_text.h"
#include "sms_server.h"
#include "switch_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <sstream>
#include <thread>

#include <unistd.h>

using namespace switchproto;

namespace {

const std::string STX = "\x02";

std::string Z(const std::string& text) { return text + std::string(1, '\0'); }

std::string SendRequestText(const std::string& sender, const std::string& recipient, const std::string& text,
                            const std::string& schedule = "0")
{
    return Z("2" + STX + sender + ":" + STX + recipient + STX + text + STX + schedule);
}

class SmsdTest : public ::testing::Test {
protected:
    void SetUp() override { Start(AccountDirectory::BuiltIn()); }

    void Start(const AccountDirectory& directory)
    {
        m_directory = directory;
        smsd::ServerOptions options;
        options.listenPort = 0;
        options.orderBase = "http://127.0.0.1:9/order";
        options.clock = [this] { return m_now.load(); };
        options.log = &m_log;
        options.queueFile = m_queue;
        m_server.reset(new smsd::SmsServer(m_directory, options));
        std::string error;
        ASSERT_TRUE(m_server->Listen(error)) << error;
        m_thread = std::thread([this] { m_server->Run(); });
    }

    void Stop()
    {
        m_server->Stop();
        m_thread.join();
    }
    void TearDown() override
    {
        Stop();
        unlink(m_queue.c_str());
    }

    std::unique_ptr<SwitchClient> Online(uint32_t account)
    {
        auto client = std::make_unique<SwitchClient>(m_server->Port());
        EXPECT_TRUE(client->Login(account)) << "log-in of " << account;
        return client;
    }

    // The text of the next server-started block: INCOMING, then its DATA.
    std::string NextStartedText(SwitchClient& client, uint32_t* caller = nullptr)
    {
        Frame incoming, data;
        if (!client.Read(incoming)) return "<nothing>";
        EXPECT_EQ(kIncoming, incoming.opcode);
        const uint32_t sid = GetU32(incoming.payload, 0);
        EXPECT_GE(sid, 0x80000000u);
        EXPECT_EQ(20061, GetU16(incoming.payload, 8));
        if (caller) *caller = GetU32(incoming.payload, 4);
        if (!client.Read(data)) return "<no data>";
        EXPECT_EQ(kServerData, data.opcode);
        EXPECT_EQ(sid, GetU32(data.payload, 0));
        return data.payload.substr(6); // sid, then the block's two bytes of its own
    }

    void SendMessage(SwitchClient& from, uint32_t sid, uint32_t to, const std::string& request)
    {
        from.Call(sid, to, 20061);
        Frame result;
        ASSERT_TRUE(from.Read(result));
        ASSERT_EQ(kCallResult, result.opcode);
        EXPECT_EQ(0, GetU16(result.payload, 4));
        from.Data(sid, request);
    }

    AccountDirectory m_directory;
    std::atomic<time_t> m_now{1700000000};
    std::stringstream m_log;
    const std::string m_queue = testing::TempDir() + "smsd_test_queue_" + std::to_string(getpid());
    std::unique_ptr<smsd::SmsServer> m_server;
    std::thread m_thread;
};

} // namespace

TEST_F(SmsdTest, StartupAnswerBytes)
{
    auto client = Online(10001);
    client->Call(7, 10001, 20061);
    Frame frame;
    ASSERT_TRUE(client->Read(frame));
    EXPECT_EQ(kCallResult, frame.opcode);
    EXPECT_EQ(7u, GetU32(frame.payload, 0));
    EXPECT_EQ(0, GetU16(frame.payload, 4));
    client->Data(7, std::string("1", 2));
    ASSERT_TRUE(client->Read(frame));
    EXPECT_EQ(kServerData, frame.opcode);
    EXPECT_EQ(7u, GetU32(frame.payload, 0));
    EXPECT_EQ(Z("1" + STX + "0" + STX + "http://127.0.0.1:9/order" + STX + "1" + STX + "13800000001"),
              frame.payload.substr(6));

    auto rejected = Online(10006);
    rejected->Call(1, 10006, 20061);
    ASSERT_TRUE(rejected->Read(frame));
    rejected->Data(1, std::string("1", 2));
    ASSERT_TRUE(rejected->Read(frame));
    EXPECT_EQ(Z("1" + STX + "0" + STX + "http://127.0.0.1:9/order" + STX + "4" + STX + "13800000006"),
              frame.payload.substr(6));

    client->Call(8, 10001, 1234);
    ASSERT_TRUE(client->Read(frame));
    EXPECT_EQ(kCallResult, frame.opcode);
    EXPECT_EQ(1, GetU16(frame.payload, 4)) << "another type is not answered";
}

TEST_F(SmsdTest, RelayKeepsGbkAndCrLfUnchanged)
{
    auto sender = Online(10001);
    auto recipient = Online(10002);
    const std::string text = smsd::Utf8ToGbk("你好，") + "\r\nsecond line" + STX + "with a separator";
    SendMessage(*sender, 3, 10002, SendRequestText("10001", "10002", text));
    uint32_t caller = 0;
    EXPECT_EQ(Z("4" + STX + "0" + STX + "10001" + STX + text), NextStartedText(*recipient, &caller));
    EXPECT_EQ(10001u, caller);
}

TEST_F(SmsdTest, UndeliveryNoticesForUnknownNumbersAndNumbersWithoutTheService)
{
    auto sender = Online(10001);
    const std::string unknown = smsd::Utf8ToGbk("对方号码不存在");
    const std::string noService = smsd::Utf8ToGbk("对方没有开通短信服务");
    SendMessage(*sender, 1, 10009, SendRequestText("10001", "10009", "x"));
    EXPECT_EQ(Z("6" + STX + "0" + STX + "10009" + STX + unknown), NextStartedText(*sender));
    SendMessage(*sender, 2, 55555, SendRequestText("10001", "55555", "x"));
    EXPECT_EQ(Z("6" + STX + "0" + STX + "55555" + STX + unknown), NextStartedText(*sender));
    SendMessage(*sender, 3, 10003, SendRequestText("10001", "10003", "x"));
    EXPECT_EQ(Z("6" + STX + "0" + STX + "10003" + STX + noService), NextStartedText(*sender));
}

// The texts wait in the queue file, across a restart of the server.
TEST_F(SmsdTest, TextsForAnOfflineAccountWaitForItsLogin)
{
    auto sender = Online(10001);
    SendMessage(*sender, 1, 10002, SendRequestText("10001", "10002", "first"));
    SendMessage(*sender, 2, 10002, SendRequestText("10001", "10002", "second"));
    sender->Call(3, 10001, 20061); // a round trip: both requests are handled
    Frame frame;
    ASSERT_TRUE(sender->Read(frame));
    Stop();
    Start(m_directory);
    auto recipient = Online(10002);
    EXPECT_EQ(Z("4" + STX + "0" + STX + "10001" + STX + "first"), NextStartedText(*recipient));
    EXPECT_EQ(Z("4" + STX + "0" + STX + "10001" + STX + "second"), NextStartedText(*recipient));
}

TEST_F(SmsdTest, ScheduledTextsAreHeldUntilTheServersClockReachesThem)
{
    auto sender = Online(10001);
    auto recipient = Online(10002);
    const time_t later = m_now + 3600;
    char when[32];
    strftime(when, sizeof when, "%Y-%m-%d %H:%M:00", localtime(&later));
    SendMessage(*sender, 1, 10002, SendRequestText("10001", "10002", "later", "1" + STX + when));
    SendMessage(*sender, 2, 10002, SendRequestText("10001", "10002", "past", "1" + STX + "2000-01-01 00:00:00"));
    EXPECT_EQ(Z("4" + STX + "0" + STX + "10001" + STX + "past"), NextStartedText(*recipient))
        << "a past time is due at once";
    Frame frame;
    EXPECT_FALSE(recipient->Read(frame, 300)) << "held";
    m_server->ReleaseDue();
    EXPECT_FALSE(recipient->Read(frame, 300)) << "still held";
    m_now = later;
    m_server->ReleaseDue();
    EXPECT_EQ(Z("4" + STX + "0" + STX + "10001" + STX + "later"), NextStartedText(*recipient));
}

TEST_F(SmsdTest, BadFramesCloseOnlyTheirConnection)
{
    auto healthy = Online(10002);
    std::string shortCall;
    PutU32(shortCall, 3);
    shortCall += '\x02';
    shortCall += "abc";
    std::string loginThenServerOpcode = Encode(kLogin, std::string("\x11\x27\x00\x00", 4)) + Encode(kLoginOk, "");
    const std::pair<const char*, std::string> cases[] = {
        {"length 0", std::string(4, '\0')},
        {"length 70001", std::string("\x71\x11\x01\x00", 4) + std::string(100, 'x')},
        {"unknown opcode", Encode(0x77, "abcd")},
        {"short LOGIN", Encode(kLogin, "ab")},
        {"CALL before LOGIN", Encode(kCall, std::string(10, '\0'))},
        {"short CALL after LOGIN", Encode(kLogin, std::string("\x11\x27\x00\x00", 4)) + shortCall},
        {"server's opcode from a client", loginThenServerOpcode},
    };
    for (const auto& each : cases) {
        SwitchClient bad(m_server->Port());
        bad.SendRaw(each.second);
        EXPECT_TRUE(bad.WaitClosed()) << each.first;
    }
    // The healthy connection goes on, and so does the account that a bad
    // connection used.
    healthy->Call(1, 10002, 20061);
    Frame frame;
    ASSERT_TRUE(healthy->Read(frame));
    EXPECT_EQ(kCallResult, frame.opcode);
    auto again = Online(10001);
    SendMessage(*again, 1, 10002, SendRequestText("10001", "10002", "still here"));
    EXPECT_EQ(Z("4" + STX + "0" + STX + "10001" + STX + "still here"), NextStartedText(*healthy));
}
