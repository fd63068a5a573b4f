// The service texts read against a sink that records what they cause: the
// parser alone, for what the service window's own test cannot reach.
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

// What reaches the service window from the transport is judged there; here,
// what only the parser decides: texts that do not match their length.
TEST(ServiceTextTest, MalformedTextsCauseNothingAndALoneTypeRepeatsAsEveryField)
{
    RecordingSink sink;
    const std::string trailing = std::string("4\x02x\x02" "10004\x02no") + '\0' + "more" + '\0';
    EXPECT_EQ(0, ParseServiceText(trailing.data(), static_cast<int>(trailing.size()), sink));
    const char noNul[] = {'4', '\x02', 'x', '\x02', '1', '\x02', 'n', 'o'};
    EXPECT_EQ(0, ParseServiceText(noNul, sizeof noNul, sink));
    EXPECT_EQ(0, ParseServiceText(nullptr, 3, sink));
    EXPECT_EQ(0, ParseServiceText("4", -2, sink));
    EXPECT_EQ(0, Parse("7\x02x\x02" "10002\x02no", sink));
    EXPECT_TRUE(sink.records.empty());

    EXPECT_EQ(1, Parse("4", sink));
    ASSERT_EQ(1u, sink.records.size());
    EXPECT_STREQ("4", sink.records[0].peer);
    EXPECT_STREQ("4", sink.records[0].text);
}
