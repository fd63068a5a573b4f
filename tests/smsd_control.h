// The real smsd under with_smsd.sh, stopped, killed or started again on the
// same ports at a test's request.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <string>

// Asks with_smsd.sh to "stop", "kill" or "start" smsd and waits until it
// has; false when it did not within 20 seconds.
inline bool ControlSmsd(const std::string& command)
{
    const char* directory = getenv("SMSUTIL_SMSD_CONTROL");
    if (!directory) return false;
    const std::string request = std::string(directory) + "\\" + command;
    HANDLE file = CreateFileA(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(request.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 20000) return false;
        Sleep(20);
    }
    return true;
}
