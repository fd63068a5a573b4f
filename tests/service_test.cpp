// The service window, its start-up on the init timer, the service texts, the
// adapter and factory, and the order dialog: driven with the window messages
// that timers and adapters produce, read back from windows and the store.
#include "dialogs/order_dlg.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "plugin/window_registry.h"
#include "res/resource.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "switch_manager.h"
#include "temp_dir.h"
#include "test_host.h"
#include "transport/service_text.h"
#include "transport/sms_adapter.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// An adapter that records what the service window asks of it instead of
// reaching a server; the test decides when it is connected.
struct AdapterLog {
    std::vector<unsigned> calls;    // m_nInitElapsed at each Call
    std::vector<unsigned> queries;  // m_nInitElapsed at each query
    std::vector<std::string> data;
    int made = 0;
    int deleted = 0;
};
AdapterLog g_adapters;

class CProbeAdapter : public CSmsAdapter {
public:
    int Call(unsigned int, unsigned short, const char*, int) override
    {
        m_bCalled = 1;
        g_adapters.calls.push_back(g_wndService.m_nInitElapsed);
        return 0;
    }
    int SendData(const char* data, int length) override
    {
        g_adapters.queries.push_back(g_wndService.m_nInitElapsed);
        g_adapters.data.emplace_back(data, length);
        return 0;
    }
    ~CProbeAdapter() override { ++g_adapters.deleted; }
};

class CProbeFactory : public CSmsAdapterFactory {
public:
    AdapterBase* NewAdapter() override
    {
        if (failNext) return nullptr;
        ++g_adapters.made;
        auto adapter = new CProbeAdapter;
        adapter->SetAdapterType(SMS_ADAPTER_TYPE);
        return adapter;
    }
    bool failNext = false;
};
CProbeFactory g_probeFactory;

std::string WindowText(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_adapters = AdapterLog();
        g_probeFactory.failNext = false;
        // The first call of a start-up comes before its timer resets the count.
        g_wndService.m_nInitElapsed = 0;
        host.dataDir = m_dir.Path();
        IxaBase::SetIxaInstance(&host);
        plugin = static_cast<CSmsUtilPlugin*>(getPlugin());
        plugin->InitPlugin();
        // After the module's own registration: the probe replaces it.
        SwitchManager::getInstance()->RegisterAdapterFactory(SMS_ADAPTER_TYPE, &g_probeFactory);
    }
    void TearDown() override
    {
        host.Send(plugin, 5);
        g_wndService.StopInitTimer();
        g_wndService.StopPollTimer();
        g_wndService.m_strServiceUrl.Empty();
        g_wndService.m_strRegisterPhone.Empty();
        plugin->ExitPlugin();
        IxaBase::SetIxaInstance(nullptr);
        delete plugin;
    }

    void LogIn()
    {
        host.Send(plugin, 19);
        host.Send(plugin, 4);
    }
    void Tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_INIT);
    }
    // A block as an adapter posts it: two bytes of the transport, the text, NUL.
    void Receive(const std::string& text, bool withNul = true)
    {
        std::string block = "\x01\x02" + text;
        if (withNul) block += '\0';
        char* copy = new char[block.size()];
        memcpy(copy, block.data(), block.size());
        g_wndService.SendMessage(WM_SMSDATA, block.size(), reinterpret_cast<LPARAM>(copy));
    }
    COrderDlg* OrderDialog() { return static_cast<COrderDlg*>(FindRegisteredWindow("smsutil_order")); }
    CProbeAdapter* Adapter() { return static_cast<CProbeAdapter*>(g_wndService.m_pAdapter); }

    TempDir m_dir;
    CTestHost host;
    CSmsUtilPlugin* plugin = nullptr;
};

} // namespace

