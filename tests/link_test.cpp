// The module in this process, the real softswitch.dll and the real smsd
// (started by with_smsd.sh with an answer delay, so that a call is still
// unanswered for a while after it went out): smsd killed during the service's
// start-up and during a send, then started again. Timers are driven by their
// ids; only the server's own events (its answers, the link going down) are
// waited for, each with a bound.
#include <winsock2.h>

#include "dialogs/send_message_dlg.h"
#include "browser/web_browser2.h"
#include "message_box_hook.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"
#include "process_resources.h"
#include "res/resource.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "switch_frame.h"
#include "smsd_control.h"
#include "switch_socket.h"
#include "switch_manager.h"
#include "plugin_fixture.h"
#include "transport/sms_adapter.h"
#include "window_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The module's adapters, made and given back through the real factory code,
// counted while they live: the switch deletes adapters on its own thread.
class CCountingFactory : public CSmsAdapterFactory {
public:
    AdapterBase* NewAdapter() override
    {
        AdapterBase* adapter = CSmsAdapterFactory::NewAdapter();
        std::lock_guard<std::mutex> lock(m_mutex);
        if (adapter) m_live.insert(static_cast<CSmsAdapter*>(adapter));
        return adapter;
    }
    int DeleteAdapter(AdapterBase* adapter) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_live.erase(static_cast<CSmsAdapter*>(adapter));
        }
        return CSmsAdapterFactory::DeleteAdapter(adapter);
    }
    int Live()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int>(m_live.size());
    }
    // -1: no live adapter has that application id; else its connected flag.
    int Connected(const char* applicationId)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (CSmsAdapter* adapter : m_live)
            if (strcmp(adapter->GetApplicationID(), applicationId) == 0) return adapter->m_bConnected;
        return -1;
    }

private:
    std::mutex m_mutex;
    std::set<CSmsAdapter*> m_live;
};
CCountingFactory g_factory;

