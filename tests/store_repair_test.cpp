// Checking the store's file at log-in, and saving what a damaged one holds.
#include "record_maker.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "store/store_repair.h"
#include "store_fixture.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class AcceptAll : public CUnreadVisitor {
public:
    bool WantsUnread(int) override { return true; }
    bool HandleUnread(CByteReader&) override { return true; }
};

// The page size the library chose for the file, from its first page.
size_t PageSize(const std::string& bytes)
{
    if (bytes.size() < 24) return 0;
    const unsigned char* field = reinterpret_cast<const unsigned char*>(bytes.data()) + 20;
    return field[0] | field[1] << 8 | field[2] << 16 | static_cast<size_t>(field[3]) << 24;
}

const int kLongHistory = 150; // enough for the contact's values to leave their bucket page

class StoreRepairTest : public StoreFixture {
protected:
    // A store with a signature, a long history with one contact, short ones
    // with others, and unread messages of two senders.
    static void FillStore()
    {
        ASSERT_TRUE(CMessageStore::SaveSignature("——来自张三"));
        for (int i = 0; i < kLongHistory; ++i) {
            char time[32];
            sprintf(time, "2026-12-05 10:%02d:%02d", i / 60, i % 60);
            CSmsRecord record = Record(i % 2 ? 1 : 3, "20001", time, ("long " + std::to_string(i)).c_str());
            ASSERT_TRUE(CMessageStore::AddHistory(record));
        }
        for (const char* peer : {"20002", "20003", "20004"})
            for (int i = 0; i < 5; ++i) {
                CSmsRecord record =
                    Record(3, peer, "2026-12-05 11:00:00", (std::string(peer) + " " + std::to_string(i)).c_str());
                ASSERT_TRUE(CMessageStore::AddHistory(record));
            }
        for (const char* peer : {"20002", "20003"})
            for (int i = 0; i < 3; ++i) {
                CSmsRecord record = Record(3, peer, "2026-12-05 12:00:00", ("unread " + std::to_string(i)).c_str());
                ASSERT_TRUE(CMessageStore::AddUnread(record));
            }
    }
};

} // namespace

// Losing the bucket page of a contact whose values had moved to pages of
// their own leaves those pages without their key: each value names its
// peer, so the contact gets them back, in order. The new file has the rest
// as well; the damaged one is kept under a name of its own, and a second
// damaged file in the same second goes beside it.
TEST_F(StoreRepairTest, ADamagedFileIsKeptAndWhatItHoldsCarriedOver)
{
    EXPECT_EQ(CStoreRepair::LOGIN_NOTHING, CStoreRepair::CheckAccountFile());
    FillStore();
    EXPECT_EQ(CStoreRepair::LOGIN_GOOD, CStoreRepair::CheckAccountFile());
    std::string bytes = ReadBytes(FilePath());
    const size_t pageSize = PageSize(bytes);
    ASSERT_GE(pageSize, 512u);
    int zeroed = 0;
    for (size_t page = 1; page * pageSize < bytes.size(); ++page) {
        const std::string content = bytes.substr(page * pageSize, pageSize);
        const unsigned char type = static_cast<unsigned char>(content[25]);
        // A history bucket page (sorted or not) that holds the contact's key.
        if ((type == 13 || type == 2) && content.find("20001") != std::string::npos &&
            content.find("unread") == std::string::npos) {
            std::fill(bytes.begin() + page * pageSize, bytes.begin() + (page + 1) * pageSize, '\0');
            ++zeroed;
        }
    }
    ASSERT_EQ(1, zeroed);
    WriteBytes(FilePath(), bytes);

    CString movedTo;
    CStoreRepair::Counts counts;
    ASSERT_EQ(CStoreRepair::LOGIN_REPAIRED, CStoreRepair::CheckAccountFile(&movedTo, &counts));
    EXPECT_EQ(CStoreRepair::FILE_GOOD, CStoreRepair::Verify(FilePath().c_str()));
    EXPECT_EQ(bytes, ReadBytes((const char*)movedTo)) << "the damaged file, as it was";
    EXPECT_EQ(FilePath() + ".damaged-", std::string((const char*)movedTo).substr(0, FilePath().size() + 9));

    EXPECT_EQ(kLongHistory, counts.orphans);
    const std::vector<std::string> texts = HistoryTexts("20001");
    ASSERT_EQ(size_t(kLongHistory), texts.size());
    for (int i = 0; i < kLongHistory; ++i) EXPECT_EQ("long " + std::to_string(i), texts[i]);
    EXPECT_EQ(6, counts.unread);
    EXPECT_EQ((std::vector<std::string>{"unread 0", "unread 1", "unread 2"}), TakeUnread("20002"));
    CString signature;
    EXPECT_TRUE(CMessageStore::LoadSignature(signature));
    EXPECT_STREQ("——来自张三", signature);

    WriteBytes(FilePath(), "not a database");
    CString second;
    ASSERT_EQ(CStoreRepair::LOGIN_MOVED, CStoreRepair::CheckAccountFile(&second));
    EXPECT_NE(movedTo, second);
    EXPECT_EQ(bytes, ReadBytes((const char*)movedTo));
    EXPECT_EQ("not a database", ReadBytes((const char*)second));
}

