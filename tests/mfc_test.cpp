// The GUI framework stand-in: what the module relies on, driven through real
// windows and messages.
#include "afxwin.h"
#include "dialog_input.h"
#include "guarded_heap.h"

#include <gtest/gtest.h>

#include <string>

// ---------------------------------------------------------------- CString and the map

// "乗" is 81 5B in GBK: its trail byte is "[". The notice template's
// placeholders sit next to double-byte text.
TEST(CStringTest, FindAndReplaceNeverMatchOnATrailByte)
{
    ASSERT_EQ(936u, GetACP());
    CString text("\x81\x5Bx[x");
    EXPECT_EQ(3, text.Find("[x"));
    EXPECT_EQ(3, text.Find('['));
    EXPECT_EQ(-1, CString("\x81\x5D").Find(']'));
    CString notice("抱歉 [[?]] 原因：(?)。\x81\x5B?]");
    EXPECT_EQ(1, notice.Replace("[?]", "10001"));
    EXPECT_EQ(1, notice.Replace("(?)", "busy"));
    EXPECT_STREQ("抱歉 [10001] 原因：busy。\x81\x5B?]", notice);
    CString repeated("aaaa");
    EXPECT_EQ(2, repeated.Replace("aa", "b"));
    EXPECT_STREQ("bb", repeated);
}

TEST(CStringTest, FormatSlicesAndLoads)
{
    CString number;
    number.Format("%u", 4294967295u);
    EXPECT_STREQ("4294967295", number);
    EXPECT_STREQ("4294", number.Left(4));
    EXPECT_STREQ("", number.Left(-1));
    EXPECT_STREQ("4294967295", number.Left(20));
    EXPECT_STREQ("c10002x", CString("c") + "10002" + 'x');
    CString text("kept");
    EXPECT_FALSE(text.LoadString(201));
    EXPECT_STREQ("kept", text);
    EXPECT_TRUE(text.LoadString(200));
    EXPECT_STREQ("from the test program", text);
}

// The dialog registry walks its map and each dialog removes itself.
TEST(CMapStringToPtrTest, EntryJustReturnedMayBeRemovedDuringAWalk)
{
    CMapStringToPtr map;
    for (int i = 0; i < 100; ++i) {
        CString key;
        key.Format("r%d", i);
        map.SetAt(key, nullptr);
    }
    int visited = 0;
    CString key;
    void* value;
    for (POSITION position = map.GetStartPosition(); position; ++visited) {
        map.GetNextAssoc(position, key, value);
        EXPECT_TRUE(map.RemoveKey(key));
    }
    EXPECT_EQ(100, visited);
    EXPECT_EQ(0, map.GetCount());
}

// ---------------------------------------------------------------- message maps and the window map
// Dispatch through the maps and dynamic creation are what every dialog of the
// module runs on: their tests drive them.

// Sends a message to itself before it lets the default procedure have the
// outer one, as handlers that ask a control something first do.
class CNestingWnd : public CWnd {
public:
    int innerCalls = 0;

protected:
    LRESULT OnSetText(WPARAM, LPARAM)
    {
        SendMessage(WM_APP + 5);
        return Default();
    }
    LRESULT OnInner(WPARAM, LPARAM)
    {
        ++innerCalls;
        return Default();
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CNestingWnd, CWnd)
ON_MESSAGE(WM_SETTEXT, OnSetText)
ON_MESSAGE(WM_APP + 5, OnInner)
END_MESSAGE_MAP()

TEST(MessageMapTest, DefaultRunsTheMessageOfItsOwnHandlerAfterNestedOnes)
{
    CNestingWnd wnd;
    RECT empty = {0, 0, 0, 0};
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "before", WS_POPUP, empty, nullptr, 0));
    EXPECT_TRUE(::SetWindowTextA(wnd.m_hWnd, "after"));
    EXPECT_EQ(1, wnd.innerCalls);
    CString text;
    wnd.GetWindowText(text);
    EXPECT_STREQ("after", text) << "Default() after a nested message still sets the text";
    wnd.DestroyWindow();
}

// ---------------------------------------------------------------- window map

// A subclass put on the window after the framework's, as a skin puts its
// own: it must see the window's last message when the object goes first.
WNDPROC g_underTop = nullptr;
UINT g_topLastMessage = 0;
LRESULT CALLBACK TopProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_topLastMessage = message;
    return CallWindowProcA(g_underTop, window, message, wParam, lParam);
}

TEST(WindowMapTest, AnObjectGoingFirstLeavesASubclassOnTopInTheChain)
{
    HWND edit = ::CreateWindowA("Edit", "kept", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    auto* wnd = new CWnd;
    ASSERT_TRUE(wnd->SubclassWindow(edit));
    g_underTop = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TopProc)));
    delete wnd;
    EXPECT_FALSE(IsWindow(edit)) << "the object takes its window with it";
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), g_topLastMessage);
}

