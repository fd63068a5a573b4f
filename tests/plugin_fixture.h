// What the tests of the plugin object share: a fixture that gives each test
// a new plugin object in a new in-process host, and the switch's answer to
// the probe adapter that the test made last.
#pragma once
#include "probe_adapter.h"
#include "temp_dir.h"
#include "test_host.h"

#include <gtest/gtest.h>

// The switch reports the newest adapter's call as answered.
inline void ConnectLastAdapter()
{
    ASSERT_NE(nullptr, g_adapters.last);
    g_adapters.last->OnCallResult(0, 0, 0, 0, 0, 0, 0);
}

// Each test gets a new plugin object in a new test host, initialised as the
// host does, with its own data directory; after the test the host logs out
// and exits the plugin, so that no test sees what another left behind.
template <typename Plugin>
class PluginFixture : public ::testing::Test {
protected:
    using Maker = IxaPlugin* (*)();
    explicit PluginFixture(Maker make) : m_make(make) {}

    void SetUp() override
    {
        host.dataDir = m_dataDir.Path();
        IxaBase::SetIxaInstance(&host);
        plugin = static_cast<Plugin*>(m_make());
        ASSERT_NE(nullptr, plugin);
        plugin->InitPlugin();
    }
    void TearDown() override
    {
        if (plugin) {
            host.Send(plugin, IXA_MESSAGE_OFFLINE);
            plugin->ExitPlugin();
        }
        IxaBase::SetIxaInstance(nullptr);
        delete plugin;
    }
    void LogIn() { host.LogIn(plugin); }

    CTestHost host;
    Plugin* plugin = nullptr;

private:
    Maker m_make;
    TempDir m_dataDir;
};
