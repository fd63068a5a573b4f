// The instant-messaging client stand-in: the host application object that
// the plugin sees, over an account from the account directory.
#pragma once
#include "account_directory.h"
#include "ixa_base.h"

#include <string>
#include <vector>

class CHostApp : public IxaBase {
public:
    // `languageId`: what the host answers for "LANGUAGEID", the user's language.
    CHostApp(const AccountDirectory& directory, uint32_t account, const CString& dataDir, int languageId);

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

    // Sends a host message to every plugin that subscribed to its type.
    void Broadcast(int type);
    // What the plugin registered, one line each, in UTF-8.
    std::vector<std::string> Registration() const;
    const char* PluginButtonCaption() const { return m_buttonCaption; }
    bool IsEnglish() const { return m_languageId == 1033; }

private:
    void FillContact(uint32_t number, IxaContact& contact) const;

    const AccountDirectory& m_directory;
    uint32_t m_account;
    int m_languageId;
    CString m_dataDir;
    CString m_session;
    CString m_buttonCaption;
    std::vector<std::pair<int, IxaPlugin*>> m_subscriptions;
    std::vector<std::string> m_registration;
};

// GBK text of the process's code page to UTF-8 and back.
std::string ToUtf8(const char* text);
CString FromUtf8(const std::string& text);
