// The record codec where the store's file cannot show it: what damaged bytes
// decode to, and the longest strings. The bytes a record becomes are read
// back from the file itself by store_dump.sh.
#include "record_maker.h"
#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/sms_record.h"

#include <gtest/gtest.h>

#include <string>

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
    CByteWriter writer(4096);
    record.Store(writer);
    EXPECT_EQ(1 + 8 + 4 + 2 + 65535, writer.Length());

    CSmsRecord loaded;
    loaded.owner = "kept";
    CByteReader reader(writer.Data(), writer.Length());
    loaded.Load(reader);
    EXPECT_STREQ("10002", loaded.peer) << "growing kept the bytes written before";
    EXPECT_EQ(longest, std::string(loaded.text));
    EXPECT_STREQ("kept", loaded.owner) << "Load leaves owner untouched";

    std::string tooLong(70000, 'b');
    CByteWriter cut(16);
    cut.PutString(tooLong.c_str());
    CByteReader cutReader(cut.Data(), cut.Length());
    CString read;
    cutReader.GetString(read);
    EXPECT_EQ(65534, read.GetLength()) << "a longer string is cut so that it still reads back";
}
