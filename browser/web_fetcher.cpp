#include "web_fetcher.h"

#include <wininet.h>

namespace {

const DWORD kMaxPageBytes = 4 * 1024 * 1024;

LONG g_fetchesInFlight = 0;
LONG g_fetchTimeout = 15000;

struct FetchJob {
    std::shared_ptr<CWebFetcher> fetcher;
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

// Some WinINets end a receive that timed out as an aborted connection. The
// tick count moves in steps of some milliseconds, so a cut that comes with
// the time-out may read a step early.
std::wstring FailureSince(ULONGLONG start, DWORD error)
{
    const ULONGLONG kTickStepMs = 32;
    const bool late = ::GetTickCount64() - start + kTickStepMs >= static_cast<ULONGLONG>(g_fetchTimeout);
    const bool cut = error == ERROR_INTERNET_CONNECTION_ABORTED || error == ERROR_INTERNET_CONNECTION_RESET;
    return WinInetFailure(late && cut ? ERROR_INTERNET_TIMEOUT : error);
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

struct FetchTarget {
    std::wstring host;
    INTERNET_PORT port;
    std::wstring object; // path and query
    bool secure;
};

bool CrackAddress(const std::wstring& address, FetchTarget& target, std::wstring& failure)
{
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
        failure = WinInetFailure(::GetLastError());
        return false;
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
        failure = WinInetFailure(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return false;
    }
    target = {host, parts.nPort, std::wstring(path[0] ? path : L"/") + extra, parts.nScheme == INTERNET_SCHEME_HTTPS};
    return true;
}

// The session, connection and request of one GET, closed together.
class CInternetRequest {
public:
    CInternetRequest() = default;
    CInternetRequest(const CInternetRequest&) = delete;
    CInternetRequest& operator=(const CInternetRequest&) = delete;
    ~CInternetRequest()
    {
        for (HINTERNET handle : {m_request, m_connection, m_session})
            if (handle) ::InternetCloseHandle(handle);
    }

    // Connection and request are opened one by one rather than by address
    // alone, so that each takes the time-outs: not every WinINet passes them
    // down from the session. False with the thread's last error set.
    bool Send(const FetchTarget& target)
    {
        m_session = ::InternetOpenW(L"smsutil", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
        if (!m_session) return false;
        SetTimeouts(m_session);
        m_connection = ::InternetConnectW(m_session, target.host.c_str(), target.port, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0);
        if (!m_connection) return false;
        SetTimeouts(m_connection);
        const wchar_t* accept[] = {L"text/html", L"*/*", nullptr};
        const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                            INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH | (target.secure ? INTERNET_FLAG_SECURE : 0);
        m_request = ::HttpOpenRequestW(m_connection, L"GET", target.object.c_str(), nullptr, nullptr, accept, flags, 0);
        if (!m_request) return false;
        SetTimeouts(m_request);
        return ::HttpSendRequestW(m_request, nullptr, 0, nullptr, 0) != FALSE;
    }

    // The status, or 0 for an answer that is not HTTP.
    DWORD Status() const
    {
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!::HttpQueryInfoW(m_request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            return 0;
        return status;
    }
    std::wstring Header(DWORD what) const { return QueryText(m_request, what); }

    // The body, up to kMaxPageBytes; false with the thread's last error set.
    bool ReadBody(std::string& body) const
    {
        char buffer[8192];
        DWORD read = 0;
        for (;;) {
            if (!::InternetReadFile(m_request, buffer, sizeof buffer, &read)) return false;
            if (read == 0) return true;
            body.append(buffer, read);
            if (body.size() >= kMaxPageBytes) return true;
        }
    }

private:
    HINTERNET m_session = nullptr;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
};

void Fetch(const std::wstring& address, CWebFetcher::Result& result)
{
    FetchTarget target;
    if (!CrackAddress(address, target, result.failure)) return;
    CInternetRequest request;
    const ULONGLONG start = ::GetTickCount64();
    if (!request.Send(target)) {
        result.failure = FailureSince(start, ::GetLastError());
        return;
    }
    const DWORD status = request.Status();
    if (status >= 400) {
        const std::wstring statusText = request.Header(HTTP_QUERY_STATUS_TEXT);
        result.failure = L"服务器回答 HTTP " + std::to_wstring(status) + (statusText.empty() ? L"" : L" " + statusText);
        return;
    }
    const std::wstring contentType = status ? request.Header(HTTP_QUERY_CONTENT_TYPE) : std::wstring();
    std::string body;
    if (!request.ReadBody(body)) {
        result.failure = FailureSince(start, ::GetLastError());
        return;
    }
    result.page = WebPageFromBytes(std::string(contentType.begin(), contentType.end()), body, address);
    result.ok = true;
}

} // namespace

CWebFetcher::CWebFetcher(HWND window, UINT fetchedMessage) : m_window(window), m_fetchedMessage(fetchedMessage) {}

CWebFetcher::~CWebFetcher() { delete m_result; }

bool CWebFetcher::Start(const std::wstring& address, std::wstring& failure)
{
    std::unique_ptr<FetchJob> job(new FetchJob{shared_from_this(), Begin(), address, nullptr});
    // The thread holds the module that runs it, so that the module may be
    // unloaded while a fetch is still out; a program is never unloaded.
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&FetchThread), &job->module);
    if (job->module == ::GetModuleHandleW(nullptr)) job->module = nullptr;
    ::InterlockedIncrement(&g_fetchesInFlight);
    HANDLE thread = ::CreateThread(nullptr, 0, FetchThread, job.get(), 0, nullptr);
    if (thread) {
        job.release();
        ::CloseHandle(thread);
        return true;
    }
    const DWORD error = ::GetLastError();
    ::InterlockedDecrement(&g_fetchesInFlight);
    if (job->module) ::FreeLibrary(job->module);
    failure = L"无法开始下载（错误 " + std::to_wstring(error) + L"）";
    return false;
}

DWORD WINAPI CWebFetcher::FetchThread(void* parameter)
{
    std::unique_ptr<FetchJob> job(static_cast<FetchJob*>(parameter));
    const HMODULE module = job->module;
    {
        std::unique_ptr<Result> result(new Result);
        Fetch(job->address, *result);
        job->fetcher->Deliver(job->generation, std::move(result));
        job.reset();
    }
    ::InterlockedDecrement(&g_fetchesInFlight);
    if (module) ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

unsigned CWebFetcher::Begin()
{
    AcquireSRWLockExclusive(&m_lock);
    const unsigned generation = ++m_generation;
    delete m_result;
    m_result = nullptr;
    ReleaseSRWLockExclusive(&m_lock);
    return generation;
}

void CWebFetcher::Deliver(unsigned generation, std::unique_ptr<Result> result)
{
    AcquireSRWLockExclusive(&m_lock);
    if (!m_closed && generation == m_generation) {
        delete m_result;
        m_result = result.release();
        ::PostMessageW(m_window, m_fetchedMessage, 0, 0);
    }
    ReleaseSRWLockExclusive(&m_lock);
}

std::unique_ptr<CWebFetcher::Result> CWebFetcher::Take()
{
    AcquireSRWLockExclusive(&m_lock);
    std::unique_ptr<Result> result(m_result);
    m_result = nullptr;
    ReleaseSRWLockExclusive(&m_lock);
    return result;
}

void CWebFetcher::Close()
{
    AcquireSRWLockExclusive(&m_lock);
    m_closed = true;
    delete m_result;
    m_result = nullptr;
    ReleaseSRWLockExclusive(&m_lock);
}

LONG CWebFetcher::InFlight() { return ::InterlockedCompareExchange(&g_fetchesInFlight, 0, 0); }

void CWebFetcher::SetTimeout(DWORD milliseconds) { ::InterlockedExchange(&g_fetchTimeout, static_cast<LONG>(milliseconds)); }
