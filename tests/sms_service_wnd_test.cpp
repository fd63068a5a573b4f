// The service window: its start-up on the init timer, what it does with the
// blocks that adapters post, the order dialog it opens, and the checks before
// a send dialog. Driven with the messages that timers, adapters and a user
// produce; read back from windows, message boxes and the store.
#include "dialog_input.h"
#include "adapter_block.h"
#include "message_box_hook.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "switch_manager.h"
#include "plugin_fixture.h"
#include "transport/sms_adapter.h"
#include "window_text.h"

#include <gtest/gtest.h>

namespace {

class ServiceTest : public PluginFixture<CSmsUtilPlugin> {
protected:
    ServiceTest() : PluginFixture(getPlugin) {}
    void SetUp() override
    {
        PluginFixture::SetUp();
        InstallProbeAdapters();
        g_adapterClock = [] { return g_wndService.GetInitElapsed(); };
    }

    void Tick(int count = 1)
    {
        for (int i = 0; i < count; ++i) g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_INIT);
    }
    void Answer() { ReceiveBlock(Fields("1|x|http://h/order|1|138")); }
    std::vector<unsigned> CallTimes()
    {
        std::vector<unsigned> times;
        for (const AdapterCall& call : g_adapters.calls) times.push_back(call.at);
        return times;
    }

    COrderDlg* OrderDialog() { return static_cast<COrderDlg*>(FindRegisteredWindow("smsutil_order")); }
    std::string OrderStatus() { return WindowText(OrderDialog()->m_status); }
};

RECT ChildRect(HWND dialog, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

// ---------------------------------------------------------------- start-up

TEST_F(ServiceTest, NeverConnectedCallsEveryHalfSecondAndTimesOutAtThree)
{
    LogIn();
    g_wndService.OpenOrderDialog();
    ASSERT_NE(nullptr, OrderDialog());
    EXPECT_EQ("正在初始化服务，请稍候...", OrderStatus());
    EXPECT_FALSE(OrderDialog()->m_retry.IsWindowVisible());
    Tick(29);
    EXPECT_EQ((std::vector<unsigned>{0, 500, 1000, 1500, 2000, 2500}), CallTimes());
    for (const AdapterCall& call : g_adapters.calls) {
        EXPECT_EQ("10001", call.applicationId);
        EXPECT_EQ(10001u, call.number) << "the service is called with the user's own number";
    }
    EXPECT_TRUE(g_wndService.IsStarting());
    Tick();
    EXPECT_FALSE(g_wndService.IsStarting());
    EXPECT_EQ("初始化服务超时，请您尝试重试。", OrderStatus());
    EXPECT_TRUE(OrderDialog()->m_retry.IsWindowVisible());
    EXPECT_TRUE(g_adapters.data.empty());
}

TEST_F(ServiceTest, ConnectedAt1200QueriesEverySecondUntilSix)
{
    LogIn();
    Tick(12);
    ConnectLastAdapter();
    Tick(47);
    std::vector<unsigned> queries;
    for (const AdapterData& data : g_adapters.data) queries.push_back(data.at);
    EXPECT_EQ((std::vector<unsigned>{2000, 3000, 4000, 5000}), queries);
    EXPECT_EQ(std::string("1", 2), g_adapters.data.at(0).bytes) << "the text 1 and its NUL";
    EXPECT_EQ((std::vector<unsigned>{0, 500, 1000}), CallTimes());
    g_wndService.OpenOrderDialog();
    Tick();
    EXPECT_FALSE(g_wndService.IsStarting());
    EXPECT_EQ("初始化服务超时，请您尝试重试。", OrderStatus());
}

// The answer's code decides; the level the host gives the user picks the
// order page's option.
TEST_F(ServiceTest, StartUpAnswersAcceptCodesOneToThreeAndTheOrderPageShowsTheLevelsOption)
{
    const struct {
        const char* code;
        int level;
        const char* option; // null: refused
    } cases[] = {{"1", 2, "add"},    {"3", 3, "display"}, {" +3x", 0, "bind"}, {"4", 2, nullptr},
                 {"-1", 2, nullptr}, {"x", 2, nullptr},   {"", 2, nullptr}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.code);
        host.myLevel = each.level;
        LogIn();
        g_wndService.OpenOrderDialog();
        ConnectLastAdapter();
        Tick(10);
        ReceiveBlock(Fields(std::string("1|x|http://127.0.0.1:20062/order|") + each.code + "|138|01"));
        EXPECT_EQ(each.option != nullptr, g_wndService.IsReady());
        EXPECT_FALSE(g_wndService.IsStarting());
        EXPECT_EQ(each.option != nullptr, OrderDialog()->m_browser.IsWindowVisible());
        EXPECT_EQ(each.option == nullptr, OrderDialog()->m_retry.IsWindowVisible());
        if (!each.option) {
            EXPECT_EQ("初始化服务失败，请您尝试重试。", OrderStatus());
        }
        // The browser's first line is the address it was told to go to.
        const std::string shown = WindowText(OrderDialog()->m_browser);
        if (each.option) {
            EXPECT_EQ(Fields(std::string("http://127.0.0.1:20062/order?option=") + each.option +
                             "&registerPhone=138|01"
                             "&service=1001&user_id=10001&session_id=session-1"),
                      shown.substr(0, shown.find("\r\n")));
        }
        host.Send(plugin, IXA_MESSAGE_OFFLINE);
    }
}

