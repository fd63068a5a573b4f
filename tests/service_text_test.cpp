// The service texts read against a sink that records what they cause: the
// parser and its handlers alone, without a window or a plugin.
#include "res/resource.h"
#include "store/sms_record.h"
#include "transport/service_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct StartUpAnswer {
    std::string serviceUrl;
    std::string registerPhone;
    bool accepted;
};

class RecordingSink : public CServiceTextSink {
public:
    bool AwaitsStartUpAnswer() override { return awaiting; }
    void OnStartUpAnswer(const char* serviceUrl, const char* registerPhone, bool accepted) override
    {
        answers.push_back({serviceUrl, registerPhone, accepted});
    }
    void OnServiceRecord(const CSmsRecord& record) override { records.push_back(record); }

    bool awaiting = true;
    std::vector<StartUpAnswer> answers;
    std::vector<CSmsRecord> records;
};

// A service text with its NUL, as ParseServiceText takes it.
int Parse(const std::string& text, RecordingSink& sink)
{
    const std::string withNul = text + '\0';
    return ParseServiceText(withNul.data(), static_cast<int>(withNul.size()), sink);
}

} // namespace

TEST(ServiceTextTest, StartUpAnswerAcceptsCodesOneToThree)
{
    const struct {
        const char* code;
        bool accepted;
    } cases[] = {{"1", true}, {"2", true}, {"3", true}, {" +3x", true}, {"0", false},
                 {"4", false}, {"-1", false}, {"x", false}, {"", false}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.code);
        RecordingSink sink;
        EXPECT_EQ(each.accepted ? 1 : 0,
                  Parse(std::string("1\x02x\x02http://h/order\x02") + each.code + "\x02" "138\x02" "00", sink));
        ASSERT_EQ(1u, sink.answers.size());
        EXPECT_EQ("http://h/order", sink.answers[0].serviceUrl);
        EXPECT_EQ("138\x02" "00", sink.answers[0].registerPhone) << "the rest, separators and all";
        EXPECT_EQ(each.accepted, sink.answers[0].accepted);
    }
}

TEST(ServiceTextTest, StartUpAnswerNobodyWaitsForIsDropped)
{
    RecordingSink sink;
    sink.awaiting = false;
    EXPECT_EQ(0, Parse("1\x02x\x02http://late/\x02" "1\x02" "139", sink));
    EXPECT_TRUE(sink.answers.empty());
}

TEST(ServiceTextTest, IncomingMessageKeepsItsTextWhole)
{
    RecordingSink sink;
    EXPECT_EQ(1, Parse("4\x02x\x02" "10002\x02hello\x02world", sink));
    ASSERT_EQ(1u, sink.records.size());
    const CSmsRecord& record = sink.records[0];
    EXPECT_EQ(CSmsRecord::KIND_RECEIVED, record.kind);
    EXPECT_STREQ("10002", record.peer);
    EXPECT_STREQ("hello\x02world", record.text);
    ASSERT_EQ(19, record.time.GetLength()) << (const char*)record.time;
    EXPECT_EQ('-', record.time[4]);
    EXPECT_EQ(' ', record.time[10]);
    EXPECT_EQ(':', record.time[16]);
}

TEST(ServiceTextTest, LoneTypeRepeatsAsEveryField)
{
    RecordingSink sink;
    EXPECT_EQ(1, Parse("4", sink));
    ASSERT_EQ(1u, sink.records.size());
    EXPECT_STREQ("4", sink.records[0].peer);
    EXPECT_STREQ("4", sink.records[0].text);
}

TEST(ServiceTextTest, UndeliveredNoticeFillsTheTemplate)
{
    RecordingSink sink;
    EXPECT_EQ(1, Parse("6\x02x\x02" "10009\x02no such account", sink));
    ASSERT_EQ(1u, sink.records.size());
    EXPECT_EQ(CSmsRecord::KIND_UNDELIVERED, sink.records[0].kind);
    EXPECT_STREQ("10009", sink.records[0].peer);
    EXPECT_STREQ("抱歉，您给联系人 [10009] 的消息无法发出。错误原因：no such account。", sink.records[0].text);
}

TEST(ServiceTextTest, MalformedTextsCauseNothing)
{
    RecordingSink sink;
    EXPECT_EQ(0, Parse("41\x02x\x02" "10002\x02no", sink)) << "type 41 is not 4";
    EXPECT_EQ(0, Parse("", sink));
    EXPECT_EQ(0, Parse("7\x02x\x02" "10002\x02no", sink));
    const std::string trailing = std::string("4\x02x\x02" "10004\x02no") + '\0' + "more" + '\0';
    EXPECT_EQ(0, ParseServiceText(trailing.data(), static_cast<int>(trailing.size()), sink))
        << "bytes after the NUL: the length does not match";
    const char noNul[] = {'4', '\x02', 'x', '\x02', '1', '\x02', 'n', 'o'};
    EXPECT_EQ(0, ParseServiceText(noNul, sizeof noNul, sink));
    EXPECT_EQ(0, ParseServiceText(nullptr, 3, sink));
    EXPECT_EQ(0, ParseServiceText("4", 0, sink));
    EXPECT_EQ(0, ParseServiceText("4", -2, sink));
    EXPECT_TRUE(sink.records.empty());
    EXPECT_TRUE(sink.answers.empty());
}

TEST(ServiceTextTest, ParsingLeavesTheCallersBytesAlone)
{
    RecordingSink sink;
    const char text[] = "4\x02x\x02" "10002\x02hi";
    char copy[sizeof text];
    memcpy(copy, text, sizeof text);
    EXPECT_EQ(1, ParseServiceText(copy, sizeof copy, sink));
    EXPECT_EQ(0, memcmp(text, copy, sizeof text)) << "the parser cuts fields in a copy of its own";
}

TEST(ServiceTextTest, BlocksOfTwoBytesOrFewerHoldNoText)
{
    // Bytes that would read as a message from any offset.
    const char block[] = "4\0" "4\x02x\x02" "1\x02hi";
    for (int size : {-1, 0, 1, 2}) {
        const char* text = nullptr;
        int length = -7;
        EXPECT_FALSE(ServiceTextOfBlock(block, size, text, length)) << size;
        EXPECT_EQ(nullptr, text) << size;
    }
    const char* text = nullptr;
    int length = 0;
    ASSERT_TRUE(ServiceTextOfBlock(block, 3, text, length));
    EXPECT_EQ(block + 2, text) << "the transport's two bytes are skipped";
    EXPECT_EQ(1, length);
    EXPECT_FALSE(ServiceTextOfBlock(nullptr, 10, text, length));
}

TEST(NextFieldTest, CutsAtTheSeparatorOrRepeatsTheLastField)
{
    char text[] = "a\x02" "b\x02" "c";
    char* cursor = text;
    EXPECT_STREQ("a", NextField(&cursor, '\x02'));
    EXPECT_STREQ("b", NextField(&cursor, '\x02'));
    EXPECT_STREQ("c", NextField(&cursor, '\x02'));
    EXPECT_STREQ("c", NextField(&cursor, '\x02'));
    EXPECT_STREQ("c", cursor);
    EXPECT_EQ(nullptr, NextField(nullptr, '\x02'));
    char* none = nullptr;
    EXPECT_EQ(nullptr, NextField(&none, '\x02'));
}