TEST_F(ServiceTest, NeverConnectedCallsEveryHalfSecondAndTimesOutAtThree)
{
    LogIn();
    g_wndService.OpenOrderDialog();
    ASSERT_NE(nullptr, OrderDialog());
    EXPECT_EQ(COrderDlg::STATE_STARTING, OrderDialog()->GetServiceState());
    EXPECT_EQ("正在初始化服务，请稍候...", WindowText(OrderDialog()->m_status));
    Tick(29);
    EXPECT_EQ((std::vector<unsigned>{0, 500, 1000, 1500, 2000, 2500}), g_adapters.calls);
    EXPECT_NE(0u, g_wndService.m_nInitTimer);
    Tick();
    EXPECT_EQ(0u, g_wndService.m_nInitTimer);
    EXPECT_EQ(COrderDlg::STATE_TIMEOUT, OrderDialog()->GetServiceState());
    EXPECT_EQ("初始化服务超时，请您尝试重试。", WindowText(OrderDialog()->m_status));
    EXPECT_TRUE(OrderDialog()->m_retry.IsWindowVisible());
    EXPECT_TRUE(g_adapters.queries.empty());
}

TEST_F(ServiceTest, ConnectedAt1200QueriesEverySecondUntilSix)
{
    LogIn();
    Tick(12);
    Adapter()->OnCallResult(1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(0, Adapter()->m_bConnected) << "only status 0 connects";
    Adapter()->OnCallResult(0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(1, Adapter()->m_bConnected);
    Tick(47);
    EXPECT_EQ((std::vector<unsigned>{2000, 3000, 4000, 5000}), g_adapters.queries);
    EXPECT_EQ(std::string("1", 2), g_adapters.data.at(0));
    EXPECT_EQ((std::vector<unsigned>{0, 500, 1000}), g_adapters.calls);
    g_wndService.OpenOrderDialog();
    Tick();
    EXPECT_EQ(0u, g_wndService.m_nInitTimer);
    EXPECT_EQ(COrderDlg::STATE_TIMEOUT, OrderDialog()->GetServiceState());
}

TEST_F(ServiceTest, AcceptedAnswerMakesTheServiceReadyAndTheDialogNavigates)
{
    host.myLevel = 2;
    LogIn();
    g_wndService.OpenOrderDialog();
    EXPECT_EQ(0, g_wndService.StartService()) << "already starting";
    Adapter()->OnConnected();
    Tick(10);
    Receive("1\x02x\x02http://127.0.0.1:20062/order\x02" "2\x02" "13800000001");
    EXPECT_EQ(1, g_wndService.m_bReady);
    EXPECT_EQ(0u, g_wndService.m_nInitTimer);
    EXPECT_STREQ("13800000001", g_wndService.m_strRegisterPhone);
    EXPECT_EQ(COrderDlg::STATE_READY, OrderDialog()->GetServiceState());
    EXPECT_TRUE(OrderDialog()->m_browser.IsWindowVisible());
    EXPECT_FALSE(OrderDialog()->m_status.IsWindowVisible());
    EXPECT_EQ("http://127.0.0.1:20062/order?option=add&registerPhone=13800000001&service=1001"
              "&user_id=10001&session_id=session-1",
              WindowText(OrderDialog()->m_browser));
    EXPECT_EQ(0, g_wndService.StartService()) << "ready: nothing to do";
    EXPECT_EQ(1, g_adapters.made);
}

TEST_F(ServiceTest, RejectedAnswersFailTheStartUp)
{
    for (const char* code : {"4", "x", "", "0"}) {
        SCOPED_TRACE(code);
        LogIn();
        g_wndService.OpenOrderDialog();
        Adapter()->OnConnected();
        Receive(std::string("1\x02x\x02http://h/\x02") + code + "\x02" "139");
        EXPECT_EQ(0, g_wndService.m_bReady);
        EXPECT_EQ(0u, g_wndService.m_nInitTimer);
        EXPECT_EQ(COrderDlg::STATE_FAILED, OrderDialog()->GetServiceState());
        EXPECT_EQ("初始化服务失败，请您尝试重试。", WindowText(OrderDialog()->m_status));
        host.Send(plugin, 5);
    }
}

TEST_F(ServiceTest, AnswerAfterTheTimeOutIsDropped)
{
    LogIn();
    Tick(30);
    ASSERT_EQ(0u, g_wndService.m_nInitTimer);
    Receive("1\x02x\x02http://late/\x02" "1\x02" "139");
    EXPECT_EQ(0, g_wndService.m_bReady);
    EXPECT_STREQ("", g_wndService.m_strServiceUrl);
}

TEST_F(ServiceTest, LogoutDuringStartUpDropsAdapterAndOrderDialog)
{
    LogIn();
    g_wndService.OpenOrderDialog();
    Tick(3);
    host.Send(plugin, 5);
    EXPECT_EQ(nullptr, g_wndService.m_pAdapter);
    EXPECT_EQ(1, g_adapters.deleted) << "given back through the framework";
    EXPECT_EQ(nullptr, OrderDialog());
    Tick();
    EXPECT_EQ(0u, g_wndService.m_nInitTimer) << "the next tick finds the plugin offline";
    EXPECT_EQ(0, plugin->m_bOnline);
}

TEST_F(ServiceTest, NoAdapterFailsTheStartUp)
{
    g_probeFactory.failNext = true;
    host.Send(plugin, 19);
    host.Send(plugin, 4);
    EXPECT_EQ(0u, g_wndService.m_nInitTimer);
    g_wndService.OpenOrderDialog();
    EXPECT_EQ(COrderDlg::STATE_FAILED, OrderDialog()->GetServiceState()) << "online, not ready, not starting";
    g_probeFactory.failNext = false;
    SendMessageA(OrderDialog()->m_retry.m_hWnd, BM_CLICK, 0, 0);
    EXPECT_NE(0u, g_wndService.m_nInitTimer) << "retry started it again";
    EXPECT_EQ(COrderDlg::STATE_STARTING, OrderDialog()->GetServiceState());
}

TEST_F(ServiceTest, OfflineOrderDialogSaysSoAndRetryDoesNothing)
{
    g_wndService.OpenOrderDialog();
    ASSERT_NE(nullptr, OrderDialog());
    EXPECT_EQ("抱歉，您必须登陆或上线后才能使用此服务！", WindowText(OrderDialog()->m_status));
    EXPECT_FALSE(OrderDialog()->m_retry.IsWindowVisible());
    OrderDialog()->SetServiceState(COrderDlg::STATE_OFFLINE);
    SendMessageA(OrderDialog()->m_retry.m_hWnd, BM_CLICK, 0, 0);
    EXPECT_EQ(0, g_adapters.made);
    LogIn(); // a new account closes every dialog
    EXPECT_EQ(nullptr, OrderDialog());
    g_wndService.OpenOrderDialog();
    EXPECT_EQ(COrderDlg::STATE_STARTING, OrderDialog()->GetServiceState());
    const int made = g_adapters.made;
    g_wndService.StopInitTimer();
    SendMessageA(OrderDialog()->m_retry.m_hWnd, BM_CLICK, 0, 0);
    EXPECT_EQ(0u, g_wndService.m_nInitTimer) << "a retry in state 1 does nothing";
    EXPECT_EQ(made, g_adapters.made);
}

TEST_F(ServiceTest, IncomingMessagesAreQueuedWithTheirTextWhole)
{
    LogIn();
    Receive("4\x02x\x02" "10002\x02hello\x02world");
    CSmsRecord record;
    int more = 0;
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_EQ(3, record.kind);
    EXPECT_STREQ("hello\x02world", record.text);
    EXPECT_EQ(19, record.time.GetLength()) << (const char*)record.time;
    EXPECT_NE(0u, g_wndService.m_nPollTimer);

    Receive("4");
    ASSERT_TRUE(CMessageStore::TakeNextUnread("4", record, more)) << "a lone type repeats as every field";
    EXPECT_STREQ("4", record.text);

    Receive("6\x02x\x02" "10001\x02" "busy");
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10001", record, more));
    EXPECT_EQ(0, record.kind);
    EXPECT_STREQ("抱歉，您给联系人 [10001] 的消息无法发出。错误原因：busy。", record.text);
}

TEST_F(ServiceTest, MalformedBlocksAreDropped)
{
    LogIn();
    Receive("41\x02x\x02" "10002\x02no");
    Receive("4\x02x\x02" "10003\x02no", false);
    std::string trailing = std::string("4\x02x\x02" "10004\x02no") + '\0' + "more";
    Receive(trailing);
    for (int size : {0, 1, 2}) {
        char* copy = new char[3]{'4', '\0', '\0'};
        g_wndService.SendMessage(WM_SMSDATA, size, reinterpret_cast<LPARAM>(copy));
    }
    g_wndService.SendMessage(WM_SMSDATA, 10, 0);
    for (const char* peer : {"10002", "10003", "10004", ""})
        EXPECT_FALSE(CMessageStore::HasUnread(peer)) << peer;
    EXPECT_EQ(0, ParseServiceText(nullptr, 3));
    EXPECT_EQ(0, ParseServiceText("1", 0));
}

TEST_F(ServiceTest, OfflineMessagesWaitForTheLoggedInAccount)
{
    host.Send(plugin, 4); // the account, no session: offline
    ASSERT_EQ(0, plugin->m_bOnline);
    Receive("4\x02x\x02" "10002\x02while away");
    EXPECT_TRUE(CMessageStore::HasUnread("10002"));
    EXPECT_EQ(0u, g_wndService.m_nPollTimer);
    host.Send(plugin, 19);
    EXPECT_NE(0u, g_wndService.m_nPollTimer) << "coming online starts the poll";
    g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_POLL);
    EXPECT_NE(0u, g_wndService.m_nPollTimer) << "the poll runs while records wait";
    EXPECT_TRUE(CMessageStore::HasUnread("10002")) << "nothing is lost while no dialog can show it";
}

TEST(NextFieldTest, CutsAtTheSeparatorOrRepeatsTheLastField)
{
    char text[] = "a\x02" "b\x02" "c";
    char* cursor = text;
    EXPECT_STREQ("a", NextField(&cursor, '\x02'));
    EXPECT_STREQ("b", NextField(&cursor, '\x02'));
    EXPECT_STREQ("c", NextField(&cursor, '\x02'));
    EXPECT_STREQ("c", NextField(&cursor, '\x02'));
    EXPECT_STREQ("c", cursor);
    EXPECT_EQ(nullptr, NextField(nullptr, '\x02'));
    char* none = nullptr;
    EXPECT_EQ(nullptr, NextField(&none, '\x02'));
}

// ---------------------------------------------------------------- adapter and factory

namespace {
int g_countingDeleted = 0;
class CCountingAdapter : public CSmsAdapter {
public:
    ~CCountingAdapter() override { ++g_countingDeleted; }
};

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

TEST(SmsAdapterTest, FactoryMakesMarkedTypes)
{
    CSmsAdapterFactory factory;
    EXPECT_EQ(20061, factory.GetAdapterType());
    AdapterBase* adapter = factory.NewAdapter();
    ASSERT_NE(nullptr, adapter);
    EXPECT_EQ(20061, adapter->GetAdapterType());
    auto sms = static_cast<CSmsAdapter*>(adapter);
    EXPECT_EQ(0, sms->m_bConnected);
    EXPECT_EQ(0, sms->m_bKeep);
    EXPECT_EQ(0, sms->m_bCalled);
    EXPECT_EQ(0, factory.DeleteAdapter(nullptr));
    EXPECT_EQ(0, factory.DeleteAdapter(adapter));
}

TEST(SmsAdapterTest, MarkKeepOnlyBeforeTheFirstCall)
{
    _putenv_s("SMSUTIL_SWITCH_ADDR", "127.0.0.1:1");
    CSmsAdapter* marked = new CSmsAdapter;
    EXPECT_TRUE(marked->MarkKeep());
    EXPECT_EQ(1, marked->m_bKeep);
    CSmsAdapter* late = new CSmsAdapter;
    late->SetApplicationID("10001");
    late->Call(10001, 20061, nullptr, 0);
    EXPECT_EQ(1, late->m_bCalled);
    EXPECT_FALSE(late->MarkKeep());
    EXPECT_EQ(0, late->m_bKeep);
    marked->Release();
    late->Release();
}

TEST(SmsAdapterTest, UnmarkedAdaptersPostTheirFirstBlockAndGoMarkedOnesStay)
{
    WNDCLASSA sinkClass = {};
    sinkClass.lpfnWndProc = SinkProc;
    sinkClass.hInstance = GetModuleHandleA(nullptr);
    sinkClass.lpszClassName = "smsdata-sink";
    RegisterClassA(&sinkClass);
    HWND sink = CreateWindowA("smsdata-sink", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    const HWND previous = GetSmsDataTarget();
    SetSmsDataTarget(sink);

    g_countingDeleted = 0;
    const char block[] = "\x01\x02" "4\x02x\x02" "1\x02hi";
    CCountingAdapter* unmarked = new CCountingAdapter;
    unmarked->OnRecvData(block, sizeof block);
    EXPECT_EQ(1, g_countingDeleted) << "released itself after its first block";

    CCountingAdapter* marked = new CCountingAdapter;
    marked->MarkKeep();
    marked->OnRecvData(block, sizeof block);
    marked->OnRecvData(block, 3);
    EXPECT_EQ(1, g_countingDeleted);

    int posted = 0;
    MSG message;
    while (PeekMessageA(&message, sink, WM_SMSDATA, WM_SMSDATA, PM_REMOVE)) {
        ++posted;
        char* copy = reinterpret_cast<char*>(message.lParam);
        EXPECT_NE(block, copy) << "a copy, not the framework's buffer";
        EXPECT_EQ(0, memcmp(block, copy, message.wParam));
        delete[] copy;
    }
    EXPECT_EQ(3, posted);
    marked->Release();
    EXPECT_EQ(2, g_countingDeleted);
    SetSmsDataTarget(previous);
    DestroyWindow(sink);
}

// ---------------------------------------------------------------- order dialog

TEST(OrderAddressTest, OptionByLevelAndValuesUnchanged)
{
    EXPECT_STREQ("B?option=add&registerPhone=P&service=1001&user_id=U&session_id=S",
                 BuildOrderPageAddress("B", 2, "P", "U", "S"));
    EXPECT_STREQ("B?option=display&registerPhone=P&service=1001&user_id=U&session_id=S",
                 BuildOrderPageAddress("B", 3, "P", "U", "S"));
    for (int level : {0, 1, 4, -1})
        EXPECT_STREQ("B?option=bind&registerPhone=P&service=1001&user_id=U&session_id=S",
                     BuildOrderPageAddress("B", level, "P", "U", "S")) << level;
    EXPECT_STREQ("?option=bind&registerPhone=&service=1001&user_id=&session_id=",
                 BuildOrderPageAddress("", 0, "", "", ""));
    EXPECT_STREQ("http://x/o?a=1?option=add&registerPhone=1 3&service=1001&user_id=a&b&session_id=s s",
                 BuildOrderPageAddress("http://x/o?a=1", 2, "1 3", "a&b", "s s"));
}

TEST_F(ServiceTest, FailedLevelQuerySelectsBind)
{
    host.myLevel = -1;
    LogIn();
    g_wndService.OpenOrderDialog();
    g_wndService.m_strServiceUrl = "http://h/o";
    OrderDialog()->SetServiceState(COrderDlg::STATE_READY);
    EXPECT_EQ("http://h/o?option=bind&registerPhone=&service=1001&user_id=10001&session_id=session-1",
              WindowText(OrderDialog()->m_browser));
    host.myLevel = 3;
    OrderDialog()->SetServiceState(COrderDlg::STATE_READY);
    EXPECT_EQ(0, WindowText(OrderDialog()->m_browser).find("http://h/o?option=display")) << "navigates again";
}

TEST_F(ServiceTest, EnterKeepsTheOrderDialogAndEscapeDeletesIt)
{
    g_wndService.OpenOrderDialog();
    COrderDlg* dialog = OrderDialog();
    ASSERT_NE(nullptr, dialog);
    HWND window = dialog->m_hWnd;
    EXPECT_EQ("短信服务", WindowText(window));
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(window));
    g_wndService.OpenOrderDialog();
    EXPECT_EQ(dialog, OrderDialog()) << "one dialog per process";
    SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, OrderDialog()) << "unregistered and deleted";
}

namespace {
RECT ChildRect(HWND dialog, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
} // namespace

TEST_F(ServiceTest, ResizingKeepsTheBrowserFillingAndTheRetryCentred)
{
    g_wndService.OpenOrderDialog();
    COrderDlg* dialog = OrderDialog();
    HWND window = dialog->m_hWnd;
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(528, frame.right - frame.left);
    EXPECT_EQ(470, frame.bottom - frame.top);

    MINMAXINFO limits = {};
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_LT(limits.ptMinTrackSize.x, 528) << "the template's size is the minimum";
    EXPECT_GT(limits.ptMinTrackSize.x, 200);

    auto measure = [&](RECT& client, RECT& browser, RECT& status, RECT& retry) {
        GetClientRect(window, &client);
        browser = ChildRect(window, dialog->m_browser.m_hWnd);
        status = ChildRect(window, dialog->m_status.m_hWnd);
        retry = ChildRect(window, dialog->m_retry.m_hWnd);
    };
    RECT client1, browser1, status1, retry1;
    measure(client1, browser1, status1, retry1);
    SetWindowPos(window, nullptr, 0, 0, 800, 601, SWP_NOMOVE | SWP_NOZORDER);
    RECT client2, browser2, status2, retry2;
    measure(client2, browser2, status2, retry2);

    EXPECT_EQ(browser1.left, browser2.left);
    EXPECT_EQ(browser1.top, browser2.top);
    EXPECT_EQ(client1.right - browser1.right, client2.right - browser2.right);
    EXPECT_EQ(client1.bottom - browser1.bottom, client2.bottom - browser2.bottom);
    EXPECT_EQ(status1.left, status2.left);
    EXPECT_EQ(client1.right - status1.right, client2.right - status2.right);
    EXPECT_EQ(status1.bottom - status1.top, status2.bottom - status2.top);
    EXPECT_EQ(status1.top - client1.bottom / 2, status2.top - client2.bottom / 2) << "vertically centred";
    EXPECT_EQ(retry1.right - retry1.left, retry2.right - retry2.left) << "the button keeps its size";
    EXPECT_EQ(retry1.left - client1.right / 2, retry2.left - client2.right / 2) << "horizontally centred";
    EXPECT_EQ(retry1.top - client1.bottom / 2, retry2.top - client2.bottom / 2);

    SetWindowPos(window, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(window, &frame);
    EXPECT_GE(frame.right - frame.left, limits.ptMinTrackSize.x) << "not smaller than at initialisation";
}

TEST_F(ServiceTest, RandomBlocksNeverCrashAndOnlyWellFormedTextsQueue)
{
    LogIn();
    Adapter()->OnConnected();
    // Deterministic noise: separators, NULs, digits and GBK lead bytes mixed.
    unsigned state = 12345;
    auto next = [&state] { state = state * 1103515245u + 12345u; return (state >> 16) & 0x7FFF; };
    const char alphabet[] = {'\x02', '\x02', '\0', '1', '4', '6', '0', 'x', '\xB7', '\xA2', '\x81', '['};
    for (int round = 0; round < 2000; ++round) {
        const int size = static_cast<int>(next() % 40);
        char* block = new char[size > 0 ? size : 1];
        for (int i = 0; i < size; ++i) block[i] = alphabet[next() % sizeof alphabet];
        g_wndService.SendMessage(WM_SMSDATA, size, reinterpret_cast<LPARAM>(block));
    }
    // The window still works: a well-formed text arrives after the noise.
    Receive("4\x02x\x02" "10077\x02still fine");
    CSmsRecord record;
    int more = 0;
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10077", record, more));
    EXPECT_STREQ("still fine", record.text);
}