// ---------------------------------------------------------------- dialogs

// Closes and deletes itself as the module's modeless dialogs do. Its default
// button hands the close to another message of the dialog, so that the
// object goes while two of its messages are still being dispatched.
class CClosingDialog : public CDialog {
public:
    static int alive;
    CClosingDialog() : CDialog(110) { ++alive; }
    ~CClosingDialog() override { --alive; }

protected:
    void OnCancel() override { DestroyWindow(); }
    void OnCloseButton() { SendMessage(WM_APP + 2); }
    LRESULT OnCloseRequest(WPARAM, LPARAM)
    {
        OnCancel();
        return 0;
    }
    void PostNcDestroy() override { delete this; }
    DECLARE_MESSAGE_MAP()
};
int CClosingDialog::alive = 0;
BEGIN_MESSAGE_MAP(CClosingDialog, CDialog)
ON_BN_CLICKED(112, OnCloseButton)
ON_MESSAGE(WM_APP + 2, OnCloseRequest)
END_MESSAGE_MAP()

class SelfDeletingDialogTest : public ::testing::TestWithParam<const char*> {};

TEST_P(SelfDeletingDialogTest, NothingTouchesTheDialogAfterItsLastMessage)
{
    const std::string how = GetParam();
    CClosingDialog::alive = 0;
    GuardedHeap::BeginQuarantine();
    CClosingDialog* dialog = new CClosingDialog;
    ASSERT_TRUE(dialog->Create(110, nullptr));
    dialog->ShowWindow(SW_SHOW);
    const HWND window = dialog->m_hWnd;
    if (how == "escape") PressDialogKey(window, VK_ESCAPE, ::GetDlgItem(window, 111));
    if (how == "close box") ClickCloseBox(window);
    if (how == "enter on a button that closes") PressDialogKey(window, VK_RETURN, ::GetDlgItem(window, 111));
    const bool windowLeft = ::IsWindow(window) != FALSE;
    const int objectsLeft = CClosingDialog::alive;
    EXPECT_EQ(0u, GuardedHeap::EndQuarantine()) << "blocks written after they were deleted";
    EXPECT_FALSE(windowLeft);
    EXPECT_EQ(0, objectsLeft) << "the dialog deleted itself";
}

INSTANTIATE_TEST_SUITE_P(ClosedBy, SelfDeletingDialogTest,
                         ::testing::Values("escape", "close box", "enter on a button that closes"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name;
                             for (const char* c = info.param; *c; ++c)
                                 if (*c != ' ') name += *c;
                             return name;
                         });

TEST(DialogTest, KeysTheDialogManagerLeavesToTheFocusedControl)
{
    CClosingDialog::alive = 0;
    CClosingDialog* dialog = new CClosingDialog;
    ASSERT_TRUE(dialog->Create(110, nullptr));
    dialog->ShowWindow(SW_SHOW);
    const HWND window = dialog->m_hWnd;
    const HWND multiLine = ::GetDlgItem(window, 113);

    PressDialogKey(window, VK_RETURN, multiLine);
    char text[16] = "";
    ::GetWindowTextA(multiLine, text, sizeof text);
    EXPECT_STREQ("\r\n", text) << "an edit that wants Enter gets its WM_CHAR";
    EXPECT_EQ(1, CClosingDialog::alive) << "Enter did not reach the default button";

    PressDialogKey(window, VK_TAB, ::GetDlgItem(window, 111));
    EXPECT_EQ(multiLine, ::GetFocus()) << "Tab moves to the next tab stop";

    ::DestroyWindow(window);
    EXPECT_EQ(0, CClosingDialog::alive);
}

TEST(ResourceSourceTest, SwitchRestoreAndExtensionModules)
{
    HINSTANCE exe = ::GetModuleHandleA(nullptr);
    EXPECT_EQ(exe, AfxGetResourceHandle());
    {
        CResourceSourceScope scope(::GetModuleHandleA("user32.dll"));
        CString text;
        EXPECT_FALSE(text.LoadString(200)) << "user32 holds no string 200; the chain holds no extension";
        CDialog dialog(110);
        EXPECT_FALSE(dialog.Create(110, nullptr)) << "template 110 is not in the resource source";

        AFX_EXTENSION_MODULE module = {};
        ASSERT_TRUE(AfxInitExtensionModule(module, exe));
        new CDynLinkLibrary(module);
        EXPECT_TRUE(text.LoadString(200)) << "found through the extension chain";
        AfxTermExtensionModule(module);
        EXPECT_FALSE(text.LoadString(200));
    }
    EXPECT_EQ(exe, AfxGetResourceHandle());
}
