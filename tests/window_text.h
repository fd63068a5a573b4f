// A window's text as the ANSI functions give it: GBK in code page 936.
#pragma once
#include <windows.h>

#include <string>

inline std::string WindowText(HWND window)
{
    std::string text(GetWindowTextLengthA(window) + 1, '\0');
    text.resize(GetWindowTextA(window, &text[0], static_cast<int>(text.size())));
    return text;
}
