// The module's texts in the host's language, and every one of them whole:
// each dialog opened as a user meets it, in each state that changes a text,
// its statics, buttons and check boxes measured in their own fonts.
#include "message_box_hook.h"
#include "plugin_fixture.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"
#include "res/resource.h"
#include "skin/skin_static.h"

#include <gtest/gtest.h>

namespace {

struct Language {
    int hostLanguageId;
    const char* sendButton;
    const char* notFriend;
    const char* noticeStart;
};

const Language kLanguages[] = {
    {2052, "发送短信(&S)", "无法发送短信: 对方不是您的好友,请先将对方加为好友再发送!", "抱歉，您给联系人 [10009]"},
    {1033, "&Send", "Cannot send SMS: this contact is not your friend. Please add them as a friend first!",
     "Sorry, your message to contact [10009]"},
    // A language the module has no texts in keeps its own.
    {1041, "发送短信(&S)", "无法发送短信: 对方不是您的好友,请先将对方加为好友再发送!", "抱歉，您给联系人 [10009]"},
};

std::string TextOf(HWND window)
{
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Whether `control` shows all of its text in its own font: a check box's
// square and a push button's edges take their room, a skinned panel paints
// each line alone 6 pixels in from its sides, a static wraps at words.
bool Fits(HWND control, const std::string& text)
{
    RECT client;
    GetClientRect(control, &client);
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    const bool button = strcmp(className, "Button") == 0;
    const bool checkBox = button && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX);
    const bool panel = dynamic_cast<CSkinStatic*>(CWnd::FromHandlePermanent(control)) != nullptr;
    const int width = client.right - (checkBox ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : button ? 6 : panel ? 12 : 0);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, width, 0};
    bool fits = true;
    if (button || panel) {
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 2) {
            end = text.find("\r\n", start);
            SetRect(&needed, 0, 0, width, 0);
            DrawTextA(dc, text.substr(start, end - start).c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE);
            fits = fits && needed.right <= width && needed.bottom <= client.bottom;
        }
    } else {
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK);
        fits = needed.right <= width && needed.bottom <= client.bottom;
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return fits;
}

// "id: text" of each static, button and check box of `dialog` whose text is cut.
std::vector<std::string> CutTexts(HWND dialog)
{
    std::vector<std::string> cut;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        const std::string text = TextOf(child);
        const bool measured = strcmp(className, "Static") == 0 || strcmp(className, "Button") == 0;
        if (measured && !text.empty() && !Fits(child, text))
            cut.push_back(std::to_string(GetDlgCtrlID(child)) + ": " + text);
    }
    return cut;
}

class DialogTextTest : public PluginFixture<CSmsUtilPlugin>, public ::testing::WithParamInterface<Language> {
protected:
    DialogTextTest() : PluginFixture(getPlugin) {}
    void SetUp() override
    {
        host.languageId = GetParam().hostLanguageId;
        host.contacts[10002] = {"李四", 0, 2};
        host.contacts[10004] = {"赵六", 1, 2};
        PluginFixture::SetUp();
        InstallProbeAdapters();
        LogIn();
    }
    void TearDown() override
    {
        PluginFixture::TearDown();
        // The tests after this one expect the system's language.
        AfxSetResourceLanguage(0);
    }
    void Receive(const std::string& text)
    {
        const std::string block = "\x01\x02" + text + '\0';
        char* copy = new char[block.size()];
        memcpy(copy, block.data(), block.size());
        g_wndService.SendMessage(WM_SMSDATA, block.size(), reinterpret_cast<LPARAM>(copy));
    }
    HWND Dialog(const char* key)
    {
        CWnd* dialog = FindRegisteredWindow(key);
        return dialog ? dialog->m_hWnd : nullptr;
    }
    void ExpectWhole(const char* key, const char* state)
    {
        SCOPED_TRACE(std::string(key) + ", " + state);
        HWND dialog = Dialog(key);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(std::vector<std::string>(), CutTexts(dialog));
    }
};

} // namespace

TEST_P(DialogTextTest, EveryDialogInEveryStateShowsItsTextsWhole)
{
    g_wndService.ShowSendDialog(10002);
    HWND send = Dialog("c10002");
    ASSERT_NE(nullptr, send);
    EXPECT_EQ(GetParam().sendButton, TextOf(GetDlgItem(send, IDC_SEND_SEND)));
    ExpectWhole("c10002", "empty message");
    for (const char* typed : {"See you at 3pm.", "周六下午三点见"}) {
        SetDlgItemTextA(send, IDC_SEND_MESSAGE, typed);
        ExpectWhole("c10002", typed);
    }

    Receive("4\x02x\x02"
            "10002\x02"
            "first");
    ExpectWhole("r10002", "one message");
    Receive("4\x02x\x02"
            "10002\x02"
            "second");
    ExpectWhole("r10002", "another waiting");
    Receive("6\x02x\x02"
            "10009\x02"
            "busy");
    ExpectWhole("r10009", "undelivered");
    EXPECT_EQ(0u, TextOf(GetDlgItem(Dialog("r10009"), IDC_VIEW_BODY)).find(GetParam().noticeStart));

    g_wndService.OpenOrderDialog();
    auto order = static_cast<COrderDlg*>(FindRegisteredWindow("smsutil_order"));
    ASSERT_NE(nullptr, order);
    for (auto state :
         {COrderDlg::STATE_OFFLINE, COrderDlg::STATE_STARTING, COrderDlg::STATE_TIMEOUT, COrderDlg::STATE_FAILED}) {
        order->SetServiceState(state);
        ExpectWhole("smsutil_order", std::to_string(state).c_str());
    }

    MessageBoxHook boxes;
    g_wndService.ShowSendDialog(10004);
    ASSERT_EQ(1u, boxes.seen.size());
    EXPECT_EQ(GetParam().notFriend, boxes.seen[0].text);
}

INSTANTIATE_TEST_SUITE_P(HostLanguages, DialogTextTest, ::testing::ValuesIn(kLanguages));
