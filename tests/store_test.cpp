// The message store over the real Berkeley DB through hostdata.dll.
#include "record_maker.h"
#include "store/byte_reader.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "store_fixture.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class StoreTest : public StoreFixture {
protected:
    static void QueueUnread(const char* peer, std::initializer_list<const char*> texts)
    {
        for (const char* text : texts) {
            CSmsRecord record = Record(3, peer, "t", text);
            ASSERT_TRUE(CMessageStore::AddUnread(record)) << text;
        }
    }
};

// Peer and text of each value a walk offers, sorted (key order is the
// library's), then what the walk returned.
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
    std::vector<std::string> Walk()
    {
        const bool result = CMessageStore::VisitUnread(*this);
        std::sort(seen.begin(), seen.end());
        seen.push_back(result ? "true" : "false");
        return seen;
    }
    std::vector<std::string> seen;

private:
    bool m_accept;
};

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
    CurrentAccountId = "10005";
    EXPECT_TRUE(HistoryTexts("10002").empty()) << "another account's history";
}

// The longest text a record holds is 65,534 bytes; a longer one is cut there.
TEST_F(StoreTest, TextsAreKeptUpTo65534Bytes)
{
    for (size_t length : {65534u, 70000u}) {
        CSmsRecord record = Record(1, "10002", "t", std::string(length, 'a').c_str());
        ASSERT_TRUE(CMessageStore::AddHistory(record)) << length;
    }
    EXPECT_EQ((std::vector<std::string>{std::string(65534, 'a'), std::string(65534, 'a')}), HistoryTexts("10002"));
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

    CurrentAccountId = "10005";
    EXPECT_FALSE(CMessageStore::HasUnread("10003")) << "another account's queue";
    CurrentAccountId = "10001";
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10003", record, more));
    EXPECT_EQ(0, more) << "the only value of a sender: nothing left";
}

TEST_F(StoreTest, VisitOffersEachSendersOldestOncePerWalk)
{
    EXPECT_EQ((std::vector<std::string>{"false"}), RecordingVisitor(true).Walk());
    QueueUnread("10002", {"b1"});
    QueueUnread("10003", {"c1"});
    QueueUnread("10002", {"b2"});
    const std::vector<std::string> oldest = {"10002:b1", "10003:c1", "true"};
    EXPECT_EQ(oldest, RecordingVisitor(false).Walk());
    EXPECT_EQ(oldest, RecordingVisitor(false).Walk()) << "a declined value stays";
    EXPECT_EQ(oldest, RecordingVisitor(true).Walk());
    EXPECT_EQ((std::vector<std::string>{"10002:b2", "true"}), RecordingVisitor(true).Walk());
    EXPECT_EQ((std::vector<std::string>{"false"}), RecordingVisitor(true).Walk());
}

TEST_F(StoreTest, SignatureIsReplacedAndMayBeEmpty)
{
    CString signature("untouched");
    EXPECT_FALSE(CMessageStore::LoadSignature(signature));
    EXPECT_STREQ("untouched", signature);
    for (const char* saved : {"张三", "李四", ""}) {
        EXPECT_TRUE(CMessageStore::SaveSignature(saved));
        EXPECT_TRUE(CMessageStore::LoadSignature(signature));
        EXPECT_STREQ(saved, signature);
    }
}

TEST_F(StoreTest, AnUnreadableFileIsLeftAloneAndItsChangesWaitInMemory)
{
    const std::string junk = "this is not a Berkeley DB file, and it is the user's";
    WriteBytes(FilePath(), junk);

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
    EXPECT_EQ((std::vector<std::string>{"x"}), TakeUnread("10002"));
    EXPECT_EQ(junk, ReadBytes(FilePath())) << "nothing overwrote it";
}
