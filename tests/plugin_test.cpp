// The real smsutil.dll in a test host that records every call the plugin
// makes: what the host sees of the plugin through its slots.
#include "sms_util_plugin.h"
#include "test_host.h"

#include <gtest/gtest.h>

namespace {

CSmsUtilPlugin* NewPlugin()
{
    static HMODULE module = LoadLibraryA("smsutil.dll");
    auto getPlugin = reinterpret_cast<IxaPlugin* (*)()>(GetProcAddress(module, "getPlugin"));
    // The plugin's fields are read through its declared layout; no code of the
    // module is called except through the host's slots.
    return getPlugin ? static_cast<CSmsUtilPlugin*>(getPlugin()) : nullptr;
}

} // namespace

TEST(PluginTest, ConstructionSetsTheFixedTexts)
{
    CSmsUtilPlugin* plugin = NewPlugin();
    ASSERT_NE(nullptr, plugin);
    EXPECT_STREQ("SMSUTIL plugin", plugin->GetPluginName());
    EXPECT_STREQ("CLASS_IXA_SMSUTILPLUGIN_6/4/2005/11:06:12", plugin->GetPluginClassId());
    EXPECT_STREQ("Version 1.0", plugin->m_strVersion);
    EXPECT_EQ(0, plugin->m_bOnline);
    EXPECT_EQ(0, plugin->m_bHaveSession);
    EXPECT_TRUE(plugin->m_strUserId.IsEmpty());
    EXPECT_NE(nullptr, FindWindowExA(GetDesktopWindow(), nullptr, nullptr, "timer"))
        << "the constructor made the hidden service window";
}

TEST(PluginTest, InitPluginRegistersWithTheHostInOrder)
{
    CTestHost host;
    HostScope scope(&host);
    CSmsUtilPlugin* plugin = NewPlugin();
    plugin->InitPlugin();

    const std::vector<std::string> expected = {
        "GetConfigInt LANGUAGEID",
        "GetConfigString LANGUAGEDIR .\\language",
        "AddPluginButton 0 0xFF00FF",
        "AddFriendFunBtn 1",
        "RegisterMessage 18", "RegisterMessage 17", "RegisterMessage 4", "RegisterMessage 5",
        "RegisterMessage 19", "RegisterMessage 7", "RegisterMessage 6", "RegisterMessage 10",
    };
    EXPECT_EQ(expected, host.calls);
    EXPECT_EQ("发送短信", host.buttonCaption);
    EXPECT_EQ(16, host.buttonWidth);
    EXPECT_EQ(16, host.buttonHeight);
    EXPECT_EQ(2, host.imageCount);
    ASSERT_EQ(2u, host.pictures.size());
    EXPECT_EQ(2, host.pictures[0].value);
    EXPECT_EQ(0, host.pictures[0].index);
    EXPECT_EQ(3, host.pictures[1].value);
    EXPECT_EQ(1, host.pictures[1].index);
    EXPECT_STREQ("sms utility plugin", plugin->GetPluginName());
    plugin->ExitPlugin();
}

TEST(PluginTest, WithoutHostNothingHappens)
{
    CSmsUtilPlugin* plugin = NewPlugin();
    plugin->InitPlugin();
    EXPECT_STREQ("SMSUTIL plugin", plugin->GetPluginName());
    IXAMessage account(4);
    plugin->OnIxaMessage(&account);
    EXPECT_TRUE(plugin->m_strUserId.IsEmpty());
}

TEST(PluginTest, SessionBeforeAccountGoesOnlineOnTheAccount)
{
    CTestHost host;
    host.myNumber = 4000000000u;
    host.dataDir = "C:\\data\\";
    HostScope scope(&host);
    CSmsUtilPlugin* plugin = NewPlugin();
    plugin->InitPlugin();
    host.calls.clear();

    host.Send(plugin, 19);
    EXPECT_STREQ("session-1", plugin->m_strSessionId);
    EXPECT_EQ(1, plugin->m_bHaveSession);
    EXPECT_EQ(0, plugin->m_bOnline) << "no account yet";

    host.Send(plugin, 4);
    EXPECT_STREQ("4000000000", plugin->m_strUserId) << "formatted with %u";
    EXPECT_EQ(1, plugin->m_bOnline);
    const std::vector<std::string> expected = {"GetSessionId", "GetMyInfo", "GetUserDataDir 4000000000"};
    EXPECT_EQ(expected, host.calls);

    host.Send(plugin, 5);
    EXPECT_EQ(0, plugin->m_bOnline);
    EXPECT_EQ(0, plugin->m_bHaveSession);
    EXPECT_STREQ("4000000000", plugin->m_strUserId) << "the account survives logout";

    host.Send(plugin, 4);
    EXPECT_EQ(0, plugin->m_bOnline) << "no session since the logout";
    host.Send(plugin, 19);
    EXPECT_EQ(1, plugin->m_bOnline);
    plugin->ExitPlugin();
}

TEST(PluginTest, AbsentSessionIsEmptyAndOtherMessagesAreIgnored)
{
    CTestHost host;
    host.session = nullptr;
    HostScope scope(&host);
    CSmsUtilPlugin* plugin = NewPlugin();
    plugin->InitPlugin();
    host.calls.clear();
    for (int type : {18, 17, 7, 6, 10, 99}) host.Send(plugin, type);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(0, plugin->m_bHaveSession);
    host.Send(plugin, 19);
    EXPECT_TRUE(plugin->m_strSessionId.IsEmpty());
    EXPECT_EQ(1, plugin->m_bHaveSession);
    plugin->ExitPlugin();
}

TEST(PluginTest, EmptySlotsAndHostDefaults)
{
    CSmsUtilPlugin* plugin = NewPlugin();
    IxaOptionDlg* page = reinterpret_cast<IxaOptionDlg*>(0x1234);
    plugin->GetIxaOptionDlg(&page);
    EXPECT_EQ(reinterpret_cast<IxaOptionDlg*>(0x1234), page) << "slot 24 leaves its argument untouched";
    EXPECT_EQ(nullptr, plugin->InvokeFromPlugin(GetDesktopWindow()));
    EXPECT_EQ(nullptr, plugin->InvokeFromPlugin(nullptr));
    CString result("unchanged");
    EXPECT_EQ(0, plugin->InvokeFromCommand("x", result));
    EXPECT_EQ(0, plugin->DoCommand("x"));
    EXPECT_EQ(0, plugin->DoCommand("x", 1, 2, nullptr));
    plugin->SetVSValue(42);
    EXPECT_EQ(42, plugin->GetVsValue());
    EXPECT_EQ(GetModuleHandleA("smsutil.dll"), plugin->GetModuleHandleA())
        << "the plugin's module is the resource source for its dialogs";
}

TEST(PluginTest, EachGetPluginMakesANewObject)
{
    CSmsUtilPlugin* first = NewPlugin();
    CSmsUtilPlugin* second = NewPlugin();
    EXPECT_NE(first, second);
    EXPECT_EQ(1u, [] {
        unsigned count = 0;
        for (HWND w = nullptr; (w = FindWindowExA(GetDesktopWindow(), w, nullptr, "timer"));) {
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == GetCurrentProcessId()) ++count;
        }
        return count;
    }()) << "one service window per process";
}
