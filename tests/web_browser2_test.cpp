// The browser control against a small HTTP server of the test's own: what it
// fetches, the text it shows, the reasons it gives when there is no page, and
// that a control destroyed mid-fetch leaks nothing. How it draws a page is
// left to the demo's pictures.
#include <winsock2.h>

#include "browser/web_browser2.h"
#include "guarded_heap.h"
#include "loopback.h"
#include "wide_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A port nothing listens on: bound once, then closed.
USHORT RefusingPort()
{
    USHORT port = 0;
    closesocket(BoundLoopback(&port));
    return port;
}

// Serves canned pages on loopback, one plain Win32 thread per connection:
// what they allocate is freed before they end, so heap counts taken while
// none runs are exact. "/hold" and "/silent" answer only once released.
class CTestServer {
public:
    CTestServer()
    {
        s_server = this;
        m_listener = BoundLoopback(&m_port);
        listen(m_listener, 16);
        m_acceptor = CreateThread(nullptr, 0, AcceptThread, nullptr, 0, nullptr);
    }
    ~CTestServer()
    {
        Release();
        closesocket(m_listener);
        WaitForSingleObject(m_acceptor, 10000);
        CloseHandle(m_acceptor);
        WaitIdle();
        CloseHandle(m_release);
    }
    std::wstring Address(const char* target) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + std::wstring(target, target + strlen(target));
    }
    void Release() { SetEvent(m_release); }
    LONG Requests() { return InterlockedCompareExchange(&m_requests, 0, 0); }
    // The request line of the last request.
    std::string LastRequest()
    {
        AcquireSRWLockShared(&m_lock);
        const std::string line = m_lastRequest;
        ReleaseSRWLockShared(&m_lock);
        return line;
    }
    void WaitIdle()
    {
        for (int i = 0; i < 1000 && InterlockedCompareExchange(&m_handlers, 0, 0) > 0; ++i) Sleep(10);
    }

private:
    static DWORD WINAPI AcceptThread(void*)
    {
        for (SOCKET client; (client = accept(s_server->m_listener, nullptr, nullptr)) != INVALID_SOCKET;) {
            InterlockedIncrement(&s_server->m_handlers);
            HANDLE thread = CreateThread(nullptr, 0, ConnectionThread, reinterpret_cast<void*>(client), 0, nullptr);
            if (thread) CloseHandle(thread);
        }
        return 0;
    }
    static DWORD WINAPI ConnectionThread(void* client)
    {
        s_server->Serve(reinterpret_cast<SOCKET>(client));
        InterlockedDecrement(&s_server->m_handlers);
        return 0;
    }
    void Serve(SOCKET client)
    {
        std::string request;
        char buffer[2048];
        for (int got;
             request.find("\r\n\r\n") == std::string::npos && (got = recv(client, buffer, sizeof buffer, 0)) > 0;)
            request.append(buffer, got);
        const std::string line = request.substr(0, request.find("\r\n"));
        AcquireSRWLockExclusive(&m_lock);
        m_lastRequest = line;
        ReleaseSRWLockExclusive(&m_lock);
        InterlockedIncrement(&m_requests);
        const size_t pathStart = line.find(' ') + 1;
        const std::string target = line.substr(pathStart, line.find(' ', pathStart) - pathStart);
        std::string status = "200 OK", type = "text/html", body;
        if (target.compare(0, 4, "/gbk") == 0) {
            // No charset in the header: the meta tag names it.
            body = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                   "<title> 短信服务 &amp; 测试 </title><style>p { color: red }</style></head>\n"
                   "<body><h1>欢迎</h1><p>帐号：<b>10001</b>\n  注册手机：13800000001</p>"
                   "<script>document.write('不是正文');</script><!-- 注释 -->"
                   "<p>&lt;b&gt; &amp; &#20013;&#x6587;&nbsp;!</p>"
                   "<ul><li><a href=\"/order?option=bind&amp;user_id=10001\">绑定手机</a></li>"
                   "<li>看 <a href='http://example.invalid/x'>别处</a> 吧</li></ul>第一行<br>第二行</body></html>";
        } else if (target == "/utf8") {
            type = "text/html; charset=UTF-8";
            body = u8"<html><head><title>UTF-8 页面</title></head><body><p>你好，世界</p></body></html>";
        } else if (target == "/hold" || target == "/silent") {
            WaitForSingleObject(m_release, 20000);
            body = target == "/hold" ? "<title>held</title>" : "";
        } else {
            status = target == "/broken" ? "500 Internal Server Error" : "404 Not Found";
        }
        const std::string response = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                                     "\r\nContent-Length: " + std::to_string(body.size()) +
                                     "\r\nConnection: close\r\n\r\n" + body;
        if (target != "/silent") send(client, response.data(), static_cast<int>(response.size()), 0);
        shutdown(client, SD_SEND);
        closesocket(client);
    }

    static CTestServer* s_server;
    SOCKET m_listener;
    USHORT m_port = 0;
    HANDLE m_acceptor = nullptr;
    HANDLE m_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    LONG m_requests = 0;
    LONG m_handlers = 0;
    std::string m_lastRequest;
    SRWLOCK m_lock = SRWLOCK_INIT;
};
CTestServer* CTestServer::s_server = nullptr;

