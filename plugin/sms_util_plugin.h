// The plugin object that the host sees: its hooks in the host's slot order,
// the log-in state, and the contact-name lookup that the dialogs share.
#pragma once
#include "ixa_base.h"

class CSmsUtilPlugin : public IxaPlugin {
public:
    CSmsUtilPlugin();
    ~CSmsUtilPlugin() override;

    const char* GetPluginName() override;
    const char* GetPluginClassId() override;
    void Hook7() override;
    void InitPlugin() override;
    void ExitPlugin() override;
    void OpenOrderPage() override;
    void Hook12(int argument) override;
    void OpenSendDialog(unsigned int contact) override;
    void InvokeFromCommand(const char* command) override;
    using IxaPlugin::InvokeFromCommand;
    void Hook18(int argument) override;
    void OnIxaMessage(IXAMessage* message) override;
    void Hook23(int argument) override;
    void GetIxaOptionDlg(IxaOptionDlg** page) override;
    HWND InvokeFromPlugin(HWND window) override;

    // The display name of an account number given as decimal text; 0 (and the
    // number itself as name) when the host knows no such contact.
    int GetContactName(CString number, CString& name);
    // Starts the service unless it is ready.
    void EnsureService();

    // The logged-in account's number as decimal text; empty before the host
    // names it, and kept over a logout.
    const CString& GetUserId() const { return m_strUserId; }
    const CString& GetSessionId() const { return m_strSessionId; }
    bool HaveSession() const { return m_bHaveSession != 0; }
    // Both the account and the session are known: the service may be used.
    bool IsOnline() const { return m_bOnline != 0; }
    const CString& GetVersion() const { return m_strVersion; }

private:
    CString m_strUserId;
    CString m_strSessionId;
    int m_bHaveSession = 0;
    int m_bOnline = 0;
    CString m_strName;
    CString m_strClassId;
    CString m_strVersion;

    void OnAccountKnown(IxaBase* host);
    void OnSessionKnown(IxaBase* host);
    void GoOnline();
};

// The object that the last getPlugin made.
CSmsUtilPlugin* GetSmsUtilPlugin();

extern "C" IxaPlugin* getPlugin();
