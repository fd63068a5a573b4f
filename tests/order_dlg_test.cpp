// The order dialog against a service of the test's own: the page address it
// builds, the page it shows once ready, the keys it takes and the layout it
// keeps while resized. Its other states and the retry are read through the
// service window's start-up.
#include "dialog_input.h"
#include "dialogs/order_dlg.h"
#include "dialogs/window_registry.h"
#include "res/resource.h"
#include "window_text.h"

#include <gtest/gtest.h>

namespace {

class CRecordingService : public COrderService {
public:
    COrderPage GetOrderPage() override { return page; }
    void RetryService() override { ++retries; }

    COrderPage page;
    int retries = 0;
};

// The browser's first line: the address it was told to go to; the page, or
// why there is none, follows on the lines below.
std::string AddressShown(HWND browser)
{
    const std::string text = WindowText(browser);
    return text.substr(0, text.find("\r\n"));
}

RECT ChildRect(HWND dialog, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class OrderDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitWindowRegistry());
        CResourceSourceScope resources(GetModuleHandleA(nullptr));
        dialog = static_cast<COrderDlg*>(CreateRegisteredWindow(RUNTIME_CLASS(COrderDlg), "smsutil_order"));
        ASSERT_NE(nullptr, dialog);
        dialog->m_strRegKey = "smsutil_order";
        ASSERT_TRUE(dialog->Create(&service));
        dialog->ShowWindow(SW_SHOWNORMAL);
        window = dialog->m_hWnd;
    }
    void TearDown() override { FreeWindowRegistry(); }

    CRecordingService service;
    COrderDlg* dialog = nullptr;
    HWND window = nullptr;
};

} // namespace

TEST(OrderAddressTest, OptionByLevelAndValuesUnchanged)
{
    COrderPage page;
    page.base = "B";
    page.registerPhone = "P";
    page.userId = "U";
    page.sessionId = "S";
    const struct {
        int level;
        const char* option;
    } cases[] = {{2, "add"}, {3, "display"}, {0, "bind"}, {1, "bind"}, {4, "bind"}, {-1, "bind"}};
    for (const auto& each : cases) {
        page.level = each.level;
        EXPECT_EQ(std::string("B?option=") + each.option + "&registerPhone=P&service=1001&user_id=U&session_id=S",
                  (const char*)BuildOrderPageAddress(page))
            << each.level;
    }
    page.base = "http://x/o?a=1";
    page.level = 2;
    page.registerPhone = "1 3";
    page.userId = "a&b";
    page.sessionId = "s s";
    EXPECT_STREQ("http://x/o?a=1?option=add&registerPhone=1 3&service=1001&user_id=a&b&session_id=s s",
                 BuildOrderPageAddress(page))
        << "nothing escaped";
}

TEST_F(OrderDialogTest, ReadyShowsThePageOfTheServiceAsItIsNow)
{
    service.page.base = "http://h/o";
    service.page.level = -1;
    service.page.userId = "10001";
    service.page.sessionId = "session-1";
    dialog->SetServiceState(COrderDlg::STATE_READY);
    EXPECT_TRUE(dialog->m_browser.IsWindowVisible());
    EXPECT_FALSE(dialog->m_status.IsWindowVisible());
    EXPECT_FALSE(dialog->m_retry.IsWindowVisible());
    EXPECT_EQ("http://h/o?option=bind&registerPhone=&service=1001&user_id=10001&session_id=session-1",
              AddressShown(dialog->m_browser.m_hWnd));
    SendMessageA(dialog->m_retry.m_hWnd, BM_CLICK, 0, 0);
    EXPECT_EQ(0, service.retries);
    service.page.level = 3;
    dialog->SetServiceState(COrderDlg::STATE_READY);
    EXPECT_EQ(0u, AddressShown(dialog->m_browser.m_hWnd).find("http://h/o?option=display")) << "navigates again";
}

TEST_F(OrderDialogTest, EnterKeepsTheDialogAndEscapeDeletesIt)
{
    PressDialogKey(window, VK_RETURN);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(dialog, FindRegisteredWindow("smsutil_order"));
    PressDialogKey(window, VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, FindRegisteredWindow("smsutil_order")) << "unregistered and deleted";
}

TEST_F(OrderDialogTest, ResizingKeepsTheBrowserFillingAndTheRetryCentred)
{
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(528, frame.right - frame.left);
    EXPECT_EQ(470, frame.bottom - frame.top);

    MINMAXINFO limits = {};
    SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_LT(limits.ptMinTrackSize.x, 528) << "the template's size is the minimum";
    EXPECT_GT(limits.ptMinTrackSize.x, 200);

    auto measure = [&](RECT& client, RECT& browser, RECT& status, RECT& retry) {
        GetClientRect(window, &client);
        browser = ChildRect(window, dialog->m_browser.m_hWnd);
        status = ChildRect(window, dialog->m_status.m_hWnd);
        retry = ChildRect(window, dialog->m_retry.m_hWnd);
    };
    RECT client1, browser1, status1, retry1;
    measure(client1, browser1, status1, retry1);
    SetWindowPos(window, nullptr, 0, 0, 800, 601, SWP_NOMOVE | SWP_NOZORDER);
    RECT client2, browser2, status2, retry2;
    measure(client2, browser2, status2, retry2);

    EXPECT_EQ(browser1.left, browser2.left);
    EXPECT_EQ(browser1.top, browser2.top);
    EXPECT_EQ(client1.right - browser1.right, client2.right - browser2.right);
    EXPECT_EQ(client1.bottom - browser1.bottom, client2.bottom - browser2.bottom);
    EXPECT_EQ(status1.left, status2.left);
    EXPECT_EQ(client1.right - status1.right, client2.right - status2.right);
    EXPECT_EQ(status1.bottom - status1.top, status2.bottom - status2.top);
    EXPECT_EQ(status1.top - client1.bottom / 2, status2.top - client2.bottom / 2) << "vertically centred";
    EXPECT_EQ(retry1.right - retry1.left, retry2.right - retry2.left) << "the button keeps its size";
    EXPECT_EQ(retry1.left - client1.right / 2, retry2.left - client2.right / 2) << "horizontally centred";
    EXPECT_EQ(retry1.top - client1.bottom / 2, retry2.top - client2.bottom / 2);

    SetWindowPos(window, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(window, &frame);
    EXPECT_GE(frame.right - frame.left, limits.ptMinTrackSize.x) << "not smaller than at initialisation";
}