// The control's text, line by line.
std::vector<std::wstring> ShownLines(HWND control)
{
    std::vector<wchar_t> buffer(GetWindowTextLengthW(control) + 1);
    GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
    const std::wstring text = buffer.data();
    std::vector<std::wstring> lines;
    for (size_t start = 0, end = 0; end != std::wstring::npos; start = end + 2) {
        end = text.find(L"\r\n", start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    }
    return lines;
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// Waits, pumping messages, until `done` (by default: every fetch has ended
// and its result has been taken); false after ten seconds.
template <typename Done> bool WaitFor(Done done)
{
    for (int i = 0; i < 1000; ++i) {
        Pump();
        if (done()) return Pump(), true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}
bool WaitForFetches()
{
    return WaitFor([] { return CWebBrowser2::FetchesInFlight() == 0; });
}

class WebBrowserTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(CWebBrowser2::RegisterControlClass()); }

    void SetUp() override
    {
        CWebBrowser2::SetFetchTimeout(15000);
        parent = CreateWindowExW(0, L"Static", L"browser test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 520, 420,
                                 nullptr, nullptr, nullptr, nullptr);
        control = CreateControl();
        font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"宋体");
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        browser.Attach(control);
    }
    void TearDown() override
    {
        browser.Detach();
        DestroyWindow(parent);
        DeleteObject(font);
        WaitForFetches();
    }
    HWND CreateControl()
    {
        RECT client;
        GetClientRect(parent, &client);
        return CreateWindowExA(0, CWebBrowser2::ControlClassName(), "", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                               client.bottom, parent, reinterpret_cast<HMENU>(3059), nullptr, nullptr);
    }
    void Open(const std::wstring& address)
    {
        browser.Navigate(Narrow(address).c_str(), nullptr, nullptr, nullptr, nullptr);
    }
    // Navigates and waits for the page or the reason there is none.
    std::vector<std::wstring> Show(const std::wstring& address)
    {
        Open(address);
        EXPECT_TRUE(WaitForFetches()) << "the fetch of " << Narrow(address) << " never ended";
        return ShownLines(control);
    }

    CTestServer server;
    HWND parent = nullptr;
    HWND control = nullptr;
    HFONT font = nullptr;
    CWebBrowser2 browser;
};

} // namespace

TEST_F(WebBrowserTest, FetchesTheAddressAndShowsAGbkOrUtf8PageWithItsLinks)
{
    const std::wstring address = server.Address("/gbk?option=add&user_id=1 0");
    Open(address);
    EXPECT_EQ((std::vector<std::wstring>{address, L"正在打开网页..."}), ShownLines(control)) << "until the page comes";
    ASSERT_TRUE(WaitForFetches());
    auto lines = ShownLines(control);
    const std::vector<std::wstring> expected = {address,
                                                L"短信服务 & 测试",
                                                L"欢迎",
                                                L"帐号：10001 注册手机：13800000001",
                                                L"<b> & 中文 !",
                                                L"绑定手机 [" + server.Address("/order?option=bind&user_id=10001") +
                                                    L"]",
                                                L"看 别处 [http://example.invalid/x] 吧",
                                                L"第一行",
                                                L"第二行"};
    EXPECT_EQ(expected, lines) << Joined(lines);
    EXPECT_EQ(0u, server.LastRequest().find("GET /gbk?option=add&user_id=1")) << server.LastRequest();
    // The ANSI text is the same in the system's code page.
    char ansi[1024] = {};
    GetWindowTextA(control, ansi, sizeof ansi);
    EXPECT_NE(nullptr, strstr(ansi, "\r\n短信服务 & 测试\r\n欢迎\r\n")) << ansi;

    lines = Show(server.Address("/utf8"));
    EXPECT_EQ((std::vector<std::wstring>{server.Address("/utf8"), L"UTF-8 页面", L"你好，世界"}), lines)
        << Joined(lines);
}

