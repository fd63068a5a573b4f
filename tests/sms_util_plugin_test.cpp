// The plugin object linked into the test program: log-in and log-out through
// host messages, their effect on open dialogs and the poll, the contact-name
// lookup, and what ExitPlugin takes back.
#include "dialog_input.h"
#include "message_box_hook.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"
#include "registry_probe.h"
#include "skin/skin_provider.h"
#include "store/message_store.h"
#include "switch_manager.h"
#include "plugin_fixture.h"
#include "transport/sms_adapter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Registered, but never removes its entry.
class CPlainWindow : public CWnd {
    DECLARE_DYNCREATE(CPlainWindow)
};
IMPLEMENT_DYNCREATE(CPlainWindow, CWnd)

class PluginCoreTest : public PluginFixture<CSmsUtilPlugin> {
protected:
    PluginCoreTest() : PluginFixture(getPlugin) {}
    void SetUp() override
    {
        PluginFixture::SetUp();
        CProbeWindow::destroyed.clear();
    }
};

} // namespace

TEST_F(PluginCoreTest, ComingOnlineStartsThePollTimerAndGoingOfflineStopsIt)
{
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_FALSE(g_wndService.IsPolling()) << "no session yet";
    EXPECT_STREQ("10001", CurrentAccountId);
    host.dataDir = "Z:\\tmp\\";
    host.Send(plugin, IXA_MESSAGE_SESSION);
    EXPECT_TRUE(plugin->IsOnline());
    EXPECT_TRUE(g_wndService.IsPolling());
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_STREQ("Z:\\tmp\\", AccountDataDir);
    host.Send(plugin, IXA_MESSAGE_OFFLINE);
    EXPECT_TRUE(g_wndService.IsPolling()) << "the poll stops itself on its next tick";
    g_wndService.SendMessage(WM_TIMER, CSmsServiceWnd::TIMER_POLL);
    EXPECT_FALSE(g_wndService.IsPolling());
}

TEST_F(PluginCoreTest, AnotherAccountClosesEveryDialogBeforeTheNumberChanges)
{
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    // Dialogs that take their own entries out of the registry while its walk
    // runs, and one that leaves its entry to the walk.
    const int alive = CProbeWindow::alive;
    for (int i = 0; i < 25; ++i) ASSERT_NE(nullptr, OpenProbe(("r" + std::to_string(20001 + i)).c_str()));
    auto plain = static_cast<CPlainWindow*>(CreateRegisteredWindow(RUNTIME_CLASS(CPlainWindow), "smsutil_order"));
    ASSERT_TRUE(plain->CreateEx(0, nullptr, "plain", WS_POPUP, RECT{0, 0, 0, 0}, nullptr, 0));
    const HWND plainWindow = plain->m_hWnd;
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_TRUE(CProbeWindow::destroyed.empty()) << "the same account closes nothing";

    host.myNumber = 10002;
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_EQ(25u, CProbeWindow::destroyed.size());
    EXPECT_EQ(alive, CProbeWindow::alive) << "every self-removing dialog deleted itself";
    EXPECT_FALSE(IsWindow(plainWindow));
    EXPECT_EQ(nullptr, FindRegisteredWindow("smsutil_order"));
    delete plain; // the registry only forgot it
    EXPECT_EQ("10001", CProbeWindow::userIdAtDestroy) << "closed while the old number was current";
    EXPECT_STREQ("10002", plugin->GetUserId());
    EXPECT_STREQ("10002", CurrentAccountId);
    EXPECT_EQ(nullptr, FindRegisteredWindow("r20001"));
}

