#include "web_browser2.h"

#include <oleauto.h>
#include <wininet.h>

#include <algorithm>
#include <memory>

IMPLEMENT_DYNCREATE(CWebBrowser2, CWnd)

// ---------------------------------------------------------------------------
// A document as lines of text

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

// The index just after the end tag `name` from `from` on (case-insensitive),
// or the document's end; `inner` gets what lies before that tag.
size_t SkipToEndTag(const std::wstring& html, const std::wstring& lowerHtml, size_t from, const wchar_t* name,
                    std::wstring* inner)
{
    const size_t end = lowerHtml.find(std::wstring(L"</") + name, from);
    if (inner) *inner = html.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from);
    if (end == std::wstring::npos) return html.size();
    const size_t close = html.find(L'>', end);
    return close == std::wstring::npos ? html.size() : close + 1;
}

} // namespace

CWebPage ParseWebPage(const std::wstring& html, const std::wstring& baseAddress)
{
    CPageBuilder builder;
    std::wstring title;
    const std::wstring lowerHtml = LowerAscii(html);
    size_t i = 0;
    while (i < html.size()) {
        const wchar_t c = html[i];
        if (c == L'&') {
            std::wstring decoded;
            i = DecodeEntity(html, i, decoded);
            for (wchar_t d : decoded) builder.AddText(d);
            continue;
        }
        const bool tagStart = c == L'<' && i + 1 < html.size() &&
                              (iswalpha(html[i + 1]) || html[i + 1] == L'/' || html[i + 1] == L'!' || html[i + 1] == L'?');
        if (!tagStart) {
            builder.AddText(c);
            ++i;
            continue;
        }
        if (html.compare(i, 4, L"<!--") == 0) {
            const size_t end = html.find(L"-->", i + 4);
            i = end == std::wstring::npos ? html.size() : end + 3;
            continue;
        }
        // The tag's end: the first ">" outside quotes.
        size_t end = i + 1;
        wchar_t quote = 0;
        for (; end < html.size(); ++end) {
            if (quote) {
                if (html[end] == quote) quote = 0;
            } else if (html[end] == L'"' || html[end] == L'\'') {
                quote = html[end];
            } else if (html[end] == L'>') {
                break;
            }
        }
        const std::wstring tag = html.substr(i + 1, end - i - 1);
        i = end < html.size() ? end + 1 : html.size();
        if (tag.empty() || tag[0] == L'!' || tag[0] == L'?') continue;
        const bool closing = tag[0] == L'/';
        size_t nameEnd = closing ? 1 : 0;
        while (nameEnd < tag.size() && (iswalnum(tag[nameEnd]))) ++nameEnd;
        const std::wstring name = LowerAscii(tag.substr(closing ? 1 : 0, nameEnd - (closing ? 1 : 0)));
        const std::wstring attributes = tag.substr(nameEnd);

        if (!closing && (name == L"script" || name == L"style")) {
            i = SkipToEndTag(html, lowerHtml, i, name.c_str(), nullptr);
        } else if (!closing && name == L"title") {
            std::wstring inner;
            i = SkipToEndTag(html, lowerHtml, i, L"title", &inner);
            if (title.empty()) title = CollapseSpaces(DecodeEntities(inner));
        } else if (name == L"a") {
            std::wstring href;
            if (closing) {
                builder.EndLink();
            } else {
                builder.EndLink();
                if (FindAttribute(attributes, L"href", href)) builder.BeginLink(ResolveWebAddress(baseAddress, href));
            }
        } else if (IsHeadingTag(name)) {
            builder.EndLine();
            builder.SetHeading(!closing);
        } else if (IsBlockTag(name)) {
            builder.EndLine();
        } else if (name == L"td" || name == L"th") {
            builder.AddText(L' ');
        }
    }
    builder.EndLink();
    builder.EndLine();
    CWebPage page = builder.Page();
    page.title = title;
    return page;
}

// ---------------------------------------------------------------------------
// Fetching, on a thread of its own

