// The real smsutil.dll in a test host that records every call the plugin
// makes: what the host sees of the plugin through its slots.
#include "sms_util_plugin.h"
#include "plugin_fixture.h"

#include <gtest/gtest.h>

namespace {

IxaPlugin* LoadedGetPlugin()
{
    static HMODULE module = LoadLibraryA("smsutil.dll");
    static auto getPlugin = reinterpret_cast<IxaPlugin* (*)()>(GetProcAddress(module, "getPlugin"));
    return getPlugin ? getPlugin() : nullptr;
}

// The plugin's fields are read through its declared layout; no code of the
// module is called except through the host's slots.
class PluginTest : public PluginFixture<CSmsUtilPlugin> {
protected:
    PluginTest() : PluginFixture(LoadedGetPlugin) {}
};

// The same without a host: nothing may be asked of one.
class PluginWithoutHostTest : public ::testing::Test {
protected:
    void SetUp() override { plugin = static_cast<CSmsUtilPlugin*>(LoadedGetPlugin()); }
    void TearDown() override
    {
        plugin->ExitPlugin();
        delete plugin;
    }
    CSmsUtilPlugin* plugin = nullptr;
};

unsigned ServiceWindowsOfThisProcess()
{
    unsigned count = 0;
    for (HWND w = nullptr; (w = FindWindowExA(GetDesktopWindow(), w, nullptr, "timer"));) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId()) ++count;
    }
    return count;
}

} // namespace

TEST_F(PluginWithoutHostTest, ConstructionSetsTheFixedTextsAndMakesTheServiceWindow)
{
    EXPECT_STREQ("SMSUTIL plugin", plugin->GetPluginName());
    EXPECT_STREQ("CLASS_IXA_SMSUTILPLUGIN_6/4/2005/11:06:12", plugin->GetPluginClassId());
    EXPECT_STREQ("Version 1.0", plugin->GetVersion());
    EXPECT_FALSE(plugin->IsOnline());
    EXPECT_FALSE(plugin->HaveSession());
    EXPECT_TRUE(plugin->GetUserId().IsEmpty());
    EXPECT_EQ(1u, ServiceWindowsOfThisProcess()) << "the constructor made the hidden service window";
}

TEST_F(PluginWithoutHostTest, NothingHappens)
{
    plugin->InitPlugin();
    EXPECT_STREQ("SMSUTIL plugin", plugin->GetPluginName());
    IXAMessage account(IXA_MESSAGE_ACCOUNT);
    plugin->OnIxaMessage(&account);
    EXPECT_TRUE(plugin->GetUserId().IsEmpty());
}

TEST_F(PluginTest, InitPluginRegistersWithTheHostInOrder)
{
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
}

TEST_F(PluginTest, SessionBeforeAccountGoesOnlineOnTheAccount)
{
    host.myNumber = 4000000000u;
    host.dataDir = "C:\\data\\";
    host.calls.clear();

    host.Send(plugin, IXA_MESSAGE_SESSION);
    EXPECT_STREQ("session-1", plugin->GetSessionId());
    EXPECT_TRUE(plugin->HaveSession());
    EXPECT_FALSE(plugin->IsOnline()) << "no account yet";

    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_STREQ("4000000000", plugin->GetUserId()) << "formatted with %u";
    EXPECT_TRUE(plugin->IsOnline());
    const std::vector<std::string> expected = {"GetSessionId", "GetMyInfo", "GetUserDataDir 4000000000"};
    EXPECT_EQ(expected, host.calls);

    host.Send(plugin, IXA_MESSAGE_OFFLINE);
    EXPECT_FALSE(plugin->IsOnline());
    EXPECT_FALSE(plugin->HaveSession());
    EXPECT_STREQ("4000000000", plugin->GetUserId()) << "the account survives logout";

    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_FALSE(plugin->IsOnline()) << "no session since the logout";
    host.Send(plugin, IXA_MESSAGE_SESSION);
    EXPECT_TRUE(plugin->IsOnline());
}

TEST_F(PluginTest, AbsentSessionIsEmptyAndOtherMessagesAreIgnored)
{
    host.session = nullptr;
    host.calls.clear();
    for (int type : {18, 17, 7, 6, 10, 99}) host.Send(plugin, type);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(plugin->HaveSession());
    host.Send(plugin, IXA_MESSAGE_SESSION);
    EXPECT_TRUE(plugin->GetSessionId().IsEmpty());
    EXPECT_TRUE(plugin->HaveSession());
}

TEST_F(PluginTest, EachGetPluginMakesANewObjectOverOneServiceWindow)
{
    CSmsUtilPlugin* second = static_cast<CSmsUtilPlugin*>(LoadedGetPlugin());
    EXPECT_NE(plugin, second);
    EXPECT_EQ(1u, ServiceWindowsOfThisProcess());
    delete second;
}
