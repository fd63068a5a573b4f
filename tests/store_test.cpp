// The message store over the real Berkeley DB through hostdata.dll.
#include "record_maker.h"
#include "store/byte_reader.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "store_fixture.h"

#include <windows.h>
#include <db.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <string>
#include <vector>

namespace {

class StoreTest : public StoreFixture {
protected:
    bool FileExists() const { return GetFileAttributesA(FilePath().c_str()) != INVALID_FILE_ATTRIBUTES; }
    static void QueueUnread(const char* peer, std::initializer_list<const char*> texts)
    {
        for (const char* text : texts) {
            CSmsRecord record = Record(3, peer, "t", text);
            ASSERT_TRUE(CMessageStore::AddUnread(record)) << text;
        }
    }
};

// Wraps the data module's db_create so that every handle records the mode
// DB->open is given and counts its cursor reads before the real calls run.
typedef int (*DbOpenFunction)(DB*, DB_TXN*, const char*, const char*, DBTYPE, u_int32_t, int);
DbOpenFunction g_realOpen;
std::vector<int> g_openModes;

int RecordingOpen(DB* db, DB_TXN* transaction, const char* file, const char* name, DBTYPE type, u_int32_t flags, int mode)
{
    g_openModes.push_back(mode);
    return g_realOpen(db, transaction, file, name, type, flags, mode);
}

CMessageStore::DbCreateFunction DataModuleDbCreate()
{
    return reinterpret_cast<CMessageStore::DbCreateFunction>(
        GetProcAddress(LoadLibraryA("hostdata.dll"), MAKEINTRESOURCEA(1)));
}

typedef int (*DbCursorFunction)(DB*, DB_TXN*, DBC**, u_int32_t);
typedef int (*CursorGetFunction)(DBC*, DBT*, DBT*, u_int32_t);
DbCursorFunction g_realCursor;
CursorGetFunction g_realCursorGet;
int g_cursorGets;

int CountingCursorGet(DBC* cursor, DBT* key, DBT* data, u_int32_t flags)
{
    ++g_cursorGets;
    return g_realCursorGet(cursor, key, data, flags);
}

int CountingCursor(DB* db, DB_TXN* transaction, DBC** cursor, u_int32_t flags)
{
    const int result = g_realCursor(db, transaction, cursor, flags);
    if (result == 0) {
        g_realCursorGet = (*cursor)->c_get;
        (*cursor)->c_get = CountingCursorGet;
    }
    return result;
}

int RecordingDbCreate(DB** db, DB_ENV* environment, u_int32_t flags)
{
    const int result = DataModuleDbCreate()(db, environment, flags);
    if (result == 0) {
        g_realOpen = (*db)->open;
        (*db)->open = RecordingOpen;
        g_realCursor = (*db)->cursor;
        (*db)->cursor = CountingCursor;
    }
    return result;
}

int FailingDbCreate(DB**, DB_ENV*, u_int32_t) { return ENOMEM; }

} // namespace

TEST_F(StoreTest, HistoryIsListedOldestFirstWithinTheMaximum)
{
    bool found = true;
    EXPECT_TRUE(HistoryTexts("10002", 0, &found).empty());
    EXPECT_FALSE(found);
    for (const char* text : {"one", "two", "three"}) {
        CSmsRecord record = Record(1, "10002", "t", text);
        ASSERT_TRUE(CMessageStore::AddHistory(record));
    }
    CSmsRecord other = Record(3, "10003", "t", "elsewhere");
    CMessageStore::AddHistory(other);

    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), HistoryTexts("10002", 0, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ((std::vector<std::string>{"three"}), HistoryTexts("10002", 1));
    EXPECT_EQ((std::vector<std::string>{"two", "three"}), HistoryTexts("10002", 2));
}