TEST_F(ServiceTest, AnswerAfterTheTimeOutIsDropped)
{
    LogIn();
    Tick(30);
    ASSERT_FALSE(g_wndService.IsStarting());
    ConnectLastAdapter();
    Answer();
    EXPECT_FALSE(g_wndService.IsReady());
    EXPECT_STREQ("", g_wndService.GetServiceUrl());
}

TEST_F(ServiceTest, LogoutDuringStartUpDropsAdapterAndOrderDialog)
{
    LogIn();
    g_wndService.OpenOrderDialog();
    Tick(3);
    host.Send(plugin, IXA_MESSAGE_OFFLINE);
    EXPECT_EQ(1, g_adapters.deleted) << "given back through the framework";
    EXPECT_EQ(nullptr, OrderDialog());
    Tick();
    EXPECT_FALSE(g_wndService.IsStarting()) << "the next tick finds the plugin offline";
}

TEST_F(ServiceTest, ReadyServiceWhoseLinkWentDownStartsAgainOnRetry)
{
    LogIn();
    ConnectLastAdapter();
    Answer();
    ASSERT_TRUE(g_wndService.IsReady());
    // The switch lost its connection to the server, and the call with it.
    g_adapters.last->OnDisconnected(0);
    EXPECT_FALSE(g_wndService.IsReady());
    g_wndService.OpenOrderDialog();
    EXPECT_EQ("初始化服务失败，请您尝试重试。", OrderStatus());
    SendMessageA(OrderDialog()->m_retry.m_hWnd, BM_CLICK, 0, 0);
    EXPECT_EQ((std::vector<unsigned>{0, 0}), CallTimes()) << "the same adapter calls again";
    ConnectLastAdapter();
    Tick(10);
    Answer();
    EXPECT_TRUE(g_wndService.IsReady());
    EXPECT_TRUE(OrderDialog()->m_browser.IsWindowVisible());
    EXPECT_EQ(1, g_adapters.made);
}

TEST_F(ServiceTest, OrderDialogOfflineSaysSoKeepsItsLayoutAndClosesOnEscape)
{
    g_wndService.OpenOrderDialog();
    ASSERT_NE(nullptr, OrderDialog());
    const HWND window = OrderDialog()->m_hWnd;
    EXPECT_EQ("抱歉，您必须登陆或上线后才能使用此服务！", OrderStatus());
    EXPECT_FALSE(OrderDialog()->m_retry.IsWindowVisible());
    EXPECT_EQ("短信服务", WindowText(window));

    // Larger: the browser keeps filling the dialog, the retry stays centred.
    RECT client1, client2;
    GetClientRect(window, &client1);
    const RECT browser1 = ChildRect(window, OrderDialog()->m_browser.m_hWnd);
    const RECT retry1 = ChildRect(window, OrderDialog()->m_retry.m_hWnd);
    SetWindowPos(window, nullptr, 0, 0, 800, 601, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(window, &client2);
    const RECT browser2 = ChildRect(window, OrderDialog()->m_browser.m_hWnd);
    const RECT retry2 = ChildRect(window, OrderDialog()->m_retry.m_hWnd);
    EXPECT_EQ(browser1.left, browser2.left);
    EXPECT_EQ(client1.right - browser1.right, client2.right - browser2.right);
    EXPECT_EQ(client1.bottom - browser1.bottom, client2.bottom - browser2.bottom);
    EXPECT_EQ(retry1.right - retry1.left, retry2.right - retry2.left) << "the button keeps its size";
    EXPECT_EQ(retry1.left - client1.right / 2, retry2.left - client2.right / 2) << "horizontally centred";
    EXPECT_EQ(retry1.top - client1.bottom / 2, retry2.top - client2.bottom / 2) << "vertically centred";

    PressDialogKey(window, VK_RETURN);
    EXPECT_TRUE(IsWindow(window));
    PressDialogKey(window, VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, OrderDialog()) << "unregistered and deleted";
}

// ---------------------------------------------------------------- received blocks

TEST_F(ServiceTest, MessagesBehindAnOpenDialogWaitInTheQueueAndThePollRunsWhileTheyDo)
{
    LogIn();
    ReceiveBlock(Fields("4|x|10002|first"));
    ASSERT_NE(nullptr, FindRegisteredWindow("r10002")) << "the first message is shown";
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));
    g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_POLL);
    EXPECT_FALSE(g_wndService.IsPolling()) << "nothing waits";
    ReceiveBlock(Fields("4|x|10002|hello|world"));
    EXPECT_TRUE(g_wndService.IsPolling());
    CSmsRecord record;
    int more = 0;
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_STREQ(Fields("hello|world").c_str(), record.text) << "the text's own separators are kept";
}