// Hands on what the thread's queue holds (the adapters' WM_SMSDATA, the
// browser's fetch results) as a host's loop does, except timers: the tests
// give those by id.
void PumpExceptTimers()
{
    MSG message;
    for (auto range : {std::make_pair(0u, WM_TIMER - 1u), std::make_pair(WM_TIMER + 1u, 0xFFFFFFFFu)}) {
        while (PeekMessageA(&message, nullptr, range.first, range.second, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Waits for something the server or the network thread does, pumping the
// queue meanwhile; false after the bound.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 15000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        PumpExceptTimers();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

// The server's log, as it stands, one line each.
std::vector<std::string> SmsdLog()
{
    std::vector<std::string> lines;
    const char* path = getenv("SMSUTIL_SMSD_LOG");
    HANDLE file = path ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The lines of the server's log that contain both parts.
std::vector<std::string> LogLines(const std::string& first, const std::string& second = "")
{
    std::vector<std::string> found;
    for (const std::string& line : SmsdLog())
        if (line.find(first) != std::string::npos && line.find(second) != std::string::npos) found.push_back(line);
    return found;
}

class LinkEnvironment : public ::testing::Environment {
    void SetUp() override
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        ASSERT_NE(0, SwitchPort()) << "run through with_smsd.sh";
        // As the host does at log-in: the link logs in as the user, whichever
        // adapter calls first.
        SwitchManager::getInstance()->SetLocalAccount(10001);
    }
};
::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new LinkEnvironment);

class LinkTest : public PluginFixture<CSmsUtilPlugin> {
protected:
    LinkTest() : PluginFixture(getPlugin) {}
    void SetUp() override
    {
        PluginFixture::SetUp();
        // In place of the factory that InitPlugin registered: the same
        // adapters, counted.
        SwitchManager::getInstance()->RegisterAdapterFactory(SMS_ADAPTER_TYPE, &g_factory);
        host.contacts[10002] = {"李四", 0, 3};
    }
    void TearDown() override
    {
        PluginFixture::TearDown();
        EXPECT_TRUE(WaitUntil([] { return g_factory.Live() == 0; })) << g_factory.Live() << " adapters left";
    }

    void Tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_INIT);
    }
    COrderDlg* OrderDialog() { return static_cast<COrderDlg*>(FindRegisteredWindow("smsutil_order")); }
    std::string OrderStatus() { return WindowText(OrderDialog()->m_status); }

    // Waits until smsd has read one call more for `callee` than `before`.
    bool WaitForCall(unsigned callee, int before)
    {
        const std::string line = "callee=" + std::to_string(callee) + " type=20061";
        return WaitUntil([&] { return static_cast<int>(LogLines(line).size()) > before; });
    }
    int CallsSeen(unsigned callee)
    {
        return static_cast<int>(LogLines("callee=" + std::to_string(callee) + " type=20061").size());
    }

    // A start-up whose call is under way ends ready: the answer to the call
    // comes in its own time, the query goes out at the next full second of
    // the start-up, and its answer is handed to the service window.
    void FinishStartUp()
    {
        ASSERT_TRUE(g_wndService.IsStarting());
        ASSERT_TRUE(WaitUntil([] { return g_factory.Connected("10001") == 1; })) << "smsd never answered the call";
        const unsigned elapsed = g_wndService.GetInitElapsed();
        ASSERT_LT(elapsed, 5000u) << "too late for a query";
        Tick((1000 - elapsed % 1000) / 100);
        ASSERT_TRUE(WaitUntil([] { return g_wndService.IsReady(); })) << "no answer to the query";
        EXPECT_FALSE(g_wndService.IsStarting());
    }

    // The whole round: log in, smsd killed with the service's call
    // unanswered, the start-up times out, smsd back, the retry makes the
    // service ready, log out.
    void KilledStartUpRound()
    {
        const int callsBefore = CallsSeen(10001);
        LogIn();
        g_wndService.OpenOrderDialog();
        ASSERT_NE(nullptr, OrderDialog());
        EXPECT_EQ("正在初始化服务，请稍候...", OrderStatus());
        ASSERT_TRUE(WaitForCall(10001, callsBefore)) << "the service's call never reached smsd";
        ASSERT_TRUE(ControlSmsd("kill"));
        EXPECT_NE(1, g_factory.Connected("10001")) << "answered before the kill: raise the answer delay";

        // Calls again into a dead link at 500..2500 ms, then the time-out.
        Tick(29);
        EXPECT_TRUE(g_wndService.IsStarting());
        EXPECT_EQ("正在初始化服务，请稍候...", OrderStatus());
        EXPECT_FALSE(OrderDialog()->m_retry.IsWindowVisible());
        Tick();
        EXPECT_FALSE(g_wndService.IsStarting());
        EXPECT_FALSE(g_wndService.IsReady());
        EXPECT_EQ("初始化服务超时，请您尝试重试。", OrderStatus());
        ASSERT_TRUE(OrderDialog()->m_retry.IsWindowVisible());
        EXPECT_EQ(1, g_factory.Live()) << "the service keeps one adapter, however often it called";

        // Further ticks of a stopped timer change nothing.
        Tick(5);
        EXPECT_EQ("初始化服务超时，请您尝试重试。", OrderStatus());

        ASSERT_TRUE(ControlSmsd("start"));
        const int callsAfterRestart = CallsSeen(10001);
        SendMessageA(GetDlgItem(OrderDialog()->m_hWnd, IDC_ORDER_RETRY), BM_CLICK, 0, 0);
        EXPECT_TRUE(g_wndService.IsStarting()) << "the retry did not start the service";
        EXPECT_EQ("正在初始化服务，请稍候...", OrderStatus());
        EXPECT_FALSE(OrderDialog()->m_retry.IsWindowVisible());
        ASSERT_TRUE(WaitForCall(10001, callsAfterRestart)) << "the retry's call never reached the restarted smsd";
        FinishStartUp();
        if (HasFatalFailure()) return;
        EXPECT_FALSE(OrderDialog()->m_status.IsWindowVisible());
        EXPECT_FALSE(OrderDialog()->m_retry.IsWindowVisible());
        EXPECT_TRUE(OrderDialog()->m_browser.IsWindowVisible());
        const std::string address = WindowText(OrderDialog()->m_browser);
        EXPECT_EQ(0u, address.find("http://127.0.0.1:")) << address;
        EXPECT_NE(std::string::npos, address.find("/order?option=add&registerPhone=13800000001&service=1001&user_id=10001"))
            << address;
        EXPECT_EQ(1, g_factory.Live());

        host.Send(plugin, IXA_MESSAGE_OFFLINE);
        EXPECT_EQ(nullptr, OrderDialog());
        EXPECT_TRUE(WaitUntil([] { return g_factory.Live() == 0 && CWebBrowser2::FetchesInFlight() == 0; }))
            << g_factory.Live() << " adapters left after the log-out";
    }
};

} // namespace

