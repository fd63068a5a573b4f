// The browser control end to end against an HTTP server of the test's own:
// what it fetches and the text it shows, or the reason there is no page.
#include <winsock2.h>

#include "browser/web_browser2.h"
#include "loopback.h"
#include "wide_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Answers every connection with one GBK page that names no charset, and
// keeps the request line of the last request.
class CTestServer {
public:
    CTestServer()
    {
        m_listener = BoundLoopback(&m_port);
        listen(m_listener, 4);
        m_thread = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
    }
    ~CTestServer()
    {
        closesocket(m_listener);
        WaitForSingleObject(m_thread, 10000);
        CloseHandle(m_thread);
    }
    std::wstring Address(const wchar_t* target) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + target;
    }
    std::string lastRequest;

private:
    static DWORD WINAPI Serve(void* self)
    {
        auto server = static_cast<CTestServer*>(self);
        for (SOCKET client; (client = accept(server->m_listener, nullptr, nullptr)) != INVALID_SOCKET;) {
            std::string request;
            char buffer[2048];
            for (int got;
                 request.find("\r\n\r\n") == std::string::npos && (got = recv(client, buffer, sizeof buffer, 0)) > 0;)
                request.append(buffer, got);
            server->lastRequest = request.substr(0, request.find("\r\n"));
            const std::string body = "<html><head><title> 短信服务 &amp; 测试 </title></head>\n"
                                     "<body><h1>欢迎</h1><p>帐号：<b>10001</b>\n  注册手机：13800000001</p>"
                                     "<ul><li><a href=\"/order?option=bind&amp;user_id=10001\">绑定手机</a></li>"
                                     "</ul>第一行<br>第二行</body></html>";
            const std::string response =
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\nConnection: close\r\n\r\n" + body;
            send(client, response.data(), static_cast<int>(response.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
        return 0;
    }
    SOCKET m_listener;
    USHORT m_port = 0;
    HANDLE m_thread;
};

// The control's text: the address, then the page's lines or why there is
// none.
std::wstring Shown(HWND control)
{
    std::vector<wchar_t> buffer(GetWindowTextLengthW(control) + 1);
    GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

// Navigates and pumps messages until the fetch has ended and its result has
// been taken; false after ten seconds.
bool Show(CWebBrowser2& browser, const std::wstring& address)
{
    browser.Navigate(Narrow(address).c_str(), nullptr, nullptr, nullptr, nullptr);
    MSG message;
    for (int i = 0; i < 1000; ++i) {
        // A fetch ends before the control has taken its result: one more pump.
        const bool ended = CWebBrowser2::FetchesInFlight() == 0;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (ended) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}

} // namespace

TEST(WebBrowserTest, ShowsAGbkPageWithItsLinksOrWhyThereIsNone)
{
    ASSERT_TRUE(CWebBrowser2::RegisterControlClass());
    CTestServer server;
    HWND parent = CreateWindowExW(0, L"Static", L"browser test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 520, 420,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowExA(0, CWebBrowser2::ControlClassName(), "", WS_CHILD | WS_VISIBLE, 0, 0, 500, 400,
                                   parent, reinterpret_cast<HMENU>(3059), nullptr, nullptr);
    CWebBrowser2 browser;
    browser.Attach(control);

    const std::wstring address = server.Address(L"/gbk?option=add&user_id=1 0");
    ASSERT_TRUE(Show(browser, address));
    const std::wstring link = server.Address(L"/order?option=bind&user_id=10001");
    EXPECT_EQ(address + L"\r\n短信服务 & 测试\r\n欢迎\r\n帐号：10001 注册手机：13800000001\r\n绑定手机 [" + link +
                  L"]\r\n第一行\r\n第二行",
              Shown(control))
        << Narrow(Shown(control));
    EXPECT_EQ(0u, server.lastRequest.find("GET /gbk?option=add&user_id=1")) << server.lastRequest;

    // A port nothing listens on.
    USHORT port = 0;
    closesocket(BoundLoopback(&port));
    const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(port) + L"/order";
    ASSERT_TRUE(Show(browser, refused));
    EXPECT_EQ(0u, Shown(control).find(refused + L"\r\n无法显示此网页\r\n无法连接到服务器（WinINet 错误 12029）"))
        << Narrow(Shown(control));

    browser.Detach();
    DestroyWindow(parent);
}
