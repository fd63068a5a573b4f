// A message store in a fresh directory, for account 10001, its contents read
// back through the store's own operations, and its file's bytes.
#pragma once
#include "store/message_store.h"
#include "store/sms_record.h"
#include "temp_dir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

inline std::string ReadBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        AccountDataDir = m_dir.Path().c_str();
        CurrentAccountId = "10001";
    }
    void TearDown() override
    {
        CMessageStore::SetDbCreate(nullptr);
        AccountDataDir.Empty();
        CurrentAccountId.Empty();
    }
    std::string FilePath() const { return m_dir.Path() + "smsutilmsg.db"; }

    // The texts of the newest `maximum` history records of `peer` (0: all),
    // oldest first; `found` gets what ListHistory said.
    static std::vector<std::string> HistoryTexts(const char* peer, int maximum = 0, bool* found = nullptr)
    {
        std::list<CSmsRecord*> records;
        const bool result = CMessageStore::ListHistory(peer, records, maximum);
        if (found) *found = result;
        std::vector<std::string> texts;
        for (CSmsRecord* record : records) {
            texts.push_back(static_cast<const char*>(record->text));
            delete record;
        }
        return texts;
    }
    // Every unread text of `peer`, taken from the queue oldest first.
    static std::vector<std::string> TakeUnread(const char* peer)
    {
        std::vector<std::string> texts;
        CSmsRecord record;
        int more = 0;
        while (CMessageStore::TakeNextUnread(peer, record, more))
            texts.push_back(static_cast<const char*>(record.text));
        return texts;
    }

    TempDir m_dir;
};
