// A message store in a fresh directory, for account 10001, and its contents
// read back through the store's own operations.
#pragma once
#include "store/message_store.h"
#include "store/sms_record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

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
