// The send dialog's rules without a window: what the counter says, how much
// room each field leaves the other, and the bytes of a send request.
#include "dialogs/send_rules.h"

#include <gtest/gtest.h>

#include <string>

using namespace send_rules;

TEST(SendRulesTest, SendRequestBytes)
{
    const std::string immediate = BuildSendRequest("10001", "10002", "hi", "");
    const unsigned char expected[] = {0x32, 0x02, 0x31, 0x30, 0x30, 0x30, 0x31, 0x3A, 0x02, 0x31,
                                      0x30, 0x30, 0x30, 0x32, 0x02, 0x68, 0x69, 0x02, 0x30, 0x00};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(expected), sizeof expected), immediate);
    EXPECT_EQ(std::string("2\x02" "10001:\x02" "10002\x02你好\r\nab\x02" "1\x02" "2026-01-05 09:03:00") + '\0',
              BuildSendRequest("10001", "10002", "你好\r\nab", "2026-01-05 09:03:00"))
        << "text unchanged, the schedule after a 1";
}

TEST(SendRulesTest, EachFieldGetsWhatTheOtherLeaves)
{
    const struct {
        std::string otherPart;
        int wide;
        int narrow;
    } cases[] = {
        {"", 68, 138},
        {"abc:", 64, 134},   // a three-character signature and its colon
        {"张三:", 65, 65},   // a wide part leaves the wide room for both
        {std::string(138, 'x'), 0, 0},
        {std::string(139, 'x'), 0, 0},  // never below nothing
        {std::string(70, 'x'), 0, 68},
    };
    for (const auto& each : cases) {
        const Limits limits = LimitsBeside(each.otherPart.c_str());
        EXPECT_EQ(each.wide, limits.wide) << each.otherPart;
        EXPECT_EQ(each.narrow, limits.narrow) << each.otherPart;
    }
}

TEST(SendRulesTest, CounterCountsPrefixAndMessageAndTheServicesTwo)
{
    const std::string free = "免费绑定用户，每天允许发送1条短信\r\n";
    EXPECT_EQ(free + "每条（包括签名）最多 140 个英文字符或 70 个汉字", (const char*)CounterText("sig", ""))
        << "an empty message shows the hint, signature or not";
    EXPECT_EQ(free + "每条（包括签名）最多 140 个英文字符，您的消息共 11 个英文字符",
              (const char*)CounterText("", "123456789"));
    EXPECT_EQ(free + "每条（包括签名）最多 140 个英文字符，您的消息共 15 个英文字符",
              (const char*)CounterText("abc", "123456789"))
        << "the prefix abc: counts";
    EXPECT_EQ(free + "每条（包括签名）最多 70 个汉字，您的消息共 8 个汉字", (const char*)CounterText("张", "你好ab"))
        << "张:你好ab is six characters";
}

TEST(SendRulesTest, ScheduledTimeAndSentRecords)
{
    EXPECT_STREQ("2026-01-05 09:03:00", FormatScheduledTime(2026, 1, 5, 9, 3));
    const CSmsRecord now = SentRecord("10002", "sig:hi", "", "2026-12-05 10:00:01");
    EXPECT_EQ(CSmsRecord::KIND_SENT, now.kind);
    EXPECT_STREQ("10002", now.peer);
    EXPECT_STREQ("2026-12-05 10:00:01", now.time);
    EXPECT_STREQ("sig:hi", now.text);
    const CSmsRecord later = SentRecord("10002", "hi", "2027-01-01 00:00:00", "2026-12-05 10:00:01");
    EXPECT_EQ(CSmsRecord::KIND_SCHEDULED, later.kind);
    EXPECT_STREQ("2027-01-01 00:00:00", later.time);
}
