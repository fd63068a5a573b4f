// Wide text as UTF-8, for the messages of failed expectations.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

inline std::string Narrow(const std::wstring& text)
{
    std::string out(text.size() * 4 + 1, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

// One line of UTF-8 an element.
inline std::string Joined(const std::vector<std::wstring>& lines)
{
    std::string text;
    for (const auto& line : lines) text += Narrow(line) + "\n";
    return text;
}