// Told once the host's log-in call has returned, naming the copy kept or
// the file that could not be checked.
TEST_F(PluginCoreTest, ADamagedMessageFileIsReportedAfterTheLogIn)
{
    const std::string folder = host.dataDir;
    FILE* junk = fopen((folder + "smsutilmsg.db").c_str(), "wb");
    fputs("not a database", junk);
    fclose(junk);
    auto logIn = [this](const std::string& dataDir) {
        host.dataDir = dataDir;
        MessageBoxHook boxes;
        host.Send(plugin, IXA_MESSAGE_ACCOUNT);
        EXPECT_TRUE(boxes.seen.empty()) << "not inside the host's call";
        PumpDialogMessages();
        if (boxes.seen.size() != 1) return "boxes: " + std::to_string(boxes.seen.size());
        return boxes.seen[0].caption + "|" + boxes.seen[0].text;
    };
    const std::string moved = logIn(folder);
    WIN32_FIND_DATAA kept = {};
    FindClose(FindFirstFileA((folder + "smsutilmsg.db.damaged-*").c_str(), &kept));
    EXPECT_EQ("发送短信|消息文件已损坏，其中的消息无法读出。原文件已保留为 " + folder + kept.cFileName +
              "，以后的消息将存入新的消息文件。", moved);
    EXPECT_EQ("发送短信|无法检查消息文件 " + folder + "missing\\smsutilmsg.db：它可能已损坏且无法移开，或正被其他程序"
              "占用。短消息可能无法保存。", logIn(folder + "missing\\"));
}

TEST_F(PluginCoreTest, ExitTakesBackEverythingTheModuleLent)
{
    LogIn();
    OpenProbe("r1");
    g_wndService.OpenOrderDialog();
    ASSERT_TRUE(g_wndService.IsStarting());
    const HWND service = g_wndService.m_hWnd;
    const HWND order = FindRegisteredWindow("smsutil_order")->m_hWnd;
    plugin->ExitPlugin();
    EXPECT_EQ(std::vector<std::string>{"r1"}, CProbeWindow::destroyed);
    EXPECT_FALSE(IsWindow(order)) << "every dialog closed";
    EXPECT_FALSE(IsWindow(service)) << "the service window went with the plugin";
    EXPECT_EQ(nullptr, GetSmsDataTarget()) << "adapters post nowhere once it is gone";
    EXPECT_FALSE(g_wndService.IsStarting());
    EXPECT_EQ(nullptr, SwitchManager::getInstance()->CreateAdapter(SMS_ADAPTER_TYPE))
        << "the switch makes no adapter of the module's type any more";
    WNDCLASSA browser;
    EXPECT_FALSE(GetClassInfoA(nullptr, "{8856F961-340A-11D0-A96B-00C04FD705A2}", &browser))
        << "the browser control's class, whose procedure is the module's, is gone";

    // A plugin made after the exit starts over.
    delete plugin;
    plugin = static_cast<CSmsUtilPlugin*>(getPlugin());
    EXPECT_TRUE(IsWindow(g_wndService.m_hWnd));
    plugin->InitPlugin();
    EXPECT_EQ(GetSmsDataTarget(), g_wndService.m_hWnd);
}

TEST_F(PluginCoreTest, SecondGetPluginBecomesThePluginOfTheModule)
{
    CSmsUtilPlugin* second = static_cast<CSmsUtilPlugin*>(getPlugin());
    ASSERT_NE(plugin, second);
    EXPECT_EQ(second, GetSmsUtilPlugin());
    // The service now asks the second object whether the user is online.
    host.LogIn(plugin);
    g_wndService.OpenOrderDialog();
    EXPECT_FALSE(g_wndService.IsStarting());
    second->InitPlugin();
    host.LogIn(second);
    EXPECT_TRUE(g_wndService.IsStarting());
    host.Send(second, IXA_MESSAGE_OFFLINE);
    second->ExitPlugin();
    delete second;
}

TEST_F(PluginCoreTest, InitialisationSwitchesSkinLookupsOn)
{
    plugin->ExitPlugin();
    CSkinProvider::Instance().SetUseSkin(0);
    plugin->InitPlugin();
    EXPECT_EQ(1, CSkinProvider::Instance().GetUseSkin());
}

TEST_F(PluginCoreTest, ContactNames)
{
    host.myName = "我自己";
    host.contacts[10002] = {"李四", 0, 3};
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
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
