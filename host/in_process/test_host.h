// A host for programs that hold the module's code in their own process,
// tests and benchmarks: the host application object here, the switch played
// by probe adapters, a user's keys and clicks, a data directory of its own.
// The host object has configurable answers, and logs every call the plugin
// makes, one line each.
#pragma once
#include "ixa_base.h"
#include "sms_util_plugin.h"

#include <map>
#include <string>
#include <vector>

struct TestContact {
    std::string name;   // GBK
    int stranger = 0;
    int level = -1;     // -1: getFriendBusiLevel fails
};

class CTestHost : public IxaBase {
public:
    BOOL GetConfigString(const char* key, CString& value) override;
    BOOL GetConfigInt(const char* key, int& value) override;
    BOOL GetContact(unsigned int number, IxaContact& contact) override;
    BOOL GetUserDataDir(CString& directory, unsigned int number) override;
    bool getFriendBusiLevel(unsigned int number, int service, unsigned short& level) override;
    BOOL RegisterMessage(int type, IxaPlugin* plugin) override;
    BOOL AddPluginButton(const char* caption, IxaPlugin* plugin, int reserved, HBITMAP bitmap,
                         COLORREF mask) override;
    BOOL AddFriendFunBtn(int kind, IxaPlugin* plugin, HIMAGELIST images, const PicInfoList& pictures) override;
    bool getMyBusiLevel(int service, unsigned short& level) override;
    BOOL GetMyInfo(IxaContact& contact) override;
    const char* GetSessionId() override;

    // Sends host message `type` to the plugin, as the host does.
    void Send(IxaPlugin* plugin, int type);
    // The session, then the account, as the client logs in.
    void LogIn(IxaPlugin* plugin);

    unsigned int myNumber = 10001;
    std::string myName = "me";
    int myLevel = 2;               // -1: getMyBusiLevel fails
    std::string dataDir;
    const char* session = "session-1";
    int languageId = 0;            // "LANGUAGEID"; 0: the host has no answer
    std::map<unsigned int, TestContact> contacts;

    std::vector<std::string> calls;
    std::vector<int> subscriptions;
    std::string buttonCaption;
    int buttonWidth = 0, buttonHeight = 0, buttonBits = 0;
    int imageCount = -1;
    std::vector<PicInfo> pictures;
};

// Installs the test host for a scope.
class HostScope {
public:
    explicit HostScope(IxaBase* host) { IxaBase::SetIxaInstance(host); }
    ~HostScope() { IxaBase::SetIxaInstance(nullptr); }
};

// The module's plugin object in the test host for a scope, as a client keeps
// it: made and initialised, then logged off, exited and deleted. `plugin` is
// null when getPlugin made none.
class PluginScope {
public:
    explicit PluginScope(CTestHost& host)
        : m_host(host), m_scope(&host), plugin(static_cast<CSmsUtilPlugin*>(getPlugin()))
    {
        if (plugin) plugin->InitPlugin();
    }
    ~PluginScope()
    {
        if (!plugin) return;
        m_host.Send(plugin, IXA_MESSAGE_OFFLINE);
        plugin->ExitPlugin();
        delete plugin;
    }
    PluginScope(const PluginScope&) = delete;
    PluginScope& operator=(const PluginScope&) = delete;

private:
    CTestHost& m_host;
    HostScope m_scope;

public:
    CSmsUtilPlugin* const plugin;
};
