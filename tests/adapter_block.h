// Service texts as the module's adapters post them to the service window.
#pragma once
#include "plugin/sms_service_wnd.h"
#include "transport/sms_adapter.h"

#include <algorithm>
#include <cstring>
#include <string>

// A service text written with '|' for the transport's field separator.
inline std::string Fields(std::string text)
{
    std::replace(text.begin(), text.end(), '|', '\x02');
    return text;
}

// The block an adapter posts: the transport's two bytes, the text and its NUL,
// in a copy that the service window frees; `size` gets the block's length.
inline LPARAM AdapterBlock(const std::string& text, WPARAM& size)
{
    const std::string block = "\x01\x02" + text + '\0';
    char* copy = new char[block.size()];
    memcpy(copy, block.data(), block.size());
    size = block.size();
    return reinterpret_cast<LPARAM>(copy);
}

// Handed to the service window at once, as its queue would hand it.
inline void ReceiveBlock(const std::string& text)
{
    WPARAM size = 0;
    const LPARAM block = AdapterBlock(text, size);
    g_wndService.SendMessage(WM_SMSDATA, size, block);
}

// Posted to the service window, to wait in the queue with others.
inline void PostBlock(const std::string& text)
{
    WPARAM size = 0;
    const LPARAM block = AdapterBlock(text, size);
    ::PostMessageA(g_wndService.m_hWnd, WM_SMSDATA, size, block);
}
