// The plugin object linked into the test program: what another account's
// log-in closes, what a damaged message file tells the user, and what
// ExitPlugin takes back.
#include "dialog_input.h"
#include "message_box_hook.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/registered_window.h"
#include "dialogs/window_registry.h"
#include "store/account_file.h"
#include "switch_manager.h"
#include "plugin_fixture.h"
#include "transport/sms_adapter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A dialog stand-in that takes its own entry out of the registry when its
// window goes, as the plugin's dialogs do, and records the account then.
class CProbeWindow : public CWnd, public CRegisteredWindow {
    DECLARE_DYNCREATE(CProbeWindow)
public:
    static std::vector<std::string> destroyed;
    static std::string userIdAtDestroy;

protected:
    void PostNcDestroy() override
    {
        destroyed.push_back((const char*)m_strRegKey);
        userIdAtDestroy = (const char*)GetSmsUtilPlugin()->GetUserId();
        Unregister();
    }
};
IMPLEMENT_DYNCREATE(CProbeWindow, CWnd)
std::vector<std::string> CProbeWindow::destroyed;
std::string CProbeWindow::userIdAtDestroy;

// Registered, but never removes its entry.
class CPlainWindow : public CWnd {
    DECLARE_DYNCREATE(CPlainWindow)
};
IMPLEMENT_DYNCREATE(CPlainWindow, CWnd)

CWnd* OpenRegistered(CRuntimeClass* runtimeClass, const std::string& key)
{
    CWnd* window = CreateRegisteredWindow(runtimeClass, key.c_str());
    EXPECT_TRUE(window && window->CreateEx(0, nullptr, key.c_str(), WS_POPUP, RECT{0, 0, 0, 0}, nullptr, 0));
    return window;
}

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

TEST_F(PluginCoreTest, AnotherAccountClosesEveryDialogBeforeTheNumberChanges)
{
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    // Dialogs that take their own entries out of the registry while its walk
    // runs, and one that leaves its entry to the walk.
    for (int i = 0; i < 25; ++i) {
        const std::string key = "r" + std::to_string(20001 + i);
        auto probe = static_cast<CProbeWindow*>(OpenRegistered(RUNTIME_CLASS(CProbeWindow), key));
        ASSERT_NE(nullptr, probe);
        probe->m_strRegKey = key.c_str();
    }
    CWnd* plain = OpenRegistered(RUNTIME_CLASS(CPlainWindow), "smsutil_order");
    const HWND plainWindow = plain->m_hWnd;
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_TRUE(CProbeWindow::destroyed.empty()) << "the same account closes nothing";

    host.myNumber = 10002;
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_EQ(25u, CProbeWindow::destroyed.size());
    EXPECT_FALSE(IsWindow(plainWindow));
    EXPECT_EQ(nullptr, FindRegisteredWindow("smsutil_order"));
    delete plain; // the registry only forgot it
    EXPECT_EQ("10001", CProbeWindow::userIdAtDestroy) << "closed while the old number was current";
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
                  "，以后的消息将存入新的消息文件。",
              moved);
    EXPECT_EQ("发送短信|无法检查消息文件 " + folder +
                  "missing\\smsutilmsg.db：它可能已损坏且无法移开，或正被其他程序"
                  "占用。短消息可能无法保存。",
              logIn(folder + "missing\\"));
}

// Another holds the file when the log-in comes: the check waits for it on a
// thread of its own, and the host's windows answer meanwhile (a check on the
// host's thread would give up after its wait and report the file unchecked).
TEST_F(PluginCoreTest, TheHostAnswersWhileTheLogInCheckWaitsForTheFile)
{
    struct Holder {
        CAccountFile file;
        HWND window;
        HANDLE holding = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        char answer[16] = "";
    } holder{CAccountFile(host.dataDir.c_str()),
             CreateWindowA("STATIC", "host", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr)};
    HANDLE other = CreateThread(
        nullptr, 0,
        [](void* data) -> DWORD {
            auto holder = static_cast<Holder*>(data);
            CAccountFile::Lock lock(holder->file, true);
            SetEvent(holder->holding);
            SendMessageA(holder->window, WM_GETTEXT, sizeof holder->answer, reinterpret_cast<LPARAM>(holder->answer));
            return 0;
        },
        &holder, 0, nullptr);
    WaitForSingleObject(holder.holding, INFINITE);
    MessageBoxHook boxes;
    LogIn();
    do PumpDialogMessages();
    while (WaitForSingleObject(other, 10) == WAIT_TIMEOUT);
    EXPECT_TRUE(boxes.seen.empty()) << boxes.seen.front().text;
    CloseHandle(other);
    CloseHandle(holder.holding);
    DestroyWindow(holder.window);
}

TEST_F(PluginCoreTest, ExitTakesBackEverythingTheModuleLent)
{
    LogIn();
    g_wndService.OpenOrderDialog();
    ASSERT_TRUE(g_wndService.IsStarting());
    const HWND service = g_wndService.m_hWnd;
    const HWND order = FindRegisteredWindow("smsutil_order")->m_hWnd;
    plugin->ExitPlugin();
    EXPECT_FALSE(IsWindow(order)) << "every dialog closed";
    EXPECT_FALSE(IsWindow(service)) << "the service window went with the plugin";
    EXPECT_EQ(nullptr, GetSmsDataTarget()) << "adapters post nowhere once it is gone";
    EXPECT_EQ(nullptr, SwitchManager::getInstance()->CreateAdapter(SMS_ADAPTER_TYPE))
        << "the switch makes no adapter of the module's type any more";
    WNDCLASSA browser;
    EXPECT_FALSE(GetClassInfoA(nullptr, "{8856F961-340A-11D0-A96B-00C04FD705A2}", &browser))
        << "the browser control's class, whose procedure is the module's, is gone";

    // A plugin made after the exit starts over.
    delete plugin;
    plugin = static_cast<CSmsUtilPlugin*>(getPlugin());
    plugin->InitPlugin();
    EXPECT_EQ(GetSmsDataTarget(), g_wndService.m_hWnd);
}
