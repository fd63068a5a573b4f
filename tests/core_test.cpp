// The module's code linked into the test program: the dialog registry, the
// log-in path's effect on open dialogs and timers, the contact-name lookup and
// the checks before a send dialog opens.
#include "message_box_hook.h"
#include "plugin/registered_window.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "plugin/window_registry.h"
#include "store/message_store.h"
#include "test_host.h"

#include <gtest/gtest.h>

namespace {

// A registered window that unregisters itself when its window goes, as the
// plugin's dialogs do; it reports what it saw then.
class CProbeWindow : public CWnd, public CRegisteredWindow {
    DECLARE_DYNCREATE(CProbeWindow)
public:
    static std::vector<std::string> destroyed;
    static std::string userIdAtDestroy;
    static int alive;
    CProbeWindow() { ++alive; }
    ~CProbeWindow() override { --alive; }
    bool Open()
    {
        RECT empty = {0, 0, 0, 0};
        return CreateEx(0, nullptr, m_strRegKey, WS_POPUP, empty, nullptr, 0);
    }
protected:
    void PostNcDestroy() override
    {
        destroyed.push_back((const char*)m_strRegKey);
        if (GetSmsUtilPlugin()) userIdAtDestroy = (const char*)GetSmsUtilPlugin()->m_strUserId;
        Unregister();
    }
};
IMPLEMENT_DYNCREATE(CProbeWindow, CWnd)
std::vector<std::string> CProbeWindow::destroyed;
std::string CProbeWindow::userIdAtDestroy;
int CProbeWindow::alive = 0;

// Registered, but never removes its entry.
class CPlainWindow : public CWnd {
    DECLARE_DYNCREATE(CPlainWindow)
};
IMPLEMENT_DYNCREATE(CPlainWindow, CWnd)

class NotAWindow : public CObject {
    DECLARE_DYNCREATE(NotAWindow)
};
IMPLEMENT_DYNCREATE(NotAWindow, CObject)

CProbeWindow* OpenProbe(const char* key)
{
    auto probe = static_cast<CProbeWindow*>(CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), key));
    if (!probe) return nullptr;
    probe->m_strRegKey = key;
    EXPECT_TRUE(probe->Open());
    return probe;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitWindowRegistry());
        CProbeWindow::destroyed.clear();
    }
    void TearDown() override { FreeWindowRegistry(); }
};

} // namespace

TEST_F(RegistryTest, OneWindowPerKey)
{
    CProbeWindow* first = OpenProbe("r10001");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, FindRegisteredWindow("r10001"));
    EXPECT_EQ(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), "r10001"));
    EXPECT_EQ(first, FindRegisteredWindow("r10001")) << "the present entry is left alone";
    EXPECT_EQ(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), ""));
    EXPECT_EQ(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(NotAWindow), "x"));
    EXPECT_EQ(nullptr, FindRegisteredWindow("x"));
    EXPECT_EQ(nullptr, FindRegisteredWindow(""));
    EXPECT_EQ(nullptr, FindRegisteredWindow("c10001"));
}

TEST_F(RegistryTest, RemoveDeletesTheObjectAndItsWindow)
{
    const int before = CProbeWindow::alive;
    CProbeWindow* probe = OpenProbe("c10002");
    HWND window = probe->m_hWnd;
    EXPECT_FALSE(RemoveRegisteredWindow("c10003"));
    EXPECT_TRUE(RemoveRegisteredWindow("c10002"));
    EXPECT_EQ(before, CProbeWindow::alive) << "object deleted";
    EXPECT_FALSE(IsWindow(window)) << "deleting the object destroyed its window";
    EXPECT_EQ(nullptr, FindRegisteredWindow("c10002"));
    EXPECT_FALSE(RemoveRegisteredWindow("c10002"));
}

TEST_F(RegistryTest, DestroyAllCopesWithWindowsRemovingTheirOwnEntries)
{
    const int before = CProbeWindow::alive;
    for (int i = 0; i < 25; ++i) {
        char key[16];
        sprintf(key, "r%d", 10000 + i);
        ASSERT_NE(nullptr, OpenProbe(key));
    }
    auto plain = static_cast<CPlainWindow*>(CreateRegisteredWindow(RUNTIME_CLASS(CPlainWindow), "smsutil_order"));
    RECT empty = {0, 0, 0, 0};
    ASSERT_TRUE(plain->CreateEx(0, nullptr, "plain", WS_POPUP, empty, nullptr, 0));
    HWND plainWindow = plain->m_hWnd;

    DestroyRegisteredWindows();
    EXPECT_EQ(25u, CProbeWindow::destroyed.size());
    EXPECT_EQ(before, CProbeWindow::alive) << "every self-removing window deleted itself";
    EXPECT_FALSE(IsWindow(plainWindow));
    EXPECT_EQ(nullptr, FindRegisteredWindow("smsutil_order"));
    EXPECT_EQ(nullptr, FindRegisteredWindow("r10003"));
    delete plain; // not self-deleting: the registry only forgot it
}

TEST_F(RegistryTest, EntryWithoutWindowSurvivesDestroyAllAsNothing)
{
    ASSERT_NE(nullptr, CreateRegisteredWindow(RUNTIME_CLASS(CProbeWindow), "c1"));
    const int alive = CProbeWindow::alive;
    DestroyRegisteredWindows();
    EXPECT_EQ(nullptr, FindRegisteredWindow("c1"));
    EXPECT_EQ(alive, CProbeWindow::alive);
}

