// A page as the browser control shows it, and how it is made from what a
// server sent: text only, no windows. Tags are dropped, entities decoded,
// white space collapsed, block elements end lines, scripts and styles are not
// text, and link addresses are made absolute.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// A piece of a line: plain text, or a link's text with its address.
struct CWebPageRun {
    std::wstring text;
    std::wstring href;
};

struct CWebPageLine {
    std::vector<CWebPageRun> runs;
    bool heading = false;
    // The line as text; a link reads "text [address]".
    std::wstring Text() const;
};

struct CWebPage {
    std::wstring title;
    std::vector<CWebPageLine> lines;
};

// The code page of a page's bytes: the charset that the Content-Type header
// names, else the one that a meta tag near the top names, else GBK.
UINT WebPageCodePage(const std::string& contentType, const std::string& body);

// The page that an HTML document shows; link addresses are made absolute
// against baseAddress.
CWebPage ParseWebPage(const std::wstring& html, const std::wstring& baseAddress);

// The page that a server's answer shows: the body decoded in its code page,
// then parsed as HTML, or taken line by line when the type is plain text.
CWebPage WebPageFromBytes(const std::string& contentType, const std::string& body, const std::wstring& address);

// href as an absolute address, relative to base.
std::wstring ResolveWebAddress(const std::wstring& base, const std::wstring& href);