// The newest come first under the peer, so a walk for the newest n reads n
// values and no more, however long the history is.
TEST_F(StoreTest, HistoryReadsNoMoreValuesThanItLists)
{
    for (int n = 0; n < 150; ++n) {
        CSmsRecord record = Record(1, "10002", "t", std::to_string(n).c_str());
        ASSERT_TRUE(CMessageStore::AddHistory(record));
    }
    CMessageStore::SetDbCreate(RecordingDbCreate);
    g_cursorGets = 0;
    std::vector<std::string> texts = HistoryTexts("10002", 100);
    EXPECT_EQ(100, g_cursorGets) << "one positioning read and 99 steps";
    ASSERT_EQ(100u, texts.size());
    EXPECT_EQ("50", texts.front());
    EXPECT_EQ("149", texts.back());

    g_cursorGets = 0;
    EXPECT_EQ(150u, HistoryTexts("10002").size());
    EXPECT_EQ(151, g_cursorGets) << "no limit: every value and the step that finds no more";
}

TEST_F(StoreTest, UnreadIsTakenOldestFirstAndSaysWhetherMoreIsLeft)
{
    CSmsRecord record;
    int more = 7;
    EXPECT_FALSE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_EQ(0, more);
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));

    QueueUnread("10002", {"older", "newer", "newest"});
    QueueUnread("10003", {"another sender"});
    EXPECT_TRUE(CMessageStore::HasUnread("10002"));
    // Each take: the text it gives and whether a value of the sender is left.
    const std::pair<const char*, int> takes[] = {{"older", 1}, {"newer", 1}, {"newest", 0}};
    for (const auto& take : takes) {
        more = 7;
        ASSERT_TRUE(CMessageStore::TakeNextUnread("10002", record, more));
        EXPECT_STREQ(take.first, record.text);
        EXPECT_EQ(take.second, more) << "more after taking " << take.first;
    }
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));
    EXPECT_FALSE(CMessageStore::TakeNextUnread("10002", record, more));
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10003", record, more));
    EXPECT_EQ(0, more) << "the only value of a sender: nothing left";
}

namespace {
class RecordingVisitor : public CUnreadVisitor {
public:
    explicit RecordingVisitor(bool accept) : m_accept(accept) {}
    bool WantsUnread(int) override { return true; }
    bool HandleUnread(CByteReader& reader) override
    {
        CSmsRecord record;
        record.Load(reader);
        seen.push_back(std::string(record.peer) + ":" + std::string(record.text));
        return m_accept;
    }
    std::vector<std::string> seen;
private:
    bool m_accept;
};
} // namespace

TEST_F(StoreTest, VisitOffersEachSendersOldestOncePerWalk)
{
    RecordingVisitor empty(true);
    EXPECT_FALSE(CMessageStore::VisitUnread(empty));
    EXPECT_TRUE(empty.seen.empty());

    QueueUnread("10002", {"b1"});
    QueueUnread("10003", {"c1"});
    QueueUnread("10002", {"b2"});
    // Key order is the library's: compare the walks as sets.
    auto walk = [](bool accept) {
        RecordingVisitor visitor(accept);
        const bool result = CMessageStore::VisitUnread(visitor);
        std::sort(visitor.seen.begin(), visitor.seen.end());
        visitor.seen.push_back(result ? "true" : "false");
        return visitor.seen;
    };
    const std::vector<std::string> oldest = {"10002:b1", "10003:c1", "true"};
    EXPECT_EQ(oldest, walk(false));
    EXPECT_EQ(oldest, walk(false)) << "a declined value stays";
    EXPECT_EQ(oldest, walk(true));
    EXPECT_EQ((std::vector<std::string>{"10002:b2", "true"}), walk(true));
    EXPECT_EQ((std::vector<std::string>{"false"}), walk(true));
}

TEST_F(StoreTest, UnreadOfAnotherOwnerIsInvisibleToTheCurrentAccount)
{
    CSmsRecord record = Record(3, "10002", "t", "for 42");
    record.owner = "42";
    ASSERT_TRUE(CMessageStore::AddUnread(record));
    CurrentAccountId = "43";
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));
    int more = 0;
    EXPECT_FALSE(CMessageStore::TakeNextUnread("10002", record, more));
    RecordingVisitor visitor(true);
    EXPECT_FALSE(CMessageStore::VisitUnread(visitor));
    CurrentAccountId = "42";
    EXPECT_TRUE(CMessageStore::HasUnread("10002")) << "it went into 42umdata";
}

