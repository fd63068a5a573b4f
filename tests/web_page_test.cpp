// The page parser on documents, charsets and addresses, without a window.
#include "browser/web_page.h"
#include "wide_text.h"

#include <gtest/gtest.h>

TEST(WebPageTest, DocumentBecomesTitleLinesAndLinks)
{
    const CWebPage page = ParseWebPage(
        L"<HTML><Head><TITLE>\n A &amp;  B </TITLE><script type='x'>if (a < b) x();</SCRIPT></head><body>"
        L"<H2>Head&shy;line</h2>one\n   two<br/>three<div>in <b>bold</b> &#x4E2D;&#25991;&nbsp;&unknown; &lt;p&gt;</div>"
        L"<p>see <a href=\"../other?a=1&amp;b=2\">there</a>, <a href='#top'></a> or <A HREF=/root>root</A>.</p>"
        L"<table><tr><td>1</td><td>2</td></tr></table><!-- <p>hidden</p> -->tail",
        L"http://host:8/dir/page?q=1");
    EXPECT_EQ(L"A & B", page.title);
    std::vector<std::wstring> lines;
    for (const auto& line : page.lines) lines.push_back(line.Text());
    const std::vector<std::wstring> expected = {
        L"Head&shy;line", L"one two", L"three", L"in bold 中文 &unknown; <p>",
        L"see there [http://host:8/dir/../other?a=1&b=2], [http://host:8/dir/page?q=1#top] or root [http://host:8/root].",
        L"1 2", L"tail"};
    EXPECT_EQ(expected, lines) << Joined(lines);
    ASSERT_FALSE(page.lines.empty());
    EXPECT_TRUE(page.lines[0].heading);
    EXPECT_FALSE(page.lines[1].heading);
}

TEST(WebPageTest, CharsetFromHeaderThenMetaElseGbk)
{
    EXPECT_EQ(CP_UTF8, WebPageCodePage("text/html; charset=UTF-8", "<meta charset=gbk>"));
    EXPECT_EQ(936u, WebPageCodePage("text/html; charset=gb2312", ""));
    EXPECT_EQ(CP_UTF8, WebPageCodePage("text/html", "<head><meta charset=\"utf-8\">"));
    EXPECT_EQ(CP_UTF8, WebPageCodePage("text/html", "<meta http-equiv=Content-Type content='text/html; charset=utf8'>"));
    EXPECT_EQ(936u, WebPageCodePage("text/html", "<html>no charset</html>"));
    EXPECT_EQ(936u, WebPageCodePage("", ""));
    EXPECT_EQ(CP_UTF8, WebPageCodePage("", "\xEF\xBB\xBF<html>"));
}

TEST(WebPageTest, AddressesResolveAgainstThePage)
{
    const std::wstring base = L"http://h:1/a/b?x=1#f";
    EXPECT_EQ(L"https://o/p", ResolveWebAddress(base, L"https://o/p"));
    EXPECT_EQ(L"http://o/p", ResolveWebAddress(base, L"//o/p"));
    EXPECT_EQ(L"http://h:1/r?y", ResolveWebAddress(base, L"/r?y"));
    EXPECT_EQ(L"http://h:1/a/c", ResolveWebAddress(base, L"c"));
    EXPECT_EQ(L"http://h:1/a/b?z", ResolveWebAddress(base, L"?z"));
    EXPECT_EQ(L"http://h:1/a/b?x=1#g", ResolveWebAddress(base, L"#g"));
    EXPECT_EQ(L"http://h:1/c", ResolveWebAddress(L"http://h:1", L"c"));
    EXPECT_EQ(L"http://h:1/c", ResolveWebAddress(L"http://h:1?q=a/b", L"c"));
}