// Files damaged in the ways disks and programs damage them, from one real
// store file and a seeded generator: each log-in keeps the damaged file, and
// every operation afterwards either fails or works.
TEST_F(StoreRepairTest, DamagedFiles)
{
    FillStore();
    const std::string original = ReadBytes(FilePath());
    const size_t pageSize = PageSize(original);
    ASSERT_GE(pageSize, 512u);
    const unsigned seed = 12;
    std::mt19937 random(seed);
    auto below = [&random](size_t limit) { return std::uniform_int_distribution<size_t>(0, limit - 1)(random); };
    static const char* const kinds[] = {"truncated",      "pages zeroed", "bytes flipped",
                                        "not a database", "empty",        "directory"};
    std::map<int, int> outcomes;
    int worked = 0;
    const int files = 60;
    for (int i = 0; i < files && !HasFailure(); ++i) {
        const int kind = i % 6;
        std::string bytes = original;
        if (kind == 0) bytes.resize(below(bytes.size()));
        for (size_t n = kind == 1 ? 1 + below(3) : 0; n > 0; --n) {
            const size_t page = below(bytes.size() / pageSize);
            std::fill(bytes.begin() + page * pageSize, bytes.begin() + (page + 1) * pageSize, '\0');
        }
        for (size_t n = kind == 2 ? 1 + below(16) : 0; n > 0; --n) bytes[below(bytes.size())] ^= char(1 + below(255));
        if (kind == 3) {
            bytes.resize(1 + below(20000));
            for (char& c : bytes) c = static_cast<char>(below(256));
        }
        if (kind == 4) bytes.clear();
        TempDir dir;
        AccountDataDir = dir.Path().c_str();
        const std::string path = dir.Path() + "smsutilmsg.db";
        if (kind == 5)
            CreateDirectoryA(path.c_str(), nullptr);
        else
            WriteBytes(path, bytes);

        SCOPED_TRACE("file " + std::to_string(i) + " (" + kinds[kind] + ", seed " + std::to_string(seed) + ")");
        CString movedTo;
        const CStoreRepair::Outcome outcome = CStoreRepair::CheckAccountFile(&movedTo);
        ++outcomes[outcome];
        if (outcome == CStoreRepair::LOGIN_GOOD) {
            EXPECT_EQ(bytes, ReadBytes(path)) << "a file that verifies stays";
        } else {
            ASSERT_TRUE(outcome == CStoreRepair::LOGIN_REPAIRED || outcome == CStoreRepair::LOGIN_MOVED) << outcome;
            if (kind == 5)
                EXPECT_TRUE(IsDirectory((const char*)movedTo));
            else
                EXPECT_EQ(bytes, ReadBytes((const char*)movedTo)) << "the damaged file is kept";
            EXPECT_NE(CStoreRepair::FILE_DAMAGED, CStoreRepair::Verify(path.c_str()));
        }

        // Each operation either says it failed or did what it says.
        bool wrote = false;
        CString signature;
        if (CMessageStore::SaveSignature("新签名")) {
            wrote = true;
            EXPECT_TRUE(CMessageStore::LoadSignature(signature));
            EXPECT_STREQ("新签名", signature);
        }
        CSmsRecord added = Record(1, "20001", "2026-12-06 09:00:00", "after the damage");
        if (CMessageStore::AddHistory(added)) {
            wrote = true;
            EXPECT_EQ((std::vector<std::string>{"after the damage"}), HistoryTexts("20001", 1));
        }
        CSmsRecord unread = Record(3, "29999", "2026-12-06 09:00:00", "unread after the damage");
        if (CMessageStore::AddUnread(unread)) {
            wrote = true;
            EXPECT_EQ((std::vector<std::string>{"unread after the damage"}), TakeUnread("29999"));
        }
        HistoryTexts("20002");
        AcceptAll visitor;
        CMessageStore::VisitUnread(visitor);
        if (wrote) {
            ++worked;
            EXPECT_EQ(CStoreRepair::FILE_GOOD, CStoreRepair::Verify(path.c_str()));
        }
        if (kind == 5) RemoveDirectoryA((const char*)movedTo);
    }
    AccountDataDir = m_dir.Path().c_str();
    printf("%d files: good %d, repaired %d, moved aside %d; %d took writes afterwards\n", files,
           outcomes[CStoreRepair::LOGIN_GOOD], outcomes[CStoreRepair::LOGIN_REPAIRED],
           outcomes[CStoreRepair::LOGIN_MOVED], worked);
    EXPECT_GT(worked, files * 9 / 10) << "the store works again after most damage";
}