TEST_F(LinkTest, StartUpKilledBeforeTheAnswerTimesOutAndTheRetryMakesTheServiceReady)
{
    // The first rounds make what the process keeps for good (classes, the
    // browser's session, the link's thread, the pools of maps that reached
    // their size); the rounds after them must give back all they take.
    for (int round = 0; round < 2; ++round) {
        KilledStartUpRound();
        if (HasFatalFailure()) return;
    }
    // The test host's own log of the plugin's calls is no part of the module.
    host.calls.clear();
    const int gdi = CountGdiObjects(), windows = CountThreadWindows();
    const size_t heap = HeapBytesInUse();
    for (int round = 0; round < 2; ++round) {
        KilledStartUpRound();
        if (HasFatalFailure()) return;
    }
    host.calls.clear();
    EXPECT_EQ(gdi, CountGdiObjects()) << "GDI objects before and after a killed start-up";
    EXPECT_EQ(windows, CountThreadWindows()) << "windows before and after a killed start-up";
    EXPECT_EQ(heap, HeapBytesInUse()) << "heap bytes before and after a killed start-up";
}

TEST_F(LinkTest, SendKilledWhileSendingTimesOutAndTheMessageSentAgainArrivesOnce)
{
    LogIn();
    FinishStartUp();
    if (HasFatalFailure()) return;

    const int callsBefore = CallsSeen(10002);
    g_wndService.ShowSendDialog(10002);
    auto dialog = static_cast<CSendMessageDlg*>(FindRegisteredWindow("c10002"));
    ASSERT_NE(nullptr, dialog);
    const HWND window = dialog->m_hWnd;
    const HWND message = GetDlgItem(window, IDC_SEND_MESSAGE);
    EXPECT_EQ(2, g_factory.Live()) << "the service's adapter and the dialog's";
    ASSERT_TRUE(WaitForCall(10002, callsBefore)) << "the dialog's call never reached smsd";
    const std::string text = "across a kill " + std::to_string(GetTickCount());
    for (unsigned char ch : text) SendMessageA(message, WM_CHAR, ch, 1);
    SendMessageA(GetDlgItem(window, IDC_SEND_SEND), BM_CLICK, 0, 0);
    ASSERT_TRUE(IsWindow(window)) << "sent before the kill: raise the answer delay";
    ASSERT_TRUE(dialog->IsSending());
    EXPECT_EQ("正在发送，请稍候...", WindowText(window));

    ASSERT_TRUE(ControlSmsd("kill"));
    EXPECT_TRUE(WaitUntil([] { return g_factory.Connected("10001") == 0; })) << "the link's end was not noticed";
    {
        MessageBoxHook boxes;
        // 28 s of ticks, the call again at the 7th into the dead link: still sending.
        for (int tick = 0; tick < 14; ++tick) SendMessageA(window, WM_TIMER, CSendMessageDlg::TIMER_SEND, 0);
        EXPECT_TRUE(dialog->IsSending());
        EXPECT_TRUE(boxes.seen.empty());
        EXPECT_NE(1, g_factory.Connected("10002"));
        // 30 s: the attempt ends.
        SendMessageA(window, WM_TIMER, CSendMessageDlg::TIMER_SEND, 0);
        ASSERT_EQ(1u, boxes.seen.size());
        EXPECT_EQ("抱歉，发送超时，请您重新发送。", boxes.seen[0].text);
        EXPECT_EQ("发短消息", boxes.seen[0].caption);
    }
    ASSERT_TRUE(IsWindow(window));
    EXPECT_FALSE(dialog->IsSending());
    EXPECT_EQ("发短信", WindowText(window));
    EXPECT_EQ(text, WindowText(message)) << "the text is kept";
    EXPECT_FALSE(GetWindowLongA(message, GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_SEND_SEND)));
    {
        std::list<CSmsRecord*> records;
        CMessageStore::ListHistory("10002", records, 0);
        EXPECT_TRUE(records.empty()) << "nothing was sent";
        for (CSmsRecord* record : records) delete record;
    }

    // smsd back: the same dialog sends again, through a new call.
    ASSERT_TRUE(ControlSmsd("start"));
    SendMessageA(GetDlgItem(window, IDC_SEND_SEND), BM_CLICK, 0, 0);
    ASSERT_TRUE(IsWindow(window));
    ASSERT_TRUE(WaitUntil([] { return g_factory.Connected("10002") == 1; })) << "the restarted smsd never answered";
    SendMessageA(window, WM_TIMER, CSendMessageDlg::TIMER_SEND, 0);
    EXPECT_FALSE(IsWindow(window)) << "the dialog closes once it has sent";
    EXPECT_TRUE(WaitUntil([] { return g_factory.Live() == 1; })) << "the dialog's adapter was not given back";
    {
        std::list<CSmsRecord*> records;
        CMessageStore::ListHistory("10002", records, 0);
        ASSERT_EQ(1u, records.size());
        EXPECT_EQ(text, std::string(records.front()->text));
        for (CSmsRecord* record : records) delete record;
    }
    // Taken on once, under one number, for 10002 from this account.
    std::string accepted;
    ASSERT_TRUE(WaitUntil([&] {
        const std::vector<std::string> lines = LogLines("accept #", text);
        if (!lines.empty()) accepted = lines[0];
        return !lines.empty();
    }))
        << "smsd never took the message on";
    EXPECT_NE(std::string::npos, accepted.find(" for 10002 from 10001: ")) << accepted;
    const std::string number = accepted.substr(accepted.find('#'), accepted.find(' ', accepted.find('#')) - accepted.find('#'));

    // 10002 is not connected: the message waits in smsd's queue file, across
    // a kill; then 10002 logs in and gets it, smsd is killed again after it
    // was handed over, and the next log-in of 10002 gets only what is new.
    ASSERT_TRUE(ControlSmsd("kill"));
    ASSERT_TRUE(ControlSmsd("start"));
    int copies = 0;
    {
        SwitchPeer recipient;
        ASSERT_TRUE(recipient.LogIn(10002));
        std::string received;
        ASSERT_TRUE(recipient.NextText(received)) << "the accepted message was lost";
        EXPECT_EQ(std::string("4\x02" "0\x02" "10001\x02") + text + '\0', received);
        if (received.find(text) != std::string::npos) ++copies;
        ASSERT_TRUE(WaitUntil([&] { return !LogLines("delivered " + number + " ", "10002").empty(); }))
            << "smsd never saw " << number << " handed over";
    }
    ASSERT_TRUE(ControlSmsd("kill"));
    ASSERT_TRUE(ControlSmsd("start"));
    {
        SwitchPeer recipient, other;
        ASSERT_TRUE(recipient.LogIn(10002));
        ASSERT_TRUE(other.LogIn(10003));
        ASSERT_TRUE(other.Send(10003, 10002, "marker"));
        // Whatever the server still held for 10002 comes before the marker.
        std::string received;
        while (recipient.NextText(received) && received.find("marker") == std::string::npos)
            if (received.find(text) != std::string::npos) ++copies;
        EXPECT_NE(std::string::npos, received.find("marker")) << "the marker never came";
    }
    EXPECT_EQ(1, copies) << "copies of the message that 10002 received";
    EXPECT_EQ(1u, LogLines("accept " + number + " ").size()) << "taken on more than once";
}
