// A message's text as the windows show it, one row per kind of input.
#include "controls/shown_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(ShownTextTest, CutMarkedAndControlBytesReplaced)
{
    const struct {
        std::string text;
        int limit;
        std::string shown;
    } rows[] = {
        {"你好\r\nab", 1000, "你好\r\nab"},                          // short: unchanged, CR LF kept
        {std::string(1000, 'a'), 1000, std::string(1000, 'a')},      // exactly the limit: no mark
        {std::string(1500, 'a'), 1000, std::string(1000, 'a') + "[cut]"},
        {"a你好", 4, "a你[cut]"},                                    // 好 would be split
        {"ab\r\ncd", 3, "ab[cut]"},                                  // nor is CR LF split
        {"a\x01\x1f\tb\x7f", 1000, "a???b?"},
        {"a\rb\nc\n\r", 1000, "a?b?c??"},                            // lone CR, lone LF
        {"\xc4\x01z\xc4", 1000, "??z?"},                             // lead bytes without trail bytes
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.shown, (const char*)shown_text::ShownText(row.text.c_str(), row.limit, "[cut]")) << row.text;
    EXPECT_EQ("", std::string(shown_text::ShownText(nullptr, 10, "[cut]")));
}
