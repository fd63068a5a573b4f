// The host's plugin base class, as its plugin framework (pluginbase.dll)
// declares it. The host calls the virtual operations by slot; their order is
// the host's and must not change.
#pragma once
#include <windows.h>
#include "afxstr.h"

#ifdef PLUGINBASE_BUILD
#define PLUGINBASE_API __declspec(dllexport)
#else
#define PLUGINBASE_API __declspec(dllimport)
#endif

class IxaPlugin;
class IxaOptionDlg;

// Host message types that the plugin acts on. The plugin also subscribes to
// 18, 17, 7, 6 and 10, whose meaning is the host's own; it ignores them.
enum IxaMessageType {
    IXA_MESSAGE_ACCOUNT = 4,  // the logged-in account is known: GetMyInfo
    IXA_MESSAGE_OFFLINE = 5,  // the user went offline
    IXA_MESSAGE_SESSION = 19, // the session text is known: GetSessionId
};

// A host message: a virtual table and seven 32-bit fields, the type first.
class PLUGINBASE_API IXAMessage {
public:
    explicit IXAMessage(int type = 0);
    virtual ~IXAMessage();
    int m_nType;
    int m_nParam[6];
};

class PLUGINBASE_API IxaPlugin {
public:
    IxaPlugin();

    virtual void SetMe(IxaPlugin* plugin);                                       // 0
    virtual void SetVSValue(int value);                                          // 1
    virtual int GetVsValue();                                                    // 2
    virtual ~IxaPlugin();                                                        // 3
    virtual void CheckSvriceState(const char* state);                            // 4
    virtual const char* GetPluginName();                                         // 5
    virtual const char* GetPluginClassId();                                      // 6
    virtual void Hook7();                                                        // 7
    virtual void RemoveTabView();                                                // 8
    virtual void InitPlugin();                                                   // 9
    virtual void ExitPlugin();                                                   // 10
    virtual void OpenOrderPage();                                                // 11
    virtual void Hook12(int argument);                                           // 12
    virtual void OpenSendDialog(unsigned int contact);                           // 13
    virtual int InvokeFromCommand(const char* command, CString& result);         // 14
    virtual void InvokeFromCommand(const char* command);                         // 15
    virtual int DoCommand(const char* command, unsigned long a, unsigned long b, unsigned long* c); // 16
    virtual int DoCommand(const char* command);                                  // 17
    virtual void Hook18(int argument);                                           // 18
    virtual void onRecvVsMessage(const char* data, int length);                  // 19
    virtual void onRecvAppGWMessage(unsigned char kind, unsigned short type, const char* data, int length); // 20
    virtual void OnRecvSrvAppMessage(const char* from, const char* data, int length); // 21
    virtual void OnIxaMessage(IXAMessage* message);                              // 22
    virtual void Hook23(int argument);                                           // 23
    virtual void GetIxaOptionDlg(IxaOptionDlg** page);                           // 24
    virtual HWND InvokeFromPlugin(HWND window);                                  // 25

    // The module that holds the plugin's code: its resources are the
    // plugin's dialogs and strings.
    HINSTANCE GetModuleHandleA() const;

private:
    IxaPlugin* m_pMe;
    int m_nVsValue;
};
