// The client's main window: the account, the plugin's button and the friend
// list, from which the plugin's commands are picked.
#pragma once
#include "account_directory.h"
#include "host_app.h"

#include <string>
#include <vector>

class CHostWindow {
public:
    CHostWindow(CHostApp& host, const DirectoryAccount& me, const AccountDirectory& directory);
    // At (x, y) on the screen: two hosts on one desktop sit side by side.
    // The window stands before any plugin loads, as the client's does.
    bool Create(int x, int y);
    // The plugin's button, with the caption the plugin registered.
    void AddPlugin(IxaPlugin& plugin);
    HWND Handle() const { return m_window; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void FillContacts();

    CHostApp& m_host;
    IxaPlugin* m_plugin = nullptr;
    const DirectoryAccount& m_me;
    const AccountDirectory& m_directory;
    HWND m_window = nullptr;
    HWND m_contacts = nullptr;
    std::vector<uint32_t> m_numbers;
};

// What the plugin shows in this process, one line per window, in UTF-8: the
// order dialog's status and browser address, for scripts that check them.
std::vector<std::string> DescribePluginWindows();