TEST_F(WebBrowserTest, APageThatCannotBeHadSaysWhy)
{
    const struct {
        std::wstring address;
        DWORD timeout;
        std::wstring reason;
    } cases[] = {
        {server.Address("/nothing"), 15000, L"服务器回答 HTTP 404 Not Found"},
        {server.Address("/broken"), 15000, L"服务器回答 HTTP 500 Internal Server Error"},
        {L"http://127.0.0.1:" + std::to_wstring(RefusingPort()) + L"/order", 15000,
         L"无法连接到服务器（WinINet 错误 12029）"},
        {L"?option=bind&registerPhone=&service=1001", 15000, L"地址无效"},
        {server.Address("/silent"), 300, L"服务器没有在规定的时间内回答（WinINet 错误 12002）"},
    };
    for (const auto& each : cases) {
        CWebBrowser2::SetFetchTimeout(each.timeout);
        const auto lines = Show(each.address);
        ASSERT_EQ(3u, lines.size()) << Joined(lines);
        EXPECT_EQ(each.address, lines[0]);
        EXPECT_EQ(L"无法显示此网页", lines[1]);
        EXPECT_EQ(0u, lines[2].find(each.reason)) << "expected " << Narrow(each.reason) << ", got " << Narrow(lines[2]);
    }
    server.Release();
}

TEST_F(WebBrowserTest, ANewerNavigationWinsOverAnOlderFetch)
{
    Open(server.Address("/hold"));
    for (int i = 0; i < 500 && server.Requests() == 0; ++i) Sleep(10);
    Open(server.Address("/utf8"));
    ASSERT_TRUE(
        WaitFor([&] { return ShownLines(control).size() < 2 || ShownLines(control)[1] != L"正在打开网页..."; }));
    const auto lines = ShownLines(control);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(L"UTF-8 页面", lines[1]);
    server.Release();
    ASSERT_TRUE(WaitForFetches());
    EXPECT_EQ(lines, ShownLines(control)) << "the held page came last but was asked for first";
}

TEST_F(WebBrowserTest, DestroyingTheControlMidFetchLeaksNothing)
{
    Show(server.Address("/utf8")); // whatever is made once per process is made now
    server.WaitIdle();
    const GuardedHeap::Counts before = GuardedHeap::Live();
    GuardedHeap::BeginQuarantine();
    // Destroyed while the server holds the answer, then with the result
    // delivered but not yet taken.
    for (const char* target : {"/hold", "/utf8"}) {
        HWND doomed = CreateControl();
        CWebBrowser2 wrapper;
        wrapper.Attach(doomed);
        wrapper.Navigate(Narrow(server.Address(target)).c_str(), nullptr, nullptr, nullptr, nullptr);
        wrapper.Detach();
        if (target[1] == 'h') {
            for (int i = 0; i < 500 && server.Requests() < 2; ++i) Sleep(10);
            DestroyWindow(doomed);
            server.Release();
            while (CWebBrowser2::FetchesInFlight() > 0) Sleep(10); // no messages pumped: nothing is taken
        } else {
            for (int i = 0; i < 1000 && CWebBrowser2::FetchesInFlight() > 0; ++i) Sleep(10);
            DestroyWindow(doomed);
        }
    }
    Pump();
    server.WaitIdle();
    EXPECT_EQ(0u, GuardedHeap::EndQuarantine()) << "freed memory written to";
    const GuardedHeap::Counts after = GuardedHeap::Live();
    EXPECT_EQ(before.blocks, after.blocks) << "blocks still live";
    EXPECT_EQ(before.bytes, after.bytes);
}