namespace {

class PluginCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        IxaBase::SetIxaInstance(&host);
        plugin = static_cast<CSmsUtilPlugin*>(getPlugin());
        plugin->InitPlugin();
        CProbeWindow::destroyed.clear();
    }
    void TearDown() override
    {
        host.Send(plugin, 5);
        plugin->ExitPlugin();
        g_wndService.StopPollTimer();
        IxaBase::SetIxaInstance(nullptr);
        delete plugin;
    }
    CTestHost host;
    CSmsUtilPlugin* plugin = nullptr;
};

} // namespace

TEST_F(PluginCoreTest, ComingOnlineStartsThePollTimer)
{
    host.Send(plugin, 4);
    EXPECT_EQ(0u, g_wndService.m_nPollTimer);
    EXPECT_STREQ("10001", CurrentAccountId);
    host.dataDir = "Z:\\tmp\\";
    host.Send(plugin, 19);
    EXPECT_EQ(1, plugin->m_bOnline);
    EXPECT_EQ(CSmsServiceWnd::TIMER_POLL, g_wndService.m_nPollTimer);
    host.Send(plugin, 4);
    EXPECT_STREQ("Z:\\tmp\\", AccountDataDir);
    g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_POLL);
    host.Send(plugin, 5);
    g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_POLL);
    EXPECT_EQ(0u, g_wndService.m_nPollTimer) << "the poll stops itself once offline";
}

TEST_F(PluginCoreTest, AnotherAccountClosesEveryDialogBeforeTheNumberChanges)
{
    host.Send(plugin, 4);
    OpenProbe("r20001");
    OpenProbe("c20002");
    host.Send(plugin, 4);
    EXPECT_TRUE(CProbeWindow::destroyed.empty()) << "the same account closes nothing";

    host.myNumber = 10002;
    host.Send(plugin, 4);
    EXPECT_EQ(2u, CProbeWindow::destroyed.size());
    EXPECT_EQ("10001", CProbeWindow::userIdAtDestroy) << "closed while the old number was current";
    EXPECT_STREQ("10002", plugin->m_strUserId);
    EXPECT_STREQ("10002", CurrentAccountId);
    EXPECT_EQ(nullptr, FindRegisteredWindow("r20001"));
}

TEST_F(PluginCoreTest, ExitDestroysEveryDialog)
{
    OpenProbe("r1");
    plugin->ExitPlugin();
    EXPECT_EQ(1u, CProbeWindow::destroyed.size());
    ASSERT_TRUE(InitWindowRegistry()); // TearDown exits again
}

TEST_F(PluginCoreTest, ContactNames)
{
    host.myName = "我自己";
    host.contacts[10002] = {"李四", 0, 3};
    host.Send(plugin, 4);
    CString name("before");
    EXPECT_EQ(1, plugin->GetContactName("10002", name));
    EXPECT_STREQ("李四", name);
    EXPECT_EQ(1, plugin->GetContactName("10001", name)) << "the own number asks GetMyInfo";
    EXPECT_STREQ("我自己", name);
    EXPECT_EQ(0, plugin->GetContactName("77777", name));
    EXPECT_STREQ("77777", name) << "an unknown contact is named by its number";
    host.contacts[10003] = {"", 0, 2};
    EXPECT_EQ(1, plugin->GetContactName("10003", name));
    EXPECT_STREQ("", name);

    IxaBase::SetIxaInstance(nullptr);
    name = "kept";
    EXPECT_EQ(0, plugin->GetContactName("10002", name));
    EXPECT_STREQ("kept", name);
    IxaBase::SetIxaInstance(&host);
}

TEST_F(PluginCoreTest, SendDialogChecksTheServiceLevels)
{
    host.contacts[10002] = {"李四", 0, 3};
    host.contacts[10003] = {"王五", 0, 0};
    host.contacts[10004] = {"赵六", 1, 2};
    host.contacts[10005] = {"钱七", 0, -1};
    const struct {
        int myLevel;
        unsigned contact;
        const char* text; // null: no message box
    } cases[] = {
        {0, 10002, "抱歉，您还未申请此业务，想要立即申请吗？"},
        {1, 10002, "抱歉，您还未申请此业务，想要立即申请吗？"},
        {-1, 10002, "抱歉，您还未申请此业务，想要立即申请吗？"},
        {2, 10004, "无法发送短信: 对方不是您的好友,请先将对方加为好友再发送!"},
        {3, 10003, "无法发送短信: 对方没有申请短信服务!"},
        {2, 10005, "无法发送短信: 对方没有申请短信服务!"},
        {2, 77777, "无法发送短信: 对方没有申请短信服务!"},
        {3, 10002, nullptr},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(std::to_string(each.myLevel) + " -> " + std::to_string(each.contact));
        host.myLevel = each.myLevel;
        MessageBoxHook boxes(IDNO);
        g_wndService.ShowSendDialog(each.contact);
        if (!each.text) {
            EXPECT_TRUE(boxes.seen.empty());
            continue;
        }
        ASSERT_EQ(1u, boxes.seen.size());
        EXPECT_EQ("发送短信", boxes.seen[0].caption);
        EXPECT_EQ(each.text, boxes.seen[0].text);
    }
}
