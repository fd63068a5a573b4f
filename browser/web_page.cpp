#include "web_page.h"

#include <algorithm>

std::wstring CWebPageLine::Text() const
{
    std::wstring text;
    for (const auto& run : runs) {
        if (run.href.empty()) {
            text += run.text;
        } else {
            text += run.text.empty() ? L"[" + run.href + L"]" : run.text + L" [" + run.href + L"]";
        }
    }
    return text;
}

namespace {

std::string LowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::wstring LowerAscii(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

// The charset named after "charset=" in text, lower case; empty if none.
std::string CharsetIn(const std::string& text)
{
    const std::string lower = LowerAscii(text);
    const size_t at = lower.find("charset=");
    if (at == std::string::npos) return std::string();
    size_t start = at + 8;
    while (start < lower.size() && (lower[start] == '"' || lower[start] == '\'' || lower[start] == ' ')) ++start;
    size_t end = start;
    while (end < lower.size() && (isalnum(static_cast<unsigned char>(lower[end])) || lower[end] == '-' || lower[end] == '_'))
        ++end;
    return lower.substr(start, end - start);
}

} // namespace

UINT WebPageCodePage(const std::string& contentType, const std::string& body)
{
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) return CP_UTF8;
    std::string charset = CharsetIn(contentType);
    if (charset.empty()) charset = CharsetIn(body.substr(0, 2048));
    if (charset == "utf-8" || charset == "utf8") return CP_UTF8;
    if (charset == "big5") return 950;
    if (charset == "shift_jis" || charset == "shift-jis") return 932;
    if (charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii" || charset == "windows-1252") return 1252;
    // gbk, gb2312, gb18030 and whatever is not named: the pages this
    // control is for are Chinese.
    return 936;
}

std::wstring ResolveWebAddress(const std::wstring& base, const std::wstring& href)
{
    if (href.empty()) return base;
    // A scheme: letters up to a colon, before any "/", "?" or "#".
    const size_t colon = href.find(L':');
    if (colon != std::wstring::npos && colon > 0 && href.find_first_of(L"/?#") > colon) {
        bool scheme = true;
        for (size_t i = 0; i < colon; ++i)
            scheme = scheme && (iswalnum(href[i]) || href[i] == L'+' || href[i] == L'-' || href[i] == L'.');
        if (scheme) return href;
    }
    const size_t schemeEnd = base.find(L"://");
    const size_t hostStart = schemeEnd == std::wstring::npos ? 0 : schemeEnd + 3;
    const size_t pathStart = std::min(base.find_first_of(L"/?#", hostStart), base.size());
    if (href.compare(0, 2, L"//") == 0) return base.substr(0, schemeEnd == std::wstring::npos ? 0 : schemeEnd + 1) + href;
    if (href[0] == L'/') return base.substr(0, pathStart) + href;
    const size_t queryStart = std::min(base.find_first_of(L"?#", pathStart), base.size());
    if (href[0] == L'#') return base.substr(0, std::min(base.find(L'#'), base.size())) + href;
    if (href[0] == L'?') return base.substr(0, queryStart) + href;
    const size_t lastSlash = base.rfind(L'/', queryStart == 0 ? 0 : queryStart - 1);
    if (lastSlash == std::wstring::npos || lastSlash < pathStart) return base.substr(0, pathStart) + L"/" + href;
    return base.substr(0, lastSlash + 1) + href;
}

namespace {

struct NamedEntity {
    const wchar_t* name;
    wchar_t character;
};

const NamedEntity kEntities[] = {
    {L"amp", L'&'},     {L"lt", L'<'},       {L"gt", L'>'},      {L"quot", L'"'},     {L"apos", L'\''},
    {L"nbsp", 0x00A0},  {L"copy", 0x00A9},   {L"reg", 0x00AE},   {L"middot", 0x00B7}, {L"hellip", 0x2026},
    {L"mdash", 0x2014}, {L"ndash", 0x2013},  {L"laquo", 0x00AB}, {L"raquo", 0x00BB}, {L"yen", 0x00A5},
    {L"times", 0x00D7}, {L"ldquo", 0x201C},  {L"rdquo", 0x201D}, {L"lsquo", 0x2018}, {L"rsquo", 0x2019},
};

// Decodes the entity at text[at] (an "&"); appends what it stands for and
// returns the index after it. An unknown one is kept as written.
size_t DecodeEntity(const std::wstring& text, size_t at, std::wstring& out)
{
    const size_t semicolon = text.find(L';', at);
    if (semicolon == std::wstring::npos || semicolon - at > 12) {
        out += L'&';
        return at + 1;
    }
    const std::wstring name = text.substr(at + 1, semicolon - at - 1);
    if (name.size() > 1 && name[0] == L'#') {
        const bool hex = name[1] == L'x' || name[1] == L'X';
        const std::wstring digits = name.substr(hex ? 2 : 1);
        wchar_t* end = nullptr;
        const unsigned long code = digits.empty() ? 0 : wcstoul(digits.c_str(), &end, hex ? 16 : 10);
        if (!digits.empty() && end && *end == 0 && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
            if (code >= 0x10000) {
                out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
                out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                out += static_cast<wchar_t>(code);
            }
            return semicolon + 1;
        }
    } else {
        for (const auto& entity : kEntities) {
            if (name == entity.name) {
                out += entity.character;
                return semicolon + 1;
            }
        }
    }
    out += L'&';
    return at + 1;
}

std::wstring DecodeEntities(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == L'&') {
            i = DecodeEntity(text, i, out);
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f'; }

std::wstring CollapseSpaces(const std::wstring& text)
{
    std::wstring out;
    bool space = false;
    for (wchar_t c : text) {
        if (IsSpace(c)) {
            space = !out.empty();
        } else {
            if (space) out += L' ';
            space = false;
            out += c == 0x00A0 ? L' ' : c;
        }
    }
    return out;
}

bool IsBlockTag(const std::wstring& name)
{
    static const wchar_t* const kBlocks[] = {L"p",     L"div",   L"br",         L"li",     L"ul",      L"ol",
                                             L"dl",    L"dt",    L"dd",         L"tr",     L"table",   L"hr",
                                             L"form",  L"body",  L"blockquote", L"pre",    L"section", L"article",
                                             L"header", L"footer", L"nav",      L"center", L"address", L"caption",
                                             L"h1",    L"h2",    L"h3",         L"h4",     L"h5",      L"h6"};
    for (const wchar_t* block : kBlocks)
        if (name == block) return true;
    return false;
}

bool IsHeadingTag(const std::wstring& name)
{
    return name.size() == 2 && name[0] == L'h' && name[1] >= L'1' && name[1] <= L'6';
}

// The value of an attribute in a tag's attribute text, entities decoded.
bool FindAttribute(const std::wstring& attributes, const wchar_t* wanted, std::wstring& value)
{
    size_t i = 0;
    while (i < attributes.size()) {
        while (i < attributes.size() && (IsSpace(attributes[i]) || attributes[i] == L'/')) ++i;
        const size_t nameStart = i;
        while (i < attributes.size() && !IsSpace(attributes[i]) && attributes[i] != L'=' && attributes[i] != L'/') ++i;
        const std::wstring name = LowerAscii(attributes.substr(nameStart, i - nameStart));
        while (i < attributes.size() && IsSpace(attributes[i])) ++i;
        std::wstring found;
        if (i < attributes.size() && attributes[i] == L'=') {
            ++i;
            while (i < attributes.size() && IsSpace(attributes[i])) ++i;
            if (i < attributes.size() && (attributes[i] == L'"' || attributes[i] == L'\'')) {
                const wchar_t quote = attributes[i++];
                const size_t end = std::min(attributes.find(quote, i), attributes.size());
                found = attributes.substr(i, end - i);
                i = end + 1;
            } else {
                const size_t start = i;
                while (i < attributes.size() && !IsSpace(attributes[i])) ++i;
                found = attributes.substr(start, i - start);
            }
        }
        if (name == wanted) {
            value = DecodeEntities(found);
            return true;
        }
        if (name.empty() && i == nameStart) ++i;
    }
    return false;
}

// Collects text into runs and lines as the parser walks the document.
class CPageBuilder {
public:
    void AddText(wchar_t c)
    {
        if (IsSpace(c)) {
            m_space = !m_run.empty() || !m_line.runs.empty();
            return;
        }
        if (m_space) m_run += L' ';
        m_space = false;
        m_run += c == 0x00A0 ? L' ' : c;
    }
    void BeginLink(const std::wstring& href)
    {
        if (m_space && (!m_run.empty() || !m_line.runs.empty())) m_run += L' ';
        m_space = false;
        FlushRun();
        m_href = href;
        m_inLink = true;
    }
    void EndLink()
    {
        if (!m_inLink) return;
        if (m_run.empty() && !m_href.empty()) m_line.runs.push_back({std::wstring(), m_href});
        FlushRun();
        m_href.clear();
        m_inLink = false;
    }
    void EndLine()
    {
        FlushRun();
        if (!m_line.runs.empty()) {
            m_line.heading = m_heading;
            m_page.lines.push_back(m_line);
        }
        m_line = CWebPageLine();
        m_space = false;
    }
    void SetHeading(bool heading) { m_heading = heading; }
    CWebPage& Page() { return m_page; }

private:
    void FlushRun()
    {
        if (m_run.empty()) return;
        m_line.runs.push_back({m_run, m_inLink ? m_href : std::wstring()});
        m_run.clear();
    }

    CWebPage m_page;
    CWebPageLine m_line;
    std::wstring m_run;
    std::wstring m_href;
    bool m_inLink = false;
    bool m_space = false;
    bool m_heading = false;
};

// Walks a document once, from text and tags to the builder's lines.
class CPageParser {
public:
    CPageParser(const std::wstring& html, const std::wstring& baseAddress)
        : m_html(html), m_lowerHtml(LowerAscii(html)), m_baseAddress(baseAddress)
    {
    }

    CWebPage Parse()
    {
        while (m_at < m_html.size()) Step();
        m_builder.EndLink();
        m_builder.EndLine();
        CWebPage page = m_builder.Page();
        page.title = m_title;
        return page;
    }

private:
    void Step()
    {
        const wchar_t c = m_html[m_at];
        if (c == L'&') {
            std::wstring decoded;
            m_at = DecodeEntity(m_html, m_at, decoded);
            for (wchar_t each : decoded) m_builder.AddText(each);
        } else if (!AtTag()) {
            m_builder.AddText(c);
            ++m_at;
        } else if (m_html.compare(m_at, 4, L"<!--") == 0) {
            const size_t end = m_html.find(L"-->", m_at + 4);
            m_at = end == std::wstring::npos ? m_html.size() : end + 3;
        } else {
            Tag(ReadTag());
        }
    }

    // A "<" that a letter, "/", "!" or "?" follows; any other is text.
    bool AtTag() const
    {
        if (m_html[m_at] != L'<' || m_at + 1 >= m_html.size()) return false;
        const wchar_t next = m_html[m_at + 1];
        return iswalpha(next) || next == L'/' || next == L'!' || next == L'?';
    }

    // What lies between "<" and the first ">" outside quotes; moves past it.
    std::wstring ReadTag()
    {
        size_t end = m_at + 1;
        wchar_t quote = 0;
        for (; end < m_html.size(); ++end) {
            const wchar_t c = m_html[end];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == L'"' || c == L'\'') {
                quote = c;
            } else if (c == L'>') {
                break;
            }
        }
        const std::wstring tag = m_html.substr(m_at + 1, end - m_at - 1);
        m_at = end < m_html.size() ? end + 1 : m_html.size();
        return tag;
    }

    void Tag(const std::wstring& tag)
    {
        if (tag.empty() || tag[0] == L'!' || tag[0] == L'?') return;
        const bool closing = tag[0] == L'/';
        const size_t nameStart = closing ? 1 : 0;
        size_t nameEnd = nameStart;
        while (nameEnd < tag.size() && iswalnum(tag[nameEnd])) ++nameEnd;
        const std::wstring name = LowerAscii(tag.substr(nameStart, nameEnd - nameStart));
        if (!closing && (name == L"script" || name == L"style")) {
            SkipToEndTag(name.c_str(), nullptr);
        } else if (!closing && name == L"title") {
            std::wstring inner;
            SkipToEndTag(L"title", &inner);
            if (m_title.empty()) m_title = CollapseSpaces(DecodeEntities(inner));
        } else if (name == L"a") {
            m_builder.EndLink();
            std::wstring href;
            if (!closing && FindAttribute(tag.substr(nameEnd), L"href", href))
                m_builder.BeginLink(ResolveWebAddress(m_baseAddress, href));
        } else if (IsHeadingTag(name)) {
            m_builder.EndLine();
            m_builder.SetHeading(!closing);
        } else if (IsBlockTag(name)) {
            m_builder.EndLine();
        } else if (name == L"td" || name == L"th") {
            m_builder.AddText(L' ');
        }
    }

    // Moves just past the end tag `name` (case-insensitive), or to the
    // document's end; `inner` gets what lies before that tag.
    void SkipToEndTag(const wchar_t* name, std::wstring* inner)
    {
        const size_t end = m_lowerHtml.find(std::wstring(L"</") + name, m_at);
        if (inner) *inner = m_html.substr(m_at, end == std::wstring::npos ? std::wstring::npos : end - m_at);
        const size_t close = end == std::wstring::npos ? end : m_html.find(L'>', end);
        m_at = close == std::wstring::npos ? m_html.size() : close + 1;
    }

    const std::wstring& m_html;
    const std::wstring m_lowerHtml;
    const std::wstring& m_baseAddress;
    size_t m_at = 0;
    std::wstring m_title;
    CPageBuilder m_builder;
};

// A plain text document: its lines as they are, blank ones left out.
CWebPage PlainTextPage(const std::wstring& text)
{
    CWebPage page;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find(L'\n', start), text.size());
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) {
            page.lines.emplace_back();
            page.lines.back().runs.push_back({line, std::wstring()});
        }
        start = end + 1;
    }
    return page;
}

std::wstring Decode(const std::string& body, UINT codePage)
{
    const size_t skip = codePage == CP_UTF8 && body.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (body.size() <= skip) return std::wstring();
    std::wstring text(body.size(), L'\0');
    const int length = ::MultiByteToWideChar(codePage, 0, body.data() + skip, static_cast<int>(body.size() - skip),
                                             &text[0], static_cast<int>(text.size()));
    text.resize(length > 0 ? length : 0);
    return text;
}

} // namespace

CWebPage ParseWebPage(const std::wstring& html, const std::wstring& baseAddress)
{
    return CPageParser(html, baseAddress).Parse();
}

CWebPage WebPageFromBytes(const std::string& contentType, const std::string& body, const std::wstring& address)
{
    const std::wstring text = Decode(body, WebPageCodePage(contentType, body));
    if (LowerAscii(contentType).find("text/plain") != std::string::npos) return PlainTextPage(text);
    return ParseWebPage(text, address);
}
