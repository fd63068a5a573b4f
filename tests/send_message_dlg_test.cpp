// The send dialog as a user drives it: keys and input-method characters into
// its fields, clicks, its timer by id; read back from the panel, the captions,
// the bytes handed to the recipient's adapter and the store.
#include "adapter_block.h"
#include "dialog_input.h"
#include "history_popup_of.h"
#include "dialogs/send_message_dlg.h"
#include "message_box_hook.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"
#include "probe_adapter.h"
#include "record_maker.h"
#include "res/resource.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "plugin_fixture.h"
#include "window_text.h"

#include <gtest/gtest.h>

#include <list>

namespace {

const std::string kFreeLine = "免费绑定用户，每天允许发送1条短信\r\n";

class SendDialogTest : public PluginFixture<CSmsUtilPlugin> {
protected:
    SendDialogTest() : PluginFixture(getPlugin) {}
    void SetUp() override
    {
        PluginFixture::SetUp();
        InstallProbeAdapters();
        g_adapterClock = [this] { return elapsed; };
        host.contacts[10002] = {"李四", 0, 3};
        LogIn();
        g_adapters = AdapterLog(); // the service's own start-up
    }

    // Opens the dialog as the host's command on contact 10002 does.
    void Open()
    {
        g_wndService.ShowSendDialog(10002);
        dialog = static_cast<CSendMessageDlg*>(FindRegisteredWindow("c10002"));
        ASSERT_NE(nullptr, dialog);
        window = dialog->m_hWnd;
        message = GetDlgItem(window, IDC_SEND_MESSAGE);
        signature = GetDlgItem(window, IDC_SEND_SIGNATURE);
        frame = GetDlgItem(window, IDC_SEND_FRAME);
    }
    void Type(HWND field, const std::string& text)
    {
        for (unsigned char ch : text) SendMessageA(field, WM_CHAR, ch, 1);
    }
    // One character from an input method, as its GBK code.
    void Compose(HWND field, const char* gbk)
    {
        SendMessageA(field, WM_IME_STARTCOMPOSITION, 0, 0);
        const WPARAM code = static_cast<unsigned char>(gbk[0]) << 8 | static_cast<unsigned char>(gbk[1]);
        SendMessageA(field, WM_IME_CHAR, code, 1);
        SendMessageA(field, WM_IME_ENDCOMPOSITION, 0, 0);
        // The edit turns an input-method character into WM_CHARs of its bytes.
        PumpDialogMessages();
    }
    void Click(UINT id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
    bool Checked(UINT id) { return SendMessageA(GetDlgItem(window, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Tick(int count = 1)
    {
        for (int i = 0; i < count && IsWindow(window); ++i) {
            elapsed += 2000;
            SendMessageA(window, WM_TIMER, CSendMessageDlg::TIMER_SEND, 0);
        }
    }
    std::string Counter() { return WindowText(frame).substr(kFreeLine.size()); }
    std::vector<std::string> Sent()
    {
        std::vector<std::string> requests;
        for (const AdapterData& data : g_adapters.data) requests.push_back(data.bytes);
        return requests;
    }
    std::vector<CSmsRecord> History()
    {
        std::list<CSmsRecord*> records;
        CMessageStore::ListHistory("10002", records, 0);
        std::vector<CSmsRecord> copies;
        for (CSmsRecord* record : records) {
            copies.push_back(*record);
            delete record;
        }
        return copies;
    }

    unsigned elapsed = 0;
    CSendMessageDlg* dialog = nullptr;
    HWND window = nullptr, message = nullptr, signature = nullptr, frame = nullptr;
};

std::string Request(const std::string& content, const std::string& schedule = "")
{
    return Fields("2|10001:|10002|") + content + Fields(schedule.empty() ? "|0" : "|1|" + schedule) + '\0';
}

} // namespace

TEST_F(SendDialogTest, OpensOnTheRecipientAndStartsCallingIt)
{
    Open();
    EXPECT_EQ("发短信", WindowText(window));
    EXPECT_EQ("李四(10002)", WindowText(GetDlgItem(window, IDC_SEND_RECIPIENT)));
    EXPECT_EQ(kFreeLine + "每条（包括签名）最多 140 个英文字符或 70 个汉字", WindowText(frame));
    ASSERT_EQ(1u, g_adapters.calls.size());
    EXPECT_EQ("10002", g_adapters.calls[0].applicationId);
    EXPECT_EQ(10002u, g_adapters.calls[0].number);
    EXPECT_EQ(message, GetFocus()) << "the message field takes the focus";

    g_wndService.ShowSendDialog(10002);
    EXPECT_EQ(dialog, FindRegisteredWindow("c10002")) << "a second command brings the same dialog";
    EXPECT_EQ(1, g_adapters.made);

    MessageBoxHook boxes;
    Click(IDC_SEND_SEND);
    ASSERT_EQ(1u, boxes.seen.size());
    EXPECT_EQ("请您输入短消息内容!", boxes.seen[0].text) << "an empty message is refused";
    EXPECT_EQ(message, GetFocus());
    PressDialogKey(window, VK_RETURN, signature);
    EXPECT_TRUE(IsWindow(window)) << "Enter does nothing";
    PressDialogKey(window, VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, FindRegisteredWindow("c10002"));
    EXPECT_EQ(1, g_adapters.deleted) << "the dialog gave its adapter back";
}

TEST_F(SendDialogTest, HundredThirtyEightSingleBytesShowOneHundredFortyAndRefuseMore)
{
    Open();
    Type(message, std::string(9, 'a'));
    EXPECT_EQ("每条（包括签名）最多 140 个英文字符，您的消息共 11 个英文字符", Counter());
    Type(message, std::string(129, 'a'));
    EXPECT_EQ("每条（包括签名）最多 140 个英文字符，您的消息共 140 个英文字符", Counter());
    Type(message, "b");
    EXPECT_EQ(std::string(138, 'a'), WindowText(message)) << "the 139th character is refused";
}

TEST_F(SendDialogTest, SignatureLeavesTheMessage134Or64AndAChineseOneTheChineseRoom)
{
    Open();
    SetFocus(signature);
    Type(signature, "abc");
    SetFocus(message); // the signature's focus loss sets the message's limits
    Type(message, std::string(140, 'a'));
    EXPECT_EQ(134, GetWindowTextLengthA(message));
    EXPECT_EQ("每条（包括签名）最多 140 个英文字符，您的消息共 140 个英文字符", Counter());

    SetWindowTextA(message, "");
    Compose(message, "张");
    Type(message, std::string(70, 'a'));
    EXPECT_EQ("张" + std::string(63, 'a'), WindowText(message)) << "64 characters once one is Chinese";
    EXPECT_EQ("每条（包括签名）最多 70 个汉字，您的消息共 70 个汉字", Counter());
}

TEST_F(SendDialogTest, SignatureTakesTenBytesAndNoMoreThanTheMessageAndItsColonLeave)
{
    Open();
    SetFocus(signature);
    Type(signature, "abcdefghijkl");
    EXPECT_EQ("abcdefghij", WindowText(signature));
    SetWindowTextA(signature, "");
    SetFocus(message);
    Type(message, std::string(136, 'a'));
    SetFocus(signature); // the message's focus loss sets the signature's limits
    Type(signature, "xyz");
    EXPECT_EQ("x", WindowText(signature)) << "136 characters and the colon leave one";
    SetWindowTextA(signature, "");
    SetFocus(message);
    Type(message, "aa");
    SetFocus(signature);
    Type(signature, "y");
    EXPECT_EQ("", WindowText(signature)) << "a full message leaves no room";
    SetWindowTextA(signature, "abc");
    SetFocus(message);
    EXPECT_EQ(138, GetWindowTextLengthA(message)) << "text already there is never cut";
}

TEST_F(SendDialogTest, TickedChangedSignatureIsSavedBeforeTheOfflineCheck)
{
    Open();
    Click(IDC_SEND_SIGN_CHECK);
    SetFocus(signature);
    Type(signature, "xyz");
    Type(message, "hi");
    host.Send(plugin, IXA_MESSAGE_OFFLINE);
    MessageBoxHook boxes;
    Click(IDC_SEND_SEND);
    ASSERT_EQ(1u, boxes.seen.size());
    EXPECT_EQ("发短消息", boxes.seen[0].caption);
    EXPECT_EQ("抱歉，您没有登陆或者处于离线状态，不能发送短消息！", boxes.seen[0].text);
    EXPECT_EQ(IDI_HAND, boxes.seen[0].icon);
    CString saved;
    ASSERT_TRUE(CMessageStore::LoadSignature(saved));
    EXPECT_STREQ("xyz", saved);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(SendDialogTest, UntickedSignatureCountsButIsNotSent)
{
    Open();
    SetFocus(signature);
    Type(signature, "abc");
    SetFocus(message);
    Type(message, "hi");
    EXPECT_EQ("每条（包括签名）最多 140 个英文字符，您的消息共 8 个英文字符", Counter());
    ConnectLastAdapter();
    Click(IDC_SEND_SEND);
    EXPECT_EQ(std::vector<std::string>{Request("hi")}, Sent());
    CString saved;
    EXPECT_FALSE(CMessageStore::LoadSignature(saved)) << "nothing saved";
}

TEST_F(SendDialogTest, StoredSignatureIsShownTickedAndSentWithItsColon)
{
    ASSERT_TRUE(CMessageStore::SaveSignature("老张"));
    Open();
    EXPECT_EQ("老张", WindowText(signature));
    EXPECT_TRUE(Checked(IDC_SEND_SIGN_CHECK));
    Type(message, "hi\r");
    ConnectLastAdapter();
    Click(IDC_SEND_SEND);
    EXPECT_EQ(std::vector<std::string>{Request("老张:hi\r\n")}, Sent());
}

TEST_F(SendDialogTest, TypingIntoABlankDateFieldTicksTheBoxAndFillsTheOthers)
{
    Open();
    HWND hour = GetDlgItem(window, IDC_SEND_HOUR);
    EXPECT_EQ("    ", WindowText(GetDlgItem(window, IDC_SEND_YEAR)));
    SetFocus(hour);
    Type(hour, "5");
    EXPECT_TRUE(Checked(IDC_SEND_SCHEDULE_CHECK));
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(std::to_string(now.wYear), WindowText(GetDlgItem(window, IDC_SEND_YEAR)));
    EXPECT_EQ(now.wMonth, atoi(WindowText(GetDlgItem(window, IDC_SEND_MONTH)).c_str()));
    EXPECT_EQ(5, atoi(WindowText(hour).c_str())) << "the typed field keeps what was typed";
    // A field tells the dialog of its change when it loses the focus.
    HWND year = GetDlgItem(window, IDC_SEND_YEAR), month = GetDlgItem(window, IDC_SEND_MONTH),
         day = GetDlgItem(window, IDC_SEND_DAY);
    auto change = [this](HWND field, const char* value) {
        SetFocus(field);
        SetWindowTextA(field, value);
        SetFocus(message);
    };
    SetWindowTextA(day, "31");
    change(year, "2028");
    change(month, "2");
    EXPECT_EQ(29, atoi(WindowText(day).c_str())) << "February of a leap year";
    change(year, "2027");
    EXPECT_EQ(28, atoi(WindowText(day).c_str()));

    Click(IDC_SEND_SCHEDULE_CHECK);
    EXPECT_FALSE(Checked(IDC_SEND_SCHEDULE_CHECK));
    for (UINT id : {IDC_SEND_YEAR, IDC_SEND_MONTH, IDC_SEND_DAY, IDC_SEND_HOUR, IDC_SEND_MINUTE})
        EXPECT_EQ(std::string::npos, WindowText(GetDlgItem(window, id)).find_first_not_of(' ')) << id;
}

TEST_F(SendDialogTest, ScheduledRequestCarriesTheTimeAndItsRecordIsKindTwo)
{
    Open();
    Click(IDC_SEND_SCHEDULE_CHECK);
    const struct {
        UINT id;
        const char* value;
    } fields[] = {{IDC_SEND_YEAR, "2030"},
                  {IDC_SEND_MONTH, "2"},
                  {IDC_SEND_DAY, "28"},
                  {IDC_SEND_HOUR, "7"},
                  {IDC_SEND_MINUTE, "5"}};
    for (const auto& field : fields) SetWindowTextA(GetDlgItem(window, field.id), field.value);
    Type(message, "later");
    ConnectLastAdapter();
    Click(IDC_SEND_SEND);
    EXPECT_EQ(std::vector<std::string>{Request("later", "2030-02-28 07:05:00")}, Sent());
    const std::vector<CSmsRecord> records = History();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(CSmsRecord::KIND_SCHEDULED, records[0].kind);
    EXPECT_STREQ("2030-02-28 07:05:00", records[0].time);
}

TEST_F(SendDialogTest, ConnectedAtThePressSendsAtOnceAndCloses)
{
    Open();
    Type(message, "hi");
    ConnectLastAdapter();
    Click(IDC_SEND_SEND);
    EXPECT_EQ(std::vector<std::string>{Request("hi")}, Sent());
    EXPECT_FALSE(IsWindow(window));
    const std::vector<CSmsRecord> records = History();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(CSmsRecord::KIND_SENT, records[0].kind);
    EXPECT_EQ(19, records[0].time.GetLength());
    EXPECT_STREQ("hi", records[0].text);
}

TEST_F(SendDialogTest, ConnectedAtTenSecondsSendsAtTwelve)
{
    Open();
    Type(message, "hi");
    Click(IDC_SEND_SEND);
    EXPECT_TRUE(IsIconic(window)) << "minimised while sending";
    EXPECT_EQ("正在发送，请稍候...", WindowText(window));
    EXPECT_TRUE(GetWindowLongA(message, GWL_STYLE) & ES_READONLY);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_SEND_SEND)));
    MENUITEMINFOA close = {sizeof close, MIIM_STATE};
    GetMenuItemInfoA(GetSystemMenu(window, FALSE), SC_CLOSE, FALSE, &close);
    EXPECT_TRUE(close.fState & MFS_GRAYED);
    PressDialogKey(window, VK_ESCAPE);
    EXPECT_TRUE(IsWindow(window)) << "Escape is ignored while sending";

    Tick(5);
    ConnectLastAdapter();
    EXPECT_TRUE(Sent().empty());
    Tick();
    ASSERT_EQ(std::vector<std::string>{Request("hi")}, Sent());
    EXPECT_EQ(12000u, g_adapters.data[0].at);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(SendDialogTest, NeverConnectedCallsAtOpenStartAndFourteenThenTimesOutAtThirty)
{
    Open();
    Type(message, "hi");
    Click(IDC_SEND_SEND);
    MessageBoxHook boxes;
    Tick(14);
    EXPECT_TRUE(boxes.seen.empty());
    Tick();
    std::vector<unsigned> calls;
    for (const AdapterCall& call : g_adapters.calls) calls.push_back(call.at);
    EXPECT_EQ((std::vector<unsigned>{0, 0, 14000}), calls);
    ASSERT_EQ(1u, boxes.seen.size());
    EXPECT_EQ("抱歉，发送超时，请您重新发送。", boxes.seen[0].text);
    EXPECT_EQ("发短信", WindowText(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ("hi", WindowText(message)) << "the text is kept";
    EXPECT_FALSE(GetWindowLongA(message, GWL_STYLE) & ES_READONLY);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_SEND_SEND)));

    // A second attempt reuses the adapter, which may have connected since.
    ConnectLastAdapter();
    Click(IDC_SEND_SEND);
    EXPECT_EQ(std::vector<std::string>{Request("hi")}, Sent());
    EXPECT_EQ(1, g_adapters.made);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(SendDialogTest, HistoryButtonHangsTheEarlierMessagesUnderTheDialogAndFollowsIt)
{
    for (const char* text : {"older", "newer"}) {
        CSmsRecord record = Record(CSmsRecord::KIND_RECEIVED, "10002", "2026-12-01 08:00:00", text);
        ASSERT_TRUE(CMessageStore::AddHistory(record));
    }
    Open();
    Click(IDC_SEND_HISTORY);
    HWND popup = HistoryPopupOf(window);
    ASSERT_NE(nullptr, popup);
    ASSERT_TRUE(IsWindowVisible(popup));
    HWND list = GetDlgItem(popup, IDC_HISTORY_LIST);
    EXPECT_EQ(2, SendMessageA(list, LB_GETCOUNT, 0, 0));
    RECT dialogRect, popupRect;
    GetWindowRect(window, &dialogRect);
    GetWindowRect(popup, &popupRect);
    EXPECT_EQ(dialogRect.left, popupRect.left);
    EXPECT_EQ(dialogRect.bottom, popupRect.top);
    EXPECT_EQ(dialogRect.right - dialogRect.left, popupRect.right - popupRect.left) << "as wide as the dialog";

    SetWindowPos(window, nullptr, dialogRect.left + 30, dialogRect.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(popup, &popupRect);
    EXPECT_EQ(dialogRect.left + 30, popupRect.left) << "the popup follows the dialog";
    EXPECT_EQ(dialogRect.bottom + 20, popupRect.top);

    // A double-click on the older entry puts its text into the message.
    Type(message, "hi");
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendMessageA(popup, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    EXPECT_EQ("hi\r\nolder", WindowText(message));

    Click(IDC_SEND_HISTORY);
    EXPECT_FALSE(IsWindowVisible(popup)) << "the next press hides it";
}
