// A fresh directory under the system's temporary folder, removed with its
// files at the end of the scope. The path ends in a backslash, as a host's
// data directory does.
#pragma once
#include <windows.h>

#include <string>

class TempDir {
public:
    TempDir()
    {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        // Wine hands out process ids again, so a name an earlier run left
        // behind is passed over: the directory is always a new one.
        static int counter = 0;
        do {
            m_path = std::string(base) + "smsutil-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(++counter) + "\\";
        } while (!CreateDirectoryA(m_path.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~TempDir()
    {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((m_path + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((m_path + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(m_path.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
