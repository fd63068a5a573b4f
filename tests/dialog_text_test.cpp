// The module's texts in the host's language, each whole: every dialog in each state that changes a text, its
// statics and buttons measured in their own fonts.
#include "plugin_fixture.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"
#include "res/resource.h"
#include "skin/skin_static.h"
#include "transport/service_text.h"
#include "window_text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Language {
    int hostLanguageId;
    const char* sendButton;
    const char* notice; // how an undelivery notice starts
};

// A language the module has no texts in (1041) keeps its own.
const Language kLanguages[] = {{2052, "发送短信(&S)", "抱歉，您给联系人 [10009]"},
                               {1033, "&Send", "Sorry, your message to contact [10009]"},
                               {1041, "发送短信(&S)", "抱歉，您给联系人 [10009]"}};

// "id: text" of each static, button and check box of the dialog under `key` whose text its control has no room
// for: a check box's square and a push button's edges take their part, a skinned panel keeps 6 pixels each side.
std::vector<std::string> CutTexts(const char* key)
{
    CWnd* dialog = FindRegisteredWindow(key);
    std::vector<std::string> cut(dialog ? 0 : 1, "no dialog");
    HDC dc = CreateCompatibleDC(nullptr);
    for (HWND child = dialog ? GetWindow(dialog->m_hWnd, GW_CHILD) : nullptr; child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = {};
        GetClassNameA(child, name, sizeof name);
        const bool button = strcmp(name, "Button") == 0;
        const bool checkBox = button && (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        const bool panel = dynamic_cast<CSkinStatic*>(CWnd::FromHandlePermanent(child)) != nullptr;
        RECT room;
        GetClientRect(child, &room);
        room.right -= checkBox ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : button ? 6 : panel ? 12 : 0;
        const std::string text = WindowText(child);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        RECT needed = {};
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT);
        const bool measured = !text.empty() && (button || strcmp(name, "Static") == 0);
        if (measured && (needed.right > room.right || needed.bottom > room.bottom))
            cut.push_back(std::to_string(GetDlgCtrlID(child)) + ": " + text);
    }
    DeleteDC(dc);
    return cut;
}

class DialogTextTest : public PluginFixture<CSmsUtilPlugin>, public ::testing::WithParamInterface<Language> {
protected:
    DialogTextTest() : PluginFixture(getPlugin) { host.languageId = GetParam().hostLanguageId; }
    void TearDown() override { PluginFixture::TearDown(), AfxSetResourceLanguage(0); }
};

} // namespace

TEST_P(DialogTextTest, EveryDialogInEveryStateShowsItsTextsWhole)
{
    const std::vector<std::string> whole;
    host.contacts[10002] = {"李四", 0, 2};
    InstallProbeAdapters();
    LogIn();
    g_wndService.ShowSendDialog(10002);
    ASSERT_NE(nullptr, FindRegisteredWindow("c10002"));
    HWND send = FindRegisteredWindow("c10002")->m_hWnd;
    EXPECT_EQ(GetParam().sendButton, WindowText(GetDlgItem(send, IDC_SEND_SEND)));
    for (const char* typed : {"", "周六下午三点见"}) {
        SetDlgItemTextA(send, IDC_SEND_MESSAGE, typed);
        EXPECT_EQ(whole, CutTexts("c10002")) << typed;
    }
    // Two messages of one sender, the second waiting, and a notice of one the server could not deliver.
    for (std::string text : {"4|x|10002|one", "4|x|10002|two", "6|x|10009|why"}) {
        std::replace(text.begin(), text.end(), '|', '\x02');
        ParseServiceText(text.c_str(), static_cast<int>(text.size()) + 1, g_wndService);
        EXPECT_EQ(whole, CutTexts(text[0] == '4' ? "r10002" : "r10009")) << text;
    }
    ASSERT_NE(nullptr, FindRegisteredWindow("r10009"));
    EXPECT_EQ(0u,
              WindowText(GetDlgItem(FindRegisteredWindow("r10009")->m_hWnd, IDC_VIEW_BODY)).find(GetParam().notice));
    g_wndService.OpenOrderDialog();
    for (int state = COrderDlg::STATE_OFFLINE; state <= COrderDlg::STATE_FAILED; ++state) {
        static_cast<COrderDlg*>(FindRegisteredWindow("smsutil_order"))->SetServiceState(COrderDlg::State(state));
        EXPECT_EQ(whole, CutTexts("smsutil_order")) << state;
    }
}

INSTANTIATE_TEST_SUITE_P(HostLanguages, DialogTextTest, ::testing::ValuesIn(kLanguages));