namespace {

const UINT kDispidNavigate = 104;
const UINT WM_BROWSER_NAVIGATE = WM_APP + kDispidNavigate;
// A fetch has left its result in the control's mailbox.
const UINT WM_BROWSER_FETCHED = WM_APP + kDispidNavigate + 1;
const DWORD kMaxPageBytes = 4 * 1024 * 1024;

LONG g_fetchesInFlight = 0;
LONG g_fetchTimeout = 15000;

struct FetchResult {
    unsigned generation = 0;
    bool ok = false;
    std::wstring failure;
    CWebPage page;
};

// Where a fetch leaves its result for the control: shared by both, so that
// either may go first. A result always has one owner: the worker until it is
// delivered, then the mailbox until the control takes it; a control that is
// gone, or has navigated elsewhere since, gets nothing and the result is freed.
class CFetchMailbox {
public:
    explicit CFetchMailbox(HWND window) : m_window(window) {}
    ~CFetchMailbox() { delete m_result; }

    unsigned Begin()
    {
        AcquireSRWLockExclusive(&m_lock);
        const unsigned generation = ++m_generation;
        delete m_result;
        m_result = nullptr;
        ReleaseSRWLockExclusive(&m_lock);
        return generation;
    }
    void Deliver(std::unique_ptr<FetchResult> result)
    {
        AcquireSRWLockExclusive(&m_lock);
        if (!m_closed && result->generation == m_generation) {
            delete m_result;
            m_result = result.release();
            ::PostMessageW(m_window, WM_BROWSER_FETCHED, 0, 0);
        }
        ReleaseSRWLockExclusive(&m_lock);
    }
    std::unique_ptr<FetchResult> Take()
    {
        AcquireSRWLockExclusive(&m_lock);
        std::unique_ptr<FetchResult> result(m_result);
        m_result = nullptr;
        ReleaseSRWLockExclusive(&m_lock);
        return result;
    }
    void Close()
    {
        AcquireSRWLockExclusive(&m_lock);
        m_closed = true;
        delete m_result;
        m_result = nullptr;
        ReleaseSRWLockExclusive(&m_lock);
    }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
    HWND m_window;
    bool m_closed = false;
    unsigned m_generation = 0;
    FetchResult* m_result = nullptr;
};

struct FetchJob {
    std::shared_ptr<CFetchMailbox> mailbox;
    unsigned generation;
    std::wstring address;
    HMODULE module;
};

std::wstring WinInetFailure(DWORD error)
{
    const wchar_t* reason;
    switch (error) {
    case ERROR_INTERNET_CANNOT_CONNECT: reason = L"无法连接到服务器"; break;
    case ERROR_INTERNET_TIMEOUT: reason = L"服务器没有在规定的时间内回答"; break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED: reason = L"找不到服务器"; break;
    case ERROR_INTERNET_INVALID_URL:
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME: reason = L"地址无效"; break;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET: reason = L"连接被中断"; break;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: reason = L"服务器的回答无法识别"; break;
    default: reason = L"网络错误"; break;
    }
    return std::wstring(reason) + L"（WinINet 错误 " + std::to_wstring(error) + L"）";
}

std::wstring QueryText(HINTERNET request, DWORD what)
{
    wchar_t text[512] = {};
    DWORD size = sizeof text;
    if (!::HttpQueryInfoW(request, what, text, &size, nullptr)) return std::wstring();
    return text;
}

void SetTimeouts(HINTERNET handle)
{
    DWORD timeout = static_cast<DWORD>(g_fetchTimeout);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
        ::InternetSetOptionW(handle, option, &timeout, sizeof timeout);
}

void Fetch(const std::wstring& address, FetchResult& result)
{
    // Connection and request are opened one by one rather than by address
    // alone, so that each takes the time-outs: not every WinINet passes them
    // down from the session.
    wchar_t host[256] = {};
    wchar_t path[4096] = {};
    wchar_t extra[4096] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 4096;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 4096;
    if (!::InternetCrackUrlW(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts)) {
        result.failure = WinInetFailure(::GetLastError());
        return;
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
        result.failure = WinInetFailure(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return;
    }
    const std::wstring object = std::wstring(path[0] ? path : L"/") + extra;
    HINTERNET session = ::InternetOpenW(L"smsutil", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    if (session) {
        SetTimeouts(session);
        connection = ::InternetConnectW(session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    }
    if (connection) {
        SetTimeouts(connection);
        const wchar_t* accept[] = {L"text/html", L"*/*", nullptr};
        request = ::HttpOpenRequestW(connection, L"GET", object.c_str(), nullptr, nullptr, accept,
                                     INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                                         INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                                         (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0),
                                     0);
    }
    if (request) SetTimeouts(request);
    const ULONGLONG start = ::GetTickCount64();
    // Some WinINets end a receive that timed out as an aborted connection.
    auto failure = [start](DWORD error) {
        const bool late = ::GetTickCount64() - start >= static_cast<ULONGLONG>(g_fetchTimeout);
        return WinInetFailure(late && (error == ERROR_INTERNET_CONNECTION_ABORTED || error == ERROR_INTERNET_CONNECTION_RESET)
                                  ? ERROR_INTERNET_TIMEOUT
                                  : error);
    };
    if (!request || !::HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
        result.failure = failure(::GetLastError());
        for (HINTERNET handle : {request, connection, session})
            if (handle) ::InternetCloseHandle(handle);
        return;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    const bool http = ::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    if (http && status >= 400) {
        const std::wstring statusText = QueryText(request, HTTP_QUERY_STATUS_TEXT);
        result.failure = L"服务器回答 HTTP " + std::to_wstring(status) + (statusText.empty() ? L"" : L" " + statusText);
    } else {
        const std::wstring contentTypeWide = http ? QueryText(request, HTTP_QUERY_CONTENT_TYPE) : std::wstring();
        const std::string contentType(contentTypeWide.begin(), contentTypeWide.end());
        std::string body;
        char buffer[8192];
        DWORD read = 0;
        bool readOk = true;
        while ((readOk = ::InternetReadFile(request, buffer, sizeof buffer, &read) != FALSE) && read > 0) {
            body.append(buffer, read);
            if (body.size() >= kMaxPageBytes) break;
        }
        if (!readOk) {
            result.failure = failure(::GetLastError());
        } else {
            const UINT codePage = WebPageCodePage(contentType, body);
            size_t skip = codePage == CP_UTF8 && body.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
            std::wstring text(body.size(), L'\0');
            const int length = body.size() > skip ? ::MultiByteToWideChar(codePage, 0, body.data() + skip,
                                                                           static_cast<int>(body.size() - skip),
                                                                           &text[0], static_cast<int>(text.size()))
                                                  : 0;
            text.resize(length > 0 ? length : 0);
            if (LowerAscii(contentType).find("text/plain") != std::string::npos) {
                // Plain text: its lines as they are.
                size_t start = 0;
                while (start < text.size()) {
                    size_t end = std::min(text.find(L'\n', start), text.size());
                    std::wstring line = text.substr(start, end - start);
                    if (!line.empty() && line.back() == L'\r') line.pop_back();
                    CWebPageLine pageLine;
                    if (!line.empty()) pageLine.runs.push_back({line, std::wstring()});
                    if (!line.empty()) result.page.lines.push_back(pageLine);
                    start = end + 1;
                }
            } else {
                result.page = ParseWebPage(text, address);
            }
            result.ok = true;
        }
    }
    ::InternetCloseHandle(request);
    ::InternetCloseHandle(connection);
    ::InternetCloseHandle(session);
}

DWORD WINAPI FetchThread(void* parameter)
{
    std::unique_ptr<FetchJob> job(static_cast<FetchJob*>(parameter));
    const HMODULE module = job->module;
    {
        std::unique_ptr<FetchResult> result(new FetchResult);
        result->generation = job->generation;
        Fetch(job->address, *result);
        job->mailbox->Deliver(std::move(result));
        job.reset();
    }
    ::InterlockedDecrement(&g_fetchesInFlight);
    // The thread held the module that runs it, so that the module may be
    // unloaded while a fetch is still out.
    if (module) ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

// ---------------------------------------------------------------------------
// The control

enum class Phase { Blank, Loading, Shown, Failed };

struct BrowserState {
    HWND window = nullptr;
    std::wstring address;
    Phase phase = Phase::Blank;
    CWebPage page;
    std::wstring failure;
    std::shared_ptr<CFetchMailbox> mailbox;
    HFONT font = nullptr; // the parent's, not ours
    HFONT titleFont = nullptr;
    HFONT headingFont = nullptr;
    HFONT linkFont = nullptr;
    int scroll = 0;
    int contentHeight = 0;
};

const wchar_t kLoadingText[] = L"正在打开网页...";
const wchar_t kFailedText[] = L"无法显示此网页";

BrowserState* StateOf(HWND window) { return reinterpret_cast<BrowserState*>(::GetWindowLongPtrW(window, GWLP_USERDATA)); }

// What the control shows, as lines of text: its window text.
std::wstring ShownText(const BrowserState& state)
{
    std::wstring text = state.address;
    auto line = [&text](const std::wstring& each) { text += L"\r\n" + each; };
    switch (state.phase) {
    case Phase::Blank: break;
    case Phase::Loading: line(kLoadingText); break;
    case Phase::Failed:
        line(kFailedText);
        line(state.failure);
        break;
    case Phase::Shown:
        if (!state.page.title.empty()) line(state.page.title);
        for (const auto& each : state.page.lines) line(each.Text());
        break;
    }
    return text;
}

void DeleteFonts(BrowserState& state)
{
    for (HFONT* font : {&state.titleFont, &state.headingFont, &state.linkFont}) {
        if (*font) ::DeleteObject(*font);
        *font = nullptr;
    }
}

void MakeFonts(BrowserState& state)
{
    DeleteFonts(state);
    LOGFONTW base = {};
    ::GetObjectW(state.font ? state.font : ::GetStockObject(DEFAULT_GUI_FONT), sizeof base, &base);
    if (base.lfHeight == 0) base.lfHeight = -12;
    LOGFONTW title = base;
    title.lfHeight = base.lfHeight * 3 / 2;
    title.lfWeight = FW_BOLD;
    state.titleFont = ::CreateFontIndirectW(&title);
    LOGFONTW heading = base;
    heading.lfHeight = base.lfHeight * 5 / 4;
    heading.lfWeight = FW_BOLD;
    state.headingFont = ::CreateFontIndirectW(&heading);
    LOGFONTW link = base;
    link.lfUnderline = TRUE;
    state.linkFont = ::CreateFontIndirectW(&link);
}

void Navigate(BrowserState& state, const std::wstring& address)
{
    state.address = address;
    state.phase = Phase::Loading;
    state.page = CWebPage();
    state.failure.clear();
    state.scroll = 0;
    std::unique_ptr<FetchJob> job(new FetchJob{state.mailbox, state.mailbox->Begin(), address, nullptr});
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&FetchThread), &job->module);
    if (job->module == ::GetModuleHandleW(nullptr)) job->module = nullptr; // a program is not unloaded
    ::InterlockedIncrement(&g_fetchesInFlight);
    FetchJob* started = job.get();
    HANDLE thread = ::CreateThread(nullptr, 0, FetchThread, started, 0, nullptr);
    if (thread) {
        job.release();
        ::CloseHandle(thread);
    } else {
        ::InterlockedDecrement(&g_fetchesInFlight);
        if (job->module) ::FreeLibrary(job->module);
        state.phase = Phase::Failed;
        state.failure = L"无法开始下载（错误 " + std::to_wstring(::GetLastError()) + L"）";
    }
    ::InvalidateRect(state.window, nullptr, TRUE);
}

void TakeFetched(BrowserState& state)
{
    std::unique_ptr<FetchResult> result = state.mailbox->Take();
    if (!result) return;
    if (result->ok) {
        state.phase = Phase::Shown;
        state.page = std::move(result->page);
    } else {
        state.phase = Phase::Failed;
        state.failure = result->failure;
    }
    ::InvalidateRect(state.window, nullptr, TRUE);
}

// Paints text with wrapping: runs flow from (x, y) within [left, right),
// breaking at a space where one is near, else between any two characters
// (Chinese text has no spaces).
class CTextFlow {
public:
    CTextFlow(HDC dc, int left, int right, int y) : m_dc(dc), m_left(left), m_right(right), m_x(left), m_y(y) {}

    void Write(const std::wstring& text, HFONT font, COLORREF color)
    {
        ::SelectObject(m_dc, font);
        ::SetTextColor(m_dc, color);
        TEXTMETRICW metrics;
        ::GetTextMetricsW(m_dc, &metrics);
        m_lineHeight = std::max(m_lineHeight, static_cast<int>(metrics.tmHeight));
        size_t pos = 0;
        while (pos < text.size()) {
            const int count = static_cast<int>(text.size() - pos);
            int fit = 0;
            SIZE size;
            ::GetTextExtentExPointW(m_dc, text.c_str() + pos, count, std::max(m_right - m_x, 0), &fit, nullptr, &size);
            if (fit <= 0) {
                if (m_x > m_left) {
                    NewLine();
                    m_lineHeight = metrics.tmHeight;
                    continue;
                }
                fit = 1;
            }
            if (fit < count) {
                const size_t space = text.rfind(L' ', pos + fit);
                if (space != std::wstring::npos && space > pos && space + 1 - pos > static_cast<size_t>(fit) / 2)
                    fit = static_cast<int>(space + 1 - pos);
            }
            ::TextOutW(m_dc, m_x, m_y, text.c_str() + pos, fit);
            ::GetTextExtentPoint32W(m_dc, text.c_str() + pos, fit, &size);
            m_x += size.cx;
            pos += fit;
            if (pos < text.size()) {
                NewLine();
                m_lineHeight = metrics.tmHeight;
            }
        }
    }
    void NewLine(int gap = 0)
    {
        m_y += m_lineHeight + gap;
        m_x = m_left;
        m_lineHeight = 0;
    }
    int Y() const { return m_y; }

private:
    HDC m_dc;
    int m_left, m_right, m_x, m_y;
    int m_lineHeight = 0;
};

const COLORREF kPageColour = RGB(255, 255, 255);
const COLORREF kBarColour = RGB(236, 236, 236);
const COLORREF kBarLineColour = RGB(190, 190, 190);
const COLORREF kTextColour = RGB(0, 0, 0);
const COLORREF kQuietColour = RGB(110, 110, 110);
const COLORREF kLinkColour = RGB(0, 0, 204);
const COLORREF kFailureColour = RGB(170, 0, 0);

void Paint(BrowserState& state, HDC target)
{
    RECT client;
    ::GetClientRect(state.window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) return;
    // Drawn in memory first, so that a repaint does not flicker.
    HDC dc = ::CreateCompatibleDC(target);
    HBITMAP bitmap = ::CreateCompatibleBitmap(target, width, height);
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    HFONT base = state.font ? state.font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    HGDIOBJ oldFont = ::SelectObject(dc, base);
    ::SetBkMode(dc, TRANSPARENT);

    HBRUSH page = ::CreateSolidBrush(kPageColour);
    ::FillRect(dc, &client, page);
    ::DeleteObject(page);

    TEXTMETRICW metrics;
    ::GetTextMetricsW(dc, &metrics);
    const int margin = 12;
    const int barHeight = metrics.tmHeight + 10;

    // The page, below the address bar, moved by the scroll position.
    CTextFlow flow(dc, margin, width - margin, barHeight + 10 - state.scroll);
    switch (state.phase) {
    case Phase::Blank: break;
    case Phase::Loading: flow.Write(kLoadingText, base, kQuietColour); break;
    case Phase::Failed:
        flow.Write(kFailedText, state.titleFont, kTextColour);
        flow.NewLine(10);
        flow.Write(state.failure, base, kFailureColour);
        break;
    case Phase::Shown:
        if (!state.page.title.empty()) {
            flow.Write(state.page.title, state.titleFont, kTextColour);
            flow.NewLine(10);
        }
        for (const auto& line : state.page.lines) {
            for (const auto& run : line.runs) {
                if (run.href.empty()) {
                    flow.Write(run.text, line.heading ? state.headingFont : base, kTextColour);
                } else {
                    if (!run.text.empty()) flow.Write(run.text, state.linkFont, kLinkColour);
                    flow.Write(run.text.empty() ? L"[" + run.href + L"]" : L" [" + run.href + L"]", base, kQuietColour);
                }
            }
            flow.NewLine(line.heading ? 8 : 4);
        }
        break;
    }
    state.contentHeight = flow.Y() + state.scroll + margin;

    // The address bar stays on top of the page as it scrolls.
    RECT bar = {0, 0, width, barHeight};
    HBRUSH barBrush = ::CreateSolidBrush(kBarColour);
    ::FillRect(dc, &bar, barBrush);
    ::DeleteObject(barBrush);
    RECT barLine = {0, barHeight - 1, width, barHeight};
    HBRUSH lineBrush = ::CreateSolidBrush(kBarLineColour);
    ::FillRect(dc, &barLine, lineBrush);
    ::DeleteObject(lineBrush);
    ::SelectObject(dc, base);
    ::SetTextColor(dc, kTextColour);
    RECT addressRect = {6, 0, width - 6, barHeight - 1};
    ::DrawTextW(dc, state.address.c_str(), static_cast<int>(state.address.size()), &addressRect,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);

    ::BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}

void Scroll(BrowserState& state, int by)
{
    RECT client;
    ::GetClientRect(state.window, &client);
    const int limit = std::max(0, state.contentHeight - static_cast<int>(client.bottom));
    const int scroll = std::min(std::max(state.scroll + by, 0), limit);
    if (scroll == state.scroll) return;
    state.scroll = scroll;
    ::InvalidateRect(state.window, nullptr, FALSE);
}

LRESULT CALLBACK BrowserControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BrowserState* state = StateOf(window);
    if (!state) {
        if (message != WM_NCCREATE) return ::DefWindowProcW(window, message, wParam, lParam);
        state = new BrowserState;
        state->window = window;
        state->mailbox = std::make_shared<CFetchMailbox>(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        MakeFonts(*state);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_BROWSER_NAVIGATE: {
        BSTR url = reinterpret_cast<BSTR>(lParam);
        Navigate(*state, url ? std::wstring(url, ::SysStringLen(url)) : std::wstring());
        return 0;
    }
    case WM_BROWSER_FETCHED: TakeFetched(*state); return 0;
    case WM_GETTEXT: {
        if (wParam == 0) return 0;
        const std::wstring text = ShownText(*state);
        const size_t count = std::min(text.size(), static_cast<size_t>(wParam) - 1);
        wchar_t* buffer = reinterpret_cast<wchar_t*>(lParam);
        text.copy(buffer, count);
        buffer[count] = 0;
        return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(ShownText(*state).size());
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        MakeFonts(*state);
        if (LOWORD(lParam)) ::InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_ERASEBKGND: return 1; // painting covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        Paint(*state, dc);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_PRINTCLIENT: Paint(*state, reinterpret_cast<HDC>(wParam)); return 0;
    case WM_MOUSEWHEEL: {
        TEXTMETRICW metrics = {};
        HDC dc = ::GetDC(window);
        HGDIOBJ old = ::SelectObject(dc, state->font ? state->font : ::GetStockObject(DEFAULT_GUI_FONT));
        ::GetTextMetricsW(dc, &metrics);
        ::SelectObject(dc, old);
        ::ReleaseDC(window, dc);
        Scroll(*state, -GET_WHEEL_DELTA_WPARAM(wParam) * 3 * metrics.tmHeight / WHEEL_DELTA);
        return 0;
    }
    case WM_NCDESTROY: {
        // A fetch still out finds the mailbox closed and frees its result.
        state->mailbox->Close();
        DeleteFonts(*state);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete state;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    default: return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

ATOM g_controlClass = 0;

// The module whose code the class runs: the plugin's, not the host's.
HMODULE ControlModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&BrowserControlProc), &module);
    return module;
}

} // namespace

bool CWebBrowser2::RegisterControlClass()
{
    if (g_controlClass) return true;
    WNDCLASSW control = {};
    // Global, so that templates of any module find it by name.
    control.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    control.lpfnWndProc = BrowserControlProc;
    control.hInstance = ControlModule();
    control.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    control.lpszClassName = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
    g_controlClass = ::RegisterClassW(&control);
    return g_controlClass != 0;
}

bool CWebBrowser2::UnregisterControlClass()
{
    if (!g_controlClass) return true;
    if (!::UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(g_controlClass)), ControlModule()))
        return false;
    g_controlClass = 0;
    return true;
}

LONG CWebBrowser2::FetchesInFlight() { return ::InterlockedCompareExchange(&g_fetchesInFlight, 0, 0); }

void CWebBrowser2::SetFetchTimeout(DWORD milliseconds) { ::InterlockedExchange(&g_fetchTimeout, static_cast<LONG>(milliseconds)); }

void CWebBrowser2::Navigate(LPCSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
{
    // The address travels as a BSTR, as the control's dispatch interface takes it.
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, url, -1, nullptr, 0);
    BSTR address = ::SysAllocStringLen(nullptr, wide > 0 ? wide - 1 : 0);
    if (!address) return;
    ::MultiByteToWideChar(CP_ACP, 0, url, -1, address, wide);
    SendMessage(WM_BROWSER_NAVIGATE, 0, reinterpret_cast<LPARAM>(address));
    ::SysFreeString(address);
}
