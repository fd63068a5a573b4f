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

} // namespace

TEST_F(PluginTest, InitPluginRegistersWithTheHostInOrder)
{
    const std::vector<std::string> expected = {
        "GetConfigInt LANGUAGEID",    "GetConfigString LANGUAGEDIR .\\language",
        "AddPluginButton 0 0xFF00FF", "AddFriendFunBtn 1",
        "RegisterMessage 18",         "RegisterMessage 17",
        "RegisterMessage 4",          "RegisterMessage 5",
        "RegisterMessage 19",         "RegisterMessage 7",
        "RegisterMessage 6",          "RegisterMessage 10",
    };
    EXPECT_EQ(expected, host.calls);
    EXPECT_EQ("发送短信", host.buttonCaption);
    EXPECT_EQ(2, host.imageCount);
    ASSERT_EQ(2u, host.pictures.size());
    EXPECT_EQ(3, host.pictures[1].value);
    EXPECT_EQ(1, host.pictures[1].index);
}

TEST_F(PluginTest, SessionBeforeAccountGoesOnlineOnTheAccount)
{
    host.myNumber = 4000000000u;
    host.calls.clear();
    host.Send(plugin, IXA_MESSAGE_SESSION);
    EXPECT_STREQ("session-1", plugin->GetSessionId());
    EXPECT_FALSE(plugin->IsOnline()) << "no account yet";
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_STREQ("4000000000", plugin->GetUserId()) << "formatted with %u";
    EXPECT_TRUE(plugin->IsOnline());
    for (int ignored : {18, 17, 7, 6, 10, 99}) host.Send(plugin, ignored);
    EXPECT_EQ((std::vector<std::string>{"GetSessionId", "GetMyInfo", "GetUserDataDir 4000000000"}), host.calls);
    host.Send(plugin, IXA_MESSAGE_OFFLINE);
    EXPECT_FALSE(plugin->HaveSession());
    EXPECT_STREQ("4000000000", plugin->GetUserId()) << "the account survives logout";
    host.Send(plugin, IXA_MESSAGE_ACCOUNT);
    EXPECT_FALSE(plugin->IsOnline()) << "no session since the logout";
}
