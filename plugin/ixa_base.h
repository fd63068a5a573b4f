// The host application object and the records it fills, as the host's plugin
// framework (pluginbase.dll) declares them. Slot numbers are the host's.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "ixa_plugin.h"

// A contact as the host knows it. Number 0: the host has no such contact.
class PLUGINBASE_API IxaContact {
public:
    IxaContact();
    ~IxaContact();
    unsigned int m_nUin;
    CString m_strName;     // display name, the record's first text
    CString m_strMobile;
    int m_bStranger;       // non-zero: not on the user's friend list
};

// One picture of a friend function button: contacts whose service level is
// `value` show image `index` of the list given with it.
struct PicInfo {
    int value;
    int index;
};

struct PicInfoList {
    const PicInfo* items;
    int count;
};

#define IXA_RESERVED_SLOT(n) virtual void ReservedSlot##n() {}

class PLUGINBASE_API IxaBase {
public:
    // The running host, or null when there is none.
    static IxaBase* GetIxaInstance();
    // Called by the host application once it has made its object.
    static void SetIxaInstance(IxaBase* host);

    IXA_RESERVED_SLOT(0) IXA_RESERVED_SLOT(1) IXA_RESERVED_SLOT(2)
    virtual BOOL GetConfigString(const char* key, CString& value) = 0;                  // 3
    virtual BOOL GetConfigInt(const char* key, int& value) = 0;                         // 4
    IXA_RESERVED_SLOT(5) IXA_RESERVED_SLOT(6) IXA_RESERVED_SLOT(7) IXA_RESERVED_SLOT(8)
    IXA_RESERVED_SLOT(9) IXA_RESERVED_SLOT(10) IXA_RESERVED_SLOT(11) IXA_RESERVED_SLOT(12)
    IXA_RESERVED_SLOT(13) IXA_RESERVED_SLOT(14) IXA_RESERVED_SLOT(15) IXA_RESERVED_SLOT(16)
    IXA_RESERVED_SLOT(17) IXA_RESERVED_SLOT(18) IXA_RESERVED_SLOT(19) IXA_RESERVED_SLOT(20)
    IXA_RESERVED_SLOT(21) IXA_RESERVED_SLOT(22) IXA_RESERVED_SLOT(23) IXA_RESERVED_SLOT(24)
    IXA_RESERVED_SLOT(25) IXA_RESERVED_SLOT(26) IXA_RESERVED_SLOT(27) IXA_RESERVED_SLOT(28)
    virtual BOOL GetContact(unsigned int number, IxaContact& contact) = 0;               // 29
    IXA_RESERVED_SLOT(30)
    virtual BOOL GetUserDataDir(CString& directory, unsigned int number) = 0;           // 31
    virtual bool getFriendBusiLevel(unsigned int number, int service, unsigned short& level) = 0; // 32
    IXA_RESERVED_SLOT(33) IXA_RESERVED_SLOT(34) IXA_RESERVED_SLOT(35) IXA_RESERVED_SLOT(36)
    IXA_RESERVED_SLOT(37)
    virtual BOOL RegisterMessage(int type, IxaPlugin* plugin) = 0;                      // 38
    IXA_RESERVED_SLOT(39) IXA_RESERVED_SLOT(40) IXA_RESERVED_SLOT(41)
    virtual BOOL AddPluginButton(const char* caption, IxaPlugin* plugin, int reserved,
                                 HBITMAP bitmap, COLORREF mask) = 0;                    // 42
    IXA_RESERVED_SLOT(43)
    virtual BOOL AddFriendFunBtn(int kind, IxaPlugin* plugin, HIMAGELIST images,
                                 const PicInfoList& pictures) = 0;                      // 44
    IXA_RESERVED_SLOT(45) IXA_RESERVED_SLOT(46) IXA_RESERVED_SLOT(47) IXA_RESERVED_SLOT(48)
    IXA_RESERVED_SLOT(49) IXA_RESERVED_SLOT(50) IXA_RESERVED_SLOT(51)
    virtual bool getMyBusiLevel(int service, unsigned short& level) = 0;                // 52
    virtual BOOL GetMyInfo(IxaContact& contact) = 0;                                    // 53
    IXA_RESERVED_SLOT(54) IXA_RESERVED_SLOT(55) IXA_RESERVED_SLOT(56) IXA_RESERVED_SLOT(57)
    IXA_RESERVED_SLOT(58) IXA_RESERVED_SLOT(59) IXA_RESERVED_SLOT(60) IXA_RESERVED_SLOT(61)
    IXA_RESERVED_SLOT(62) IXA_RESERVED_SLOT(63) IXA_RESERVED_SLOT(64) IXA_RESERVED_SLOT(65)
    IXA_RESERVED_SLOT(66) IXA_RESERVED_SLOT(67) IXA_RESERVED_SLOT(68) IXA_RESERVED_SLOT(69)
    IXA_RESERVED_SLOT(70)
    virtual const char* GetSessionId() = 0;                                             // 71

protected:
    ~IxaBase() = default;
};

#undef IXA_RESERVED_SLOT