TEST_F(StoreTest, SignatureIsReplacedAndMayBeEmpty)
{
    CString signature("untouched");
    EXPECT_FALSE(CMessageStore::LoadSignature(signature));
    EXPECT_STREQ("untouched", signature);
    EXPECT_TRUE(CMessageStore::SaveSignature("张三"));
    EXPECT_TRUE(CMessageStore::SaveSignature("李四"));
    EXPECT_TRUE(CMessageStore::LoadSignature(signature));
    EXPECT_STREQ("李四", signature);
    EXPECT_TRUE(CMessageStore::SaveSignature(""));
    EXPECT_TRUE(CMessageStore::LoadSignature(signature));
    EXPECT_STREQ("", signature);
}

TEST_F(StoreTest, AccountsKeepSeparateDatabasesInOneFile)
{
    CSmsRecord record = Record(1, "10002", "t", "from 10001");
    CMessageStore::AddHistory(record);
    CMessageStore::SaveSignature("sig 10001");
    CurrentAccountId = "10005";
    EXPECT_TRUE(HistoryTexts("10002").empty());
    CString signature;
    EXPECT_FALSE(CMessageStore::LoadSignature(signature));
}

TEST_F(StoreTest, AnUnreadableFileIsLeftAloneAndItsChangesWaitInMemory)
{
    const std::string path = FilePath();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char junk[] = "this is not a Berkeley DB file, and it is the user's";
    DWORD written = 0;
    WriteFile(file, junk, sizeof junk, &written, nullptr);
    CloseHandle(file);

    // The changes fail, and wait in memory, where every read sees them.
    CSmsRecord record = Record(3, "10002", "t", "x");
    EXPECT_FALSE(CMessageStore::AddHistory(record));
    EXPECT_EQ(STORE_FAILED, CMessageStore::LastFailure());
    EXPECT_FALSE(CMessageStore::AddUnread(record));
    EXPECT_FALSE(CMessageStore::SaveSignature("kept"));
    EXPECT_FALSE(CMessageStore::WriteHeld());
    EXPECT_EQ((std::vector<std::string>{"x"}), HistoryTexts("10002"));
    CString signature;
    EXPECT_TRUE(CMessageStore::LoadSignature(signature));
    EXPECT_STREQ("kept", signature);
    RecordingVisitor visitor(false);
    EXPECT_TRUE(CMessageStore::VisitUnread(visitor));
    EXPECT_EQ((std::vector<std::string>{"10002:x"}), visitor.seen);
    int more = 1;
    EXPECT_TRUE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_EQ(0, more);
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));

    file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char back[sizeof junk] = {};
    DWORD read = 0;
    ReadFile(file, back, sizeof back, &read, nullptr);
    CloseHandle(file);
    EXPECT_EQ(std::string(junk, sizeof junk), std::string(back, read)) << "nothing overwrote it";
}

TEST_F(StoreTest, EveryOpenAsksForMode0600)
{
    g_openModes.clear();
    CMessageStore::SetDbCreate(RecordingDbCreate);
    CSmsRecord record = Record(3, "10002", "t", "x");
    ASSERT_TRUE(CMessageStore::AddHistory(record));
    ASSERT_TRUE(CMessageStore::AddUnread(record));
    ASSERT_TRUE(CMessageStore::SaveSignature("s"));
    EXPECT_EQ((std::vector<int>{0600, 0600, 0600}), g_openModes);
}

TEST_F(StoreTest, WithoutDbCreateNothingIsStored)
{
    CMessageStore::SetDbCreate(FailingDbCreate);
    CSmsRecord record = Record(3, "10002", "t", "x");
    EXPECT_FALSE(CMessageStore::AddHistory(record));
    EXPECT_FALSE(CMessageStore::SaveSignature("s"));
    EXPECT_FALSE(FileExists());
    CMessageStore::SetDbCreate(nullptr);
    EXPECT_TRUE(CMessageStore::AddHistory(record)) << "the data module's db_create again";
}