TEST_F(ServiceTest, ShortAndMalformedBlocksQueueNothing)
{
    LogIn();
    const std::string message = Fields("4|x|10002|no");
    for (int size : {0, 1, 2}) {
        // The bytes beyond the block's size would read as a message.
        const std::string bytes = "4" + std::string(1, '\0') + message + '\0';
        char* copy = new char[bytes.size()];
        memcpy(copy, bytes.data(), bytes.size());
        g_wndService.SendMessage(WM_SMSDATA, size, reinterpret_cast<LPARAM>(copy));
    }
    g_wndService.SendMessage(WM_SMSDATA, 10, 0);
    ReceiveBlock(Fields("41|x|10002|no"));
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));
    EXPECT_FALSE(CMessageStore::HasUnread("4"));
    EXPECT_FALSE(CMessageStore::HasUnread(""));
    EXPECT_EQ(nullptr, FindRegisteredWindow("r10002")) << "and shows nothing";
    EXPECT_EQ(nullptr, FindRegisteredWindow("r4"));
}

TEST_F(ServiceTest, OfflineMessagesWaitForTheLoggedInAccount)
{
    host.Send(plugin, IXA_MESSAGE_ACCOUNT); // the account, no session: offline
    ASSERT_FALSE(plugin->IsOnline());
    ReceiveBlock(Fields("4|x|10002|while away"));
    EXPECT_TRUE(CMessageStore::HasUnread("10002"));
    EXPECT_FALSE(g_wndService.IsPolling());
    host.Send(plugin, IXA_MESSAGE_SESSION);
    EXPECT_TRUE(g_wndService.IsPolling()) << "coming online starts the poll";
    g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_POLL);
    EXPECT_FALSE(CMessageStore::HasUnread("10002")) << "the poll shows it";
    ASSERT_NE(nullptr, FindRegisteredWindow("r10002"));
    g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_POLL);
    EXPECT_FALSE(g_wndService.IsPolling()) << "the poll stops with the queue empty";
}

// ---------------------------------------------------------------- before a send dialog

TEST_F(ServiceTest, SendDialogChecksTheServiceLevelsWithTheirMessageBoxes)
{
    host.contacts[10002] = {"李四", 0, 3};
    host.contacts[10003] = {"王五", 0, 0};
    host.contacts[10004] = {"赵六", 1, 2};
    host.contacts[10005] = {"钱七", 0, -1};
    const std::vector<int> yesNo = {IDYES, IDNO};
    const std::vector<int> ok = {IDOK};
    const char* noService = "抱歉，您还未申请此业务，想要立即申请吗？";
    const char* stranger = "无法发送短信: 对方不是您的好友,请先将对方加为好友再发送!";
    const char* contactLacks = "无法发送短信: 对方没有申请短信服务!";
    const struct {
        int myLevel;
        unsigned contact;
        const char* text; // null: no message box
        const std::vector<int>* buttons;
        LPCSTR icon;
    } cases[] = {
        {0, 10002, noService, &yesNo, IDI_QUESTION}, {-1, 10002, noService, &yesNo, IDI_QUESTION},
        {2, 10004, stranger, &ok, IDI_HAND},         {3, 10003, contactLacks, &ok, IDI_HAND},
        {2, 10005, contactLacks, &ok, IDI_HAND},     {2, 77777, contactLacks, &ok, IDI_HAND},
        {3, 10002, nullptr, nullptr, nullptr},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(std::to_string(each.myLevel) + " -> " + std::to_string(each.contact));
        host.myLevel = each.myLevel;
        MessageBoxHook boxes(each.buttons == &yesNo ? IDNO : IDOK);
        g_wndService.ShowSendDialog(each.contact);
        if (!each.text) {
            EXPECT_TRUE(boxes.seen.empty());
            continue;
        }
        ASSERT_EQ(1u, boxes.seen.size());
        EXPECT_EQ("发送短信", boxes.seen[0].caption);
        EXPECT_EQ(each.text, boxes.seen[0].text);
        EXPECT_EQ(*each.buttons, boxes.seen[0].buttons);
        EXPECT_EQ(each.icon, boxes.seen[0].icon);
        EXPECT_EQ(g_wndService.m_hWnd, boxes.seen[0].owner);
        EXPECT_EQ(nullptr, OrderDialog()) << "No opens nothing";
    }
}

TEST_F(ServiceTest, YesToTheServiceOfferOpensTheOrderDialog)
{
    host.myLevel = 0;
    LogIn();
    MessageBoxHook boxes(IDYES);
    g_wndService.ShowSendDialog(10002);
    ASSERT_EQ(1u, boxes.seen.size());
    ASSERT_NE(nullptr, OrderDialog());
    EXPECT_TRUE(OrderDialog()->IsWindowVisible());
    EXPECT_EQ("正在初始化服务，请稍候...", OrderStatus());
}
