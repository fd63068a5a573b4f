#include "host_app.h"

#include <algorithm>
#include <cstdio>

std::string ToUtf8(const char* text)
{
    const int wide = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (wide <= 0) return std::string();
    std::wstring buffer(wide, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &buffer[0], wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(bytes > 0 ? bytes - 1 : 0);
    return out;
}

CString FromUtf8(const std::string& text)
{
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (wide <= 0) return CString();
    std::wstring buffer(wide, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &buffer[0], wide);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, buffer.c_str(), -1, nullptr, 0, nullptr, nullptr);
    CString out;
    char* data = out.GetBufferSetLength(bytes);
    WideCharToMultiByte(CP_ACP, 0, buffer.c_str(), -1, data, bytes, nullptr, nullptr);
    out.ReleaseBuffer();
    return out;
}

CHostApp::CHostApp(const AccountDirectory& directory, uint32_t account, const CString& dataDir, int languageId)
    : m_directory(directory), m_account(account), m_languageId(languageId), m_dataDir(dataDir)
{
    m_session.Format("session-%u-%lu", account, (unsigned long)GetTickCount());
}

BOOL CHostApp::GetConfigString(const char*, CString&) { return FALSE; }
BOOL CHostApp::GetConfigInt(const char* key, int& value)
{
    if (strcmp(key, "LANGUAGEID") != 0) return FALSE;
    value = m_languageId;
    return TRUE;
}

void CHostApp::FillContact(uint32_t number, IxaContact& contact) const
{
    const DirectoryAccount* entry = m_directory.Find(number);
    contact.m_nUin = number;
    contact.m_strName = entry ? FromUtf8(entry->name) : CString();
    if (contact.m_strName.IsEmpty()) contact.m_strName.Format("%u", number);
    contact.m_strMobile = entry ? entry->phone.c_str() : "";
}

BOOL CHostApp::GetContact(unsigned int number, IxaContact& contact)
{
    const DirectoryAccount* me = m_directory.Find(m_account);
    contact = IxaContact();
    if (!me) return FALSE;
    const bool isFriend = std::count(me->friends.begin(), me->friends.end(), number) > 0;
    const bool isStranger = std::count(me->strangers.begin(), me->strangers.end(), number) > 0;
    if (!isFriend && !isStranger) return FALSE;
    FillContact(number, contact);
    contact.m_bStranger = isFriend ? 0 : 1;
    return TRUE;
}

BOOL CHostApp::GetUserDataDir(CString& directory, unsigned int number)
{
    if (number != m_account) return FALSE;
    directory = m_dataDir;
    return TRUE;
}

bool CHostApp::getFriendBusiLevel(unsigned int number, int service, unsigned short& level)
{
    const DirectoryAccount* entry = m_directory.Find(number);
    if (service != 1 || !entry) return false;
    level = static_cast<unsigned short>(entry->level);
    return true;
}

BOOL CHostApp::RegisterMessage(int type, IxaPlugin* plugin)
{
    m_subscriptions.emplace_back(type, plugin);
    return TRUE;
}

BOOL CHostApp::AddPluginButton(const char* caption, IxaPlugin* plugin, int, HBITMAP bitmap, COLORREF mask)
{
    m_buttonCaption = caption;
    BITMAP info = {};
    if (bitmap) GetObjectA(bitmap, sizeof info, &info);
    char line[256];
    snprintf(line, sizeof line, "plugin button: \"%s\", bitmap %ldx%ld, %d bits, mask 0x%06lX, plugin \"%s\"",
             ToUtf8(caption).c_str(), info.bmWidth, info.bmHeight, info.bmBitsPixel, (unsigned long)mask,
             ToUtf8(plugin->GetPluginName()).c_str());
    m_registration.push_back(line);
    return TRUE;
}

BOOL CHostApp::AddFriendFunBtn(int kind, IxaPlugin*, HIMAGELIST images, const PicInfoList& pictures)
{
    std::string line = "friend function button " + std::to_string(kind) + ": " +
                       std::to_string(images ? ImageList_GetImageCount(images) : 0) + " images;";
    for (int i = 0; i < pictures.count; ++i)
        line += " level " + std::to_string(pictures.items[i].value) + " shows image " +
                std::to_string(pictures.items[i].index) + (i + 1 < pictures.count ? "," : "");
    m_registration.push_back(line);
    return TRUE;
}

bool CHostApp::getMyBusiLevel(int service, unsigned short& level)
{
    const DirectoryAccount* me = m_directory.Find(m_account);
    if (service != 1 || !me) return false;
    level = static_cast<unsigned short>(me->level);
    return true;
}

BOOL CHostApp::GetMyInfo(IxaContact& contact)
{
    contact = IxaContact();
    FillContact(m_account, contact);
    return TRUE;
}

const char* CHostApp::GetSessionId() { return m_session; }

void CHostApp::Broadcast(int type)
{
    IXAMessage message(type);
    for (const auto& subscription : m_subscriptions)
        if (subscription.first == type) subscription.second->OnIxaMessage(&message);
}

std::vector<std::string> CHostApp::Registration() const
{
    std::vector<std::string> lines = m_registration;
    std::string messages = "host messages:";
    for (const auto& subscription : m_subscriptions) messages += " " + std::to_string(subscription.first);
    lines.push_back(messages);
    return lines;
}
