#include "test_host.h"

#include <cstdio>
#include <cstring>

BOOL CTestHost::GetConfigString(const char* key, CString& value)
{
    calls.push_back(std::string("GetConfigString ") + key + " " + (const char*)value);
    return FALSE;
}

BOOL CTestHost::GetConfigInt(const char* key, int& value)
{
    calls.push_back(std::string("GetConfigInt ") + key);
    if (!languageId || strcmp(key, "LANGUAGEID") != 0) return FALSE;
    value = languageId;
    return TRUE;
}

BOOL CTestHost::GetContact(unsigned int number, IxaContact& contact)
{
    calls.push_back("GetContact " + std::to_string(number));
    auto it = contacts.find(number);
    if (it == contacts.end()) return FALSE;
    contact.m_nUin = number;
    contact.m_strName = it->second.name.c_str();
    contact.m_bStranger = it->second.stranger;
    return TRUE;
}

BOOL CTestHost::GetUserDataDir(CString& directory, unsigned int number)
{
    calls.push_back("GetUserDataDir " + std::to_string(number));
    directory = dataDir.c_str();
    return TRUE;
}

bool CTestHost::getFriendBusiLevel(unsigned int number, int service, unsigned short& level)
{
    calls.push_back("getFriendBusiLevel " + std::to_string(number) + " " + std::to_string(service));
    auto it = contacts.find(number);
    if (it == contacts.end() || it->second.level < 0) return false;
    level = (unsigned short)it->second.level;
    return true;
}

BOOL CTestHost::RegisterMessage(int type, IxaPlugin*)
{
    calls.push_back("RegisterMessage " + std::to_string(type));
    subscriptions.push_back(type);
    return TRUE;
}

BOOL CTestHost::AddPluginButton(const char* caption, IxaPlugin*, int reserved, HBITMAP bitmap, COLORREF mask)
{
    char line[128];
    snprintf(line, sizeof line, "AddPluginButton %d 0x%06lX", reserved, (unsigned long)mask);
    calls.push_back(line);
    buttonCaption = caption;
    BITMAP info = {};
    if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
        buttonWidth = info.bmWidth;
        buttonHeight = info.bmHeight;
        buttonBits = info.bmBitsPixel;
    }
    return TRUE;
}

BOOL CTestHost::AddFriendFunBtn(int kind, IxaPlugin*, HIMAGELIST images, const PicInfoList& list)
{
    calls.push_back("AddFriendFunBtn " + std::to_string(kind));
    imageCount = images ? ImageList_GetImageCount(images) : -1;
    pictures.assign(list.items, list.items + list.count);
    return TRUE;
}

bool CTestHost::getMyBusiLevel(int service, unsigned short& level)
{
    calls.push_back("getMyBusiLevel " + std::to_string(service));
    if (myLevel < 0) return false;
    level = (unsigned short)myLevel;
    return true;
}

BOOL CTestHost::GetMyInfo(IxaContact& contact)
{
    calls.push_back("GetMyInfo");
    contact.m_nUin = myNumber;
    contact.m_strName = myName.c_str();
    return TRUE;
}

const char* CTestHost::GetSessionId()
{
    calls.push_back("GetSessionId");
    return session;
}

void CTestHost::Send(IxaPlugin* plugin, int type)
{
    IXAMessage message(type);
    plugin->OnIxaMessage(&message);
}

void CTestHost::LogIn(IxaPlugin* plugin)
{
    Send(plugin, IXA_MESSAGE_SESSION);
    Send(plugin, IXA_MESSAGE_ACCOUNT);
}
