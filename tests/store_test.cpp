// The message store over the real Berkeley DB through hostdata.dll, and the
// record codec it stores with.
#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <list>
#include <memory>

namespace {

std::string Bytes(const CByteWriter& writer)
{
    return std::string(reinterpret_cast<const char*>(writer.Data()), writer.Length());
}

CSmsRecord Record(BYTE kind, const char* peer, const char* time, const char* text)
{
    CSmsRecord record;
    record.kind = kind;
    record.peer = peer;
    record.time = time;
    record.text = text;
    return record;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AccountDataDir = m_dir.Path().c_str();
        CurrentAccountId = "10001";
    }
    void TearDown() override
    {
        AccountDataDir.Empty();
        CurrentAccountId.Empty();
    }
    bool FileExists() const
    {
        return GetFileAttributesA((m_dir.Path() + "smsutilmsg.db").c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::list<CSmsRecord*> History(const char* peer, int maximum, bool* found = nullptr)
    {
        std::list<CSmsRecord*> records;
        const bool result = CMessageStore::ListHistory(peer, records, maximum);
        if (found) *found = result;
        return records;
    }
    static std::vector<std::string> Texts(std::list<CSmsRecord*>& records)
    {
        std::vector<std::string> texts;
        for (CSmsRecord* record : records) {
            texts.push_back((const char*)record->text);
            delete record;
        }
        records.clear();
        return texts;
    }
    TempDir m_dir;
};

} // namespace

TEST(RecordCodecTest, NewRecordAndTheThirtySixByteExample)
{
    CSmsRecord fresh;
    CByteWriter empty(4096);
    fresh.Store(empty);
    EXPECT_EQ(std::string("\xFF\x01\x00\x00\x01\x00\x00\x01\x00\x00", 10), Bytes(empty));

    CSmsRecord record = Record(3, "10001", "2006-05-01 08:30:00", "hi");
    CByteWriter writer(4096);
    record.Store(writer);
    const std::string expected = std::string("\x03\x06\x00" "10001", 8) + '\0' + std::string("\x14\x00", 2) +
                                 "2006-05-01 08:30:00" + '\0' + std::string("\x03\x00", 2) + "hi" + '\0';
    ASSERT_EQ(36u, expected.size());
    EXPECT_EQ(expected, Bytes(writer));
}

TEST(RecordCodecTest, DamagedValuesDecodeToEmptyFields)
{
    CSmsRecord record = Record(1, "x", "y", "z");
    CByteReader nothing(nullptr, 0);
    record.Load(nothing);
    EXPECT_EQ(0, record.kind);
    EXPECT_STREQ("", record.peer);
    EXPECT_STREQ("", record.time);
    EXPECT_STREQ("", record.text);

    // The first length runs past the end: peer is empty and the time's length
    // is read from the two bytes right after it.
    const std::string damaged = std::string("\x03\x50\x00\x03\x00", 5) + "ok" + '\0';
    CByteReader reader(damaged.data(), (int)damaged.size());
    record.Load(reader);
    EXPECT_EQ(3, record.kind);
    EXPECT_STREQ("", record.peer);
    EXPECT_STREQ("ok", record.time);
    EXPECT_STREQ("", record.text);

    // A count whose last byte is not NUL does not check out.
    const std::string noNul = std::string("\x02\x02\x00", 3) + "ab";
    CByteReader bad(noNul.data(), (int)noNul.size());
    record.Load(bad);
    EXPECT_EQ(2, record.kind);
    EXPECT_STREQ("", record.peer);
}

TEST(RecordCodecTest, LongestStringRoundTripsAndOwnerIsNotStored)
{
    std::string longest(65534, 'a');
    CSmsRecord record = Record(1, "10002", "t", longest.c_str());
    record.owner = "42";
    record.caption = "label";
    CByteWriter writer(4096);
    record.Store(writer);
    EXPECT_EQ(1 + 8 + 4 + 2 + 65535, writer.Length()) << "the writer grew in 4096-byte steps";

    CSmsRecord loaded;
    loaded.owner = "kept";
    CByteReader reader(writer.Data(), writer.Length());
    loaded.Load(reader);
    EXPECT_EQ(longest, std::string(loaded.text));
    EXPECT_STREQ("kept", loaded.owner) << "Load leaves owner untouched";

    CSmsRecord copy(record);
    EXPECT_STREQ("42", copy.owner);
    EXPECT_STREQ("label", copy.caption);

    std::string tooLong(70000, 'b');
    CByteWriter cut(16);
    cut.PutString(tooLong.c_str());
    CByteReader cutReader(cut.Data(), cut.Length());
    CString read;
    cutReader.GetString(read);
    EXPECT_EQ(65534, read.GetLength()) << "a longer string is cut so that it still reads back";
}

TEST_F(StoreTest, FirstHistoryCreatesTheFile)
{
    EXPECT_FALSE(FileExists());
    CSmsRecord record = Record(3, "10002", "2026-12-05 10:00:00", "hello");
    EXPECT_TRUE(CMessageStore::AddHistory(record));
    EXPECT_TRUE(FileExists());
}

TEST_F(StoreTest, HistoryIsListedOldestFirstWithinTheMaximum)
{
    bool found = true;
    EXPECT_TRUE(History("10002", 0, &found).empty());
    EXPECT_FALSE(found);
    for (const char* text : {"one", "two", "three"}) {
        CSmsRecord record = Record(1, "10002", "t", text);
        ASSERT_TRUE(CMessageStore::AddHistory(record));
    }
    CSmsRecord other = Record(3, "10003", "t", "elsewhere");
    CMessageStore::AddHistory(other);

    auto all = History("10002", 0, &found);
    EXPECT_TRUE(found);
    EXPECT_EQ((std::vector<std::string>{"one", "two", "three"}), Texts(all));
    auto newest = History("10002", 1);
    EXPECT_EQ((std::vector<std::string>{"three"}), Texts(newest));
    auto two = History("10002", 2);
    EXPECT_EQ((std::vector<std::string>{"two", "three"}), Texts(two));
}

TEST_F(StoreTest, UnreadIsTakenOldestFirst)
{
    CSmsRecord record;
    int more = 7;
    EXPECT_FALSE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_EQ(0, more);
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));

    for (const char* text : {"older", "newer", "newest"}) {
        CSmsRecord queued = Record(3, "10002", "t", text);
        ASSERT_TRUE(CMessageStore::AddUnread(queued));
    }
    EXPECT_TRUE(CMessageStore::HasUnread("10002"));
    EXPECT_FALSE(CMessageStore::HasUnread("10003"));
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_STREQ("older", record.text);
    EXPECT_EQ(1, more);
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_STREQ("newer", record.text);
    ASSERT_TRUE(CMessageStore::TakeNextUnread("10002", record, more));
    EXPECT_STREQ("newest", record.text);
    EXPECT_EQ(0, more);
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));
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

    for (const char* peer : {"10002", "10003", "10002"}) {
        CSmsRecord record = Record(3, peer, "t", peer == std::string("10003") ? "c1" : "b");
        CMessageStore::AddUnread(record);
    }
    RecordingVisitor declining(false);
    EXPECT_TRUE(CMessageStore::VisitUnread(declining));
    EXPECT_EQ(2u, declining.seen.size());

    RecordingVisitor accepting(true);
    EXPECT_TRUE(CMessageStore::VisitUnread(accepting));
    EXPECT_EQ(2u, accepting.seen.size()) << "one value per sender per walk";
    RecordingVisitor second(true);
    EXPECT_TRUE(CMessageStore::VisitUnread(second));
    EXPECT_EQ((std::vector<std::string>{"10002:b"}), second.seen);
    RecordingVisitor last(true);
    EXPECT_FALSE(CMessageStore::VisitUnread(last));
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
    EXPECT_TRUE(History("10002", 0).empty());
    CString signature;
    EXPECT_FALSE(CMessageStore::LoadSignature(signature));
}

TEST_F(StoreTest, AnUnreadableFileFailsEveryOperationAndIsLeftAlone)
{
    const std::string path = m_dir.Path() + "smsutilmsg.db";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char junk[] = "this is not a Berkeley DB file, and it is the user's";
    DWORD written = 0;
    WriteFile(file, junk, sizeof junk, &written, nullptr);
    CloseHandle(file);

    CSmsRecord record = Record(3, "10002", "t", "x");
    EXPECT_FALSE(CMessageStore::AddHistory(record));
    EXPECT_FALSE(CMessageStore::AddUnread(record));
    EXPECT_FALSE(CMessageStore::HasUnread("10002"));
    CString signature;
    EXPECT_FALSE(CMessageStore::LoadSignature(signature));
    RecordingVisitor visitor(true);
    EXPECT_FALSE(CMessageStore::VisitUnread(visitor));

    file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char back[sizeof junk] = {};
    DWORD read = 0;
    ReadFile(file, back, sizeof back, &read, nullptr);
    CloseHandle(file);
    EXPECT_EQ(std::string(junk, sizeof junk), std::string(back, read)) << "nothing overwrote it";
}
