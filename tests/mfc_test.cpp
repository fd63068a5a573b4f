// The GUI framework stand-in: what the module relies on, driven through real
// windows and messages.
#include "afxwin.h"
#include "dialog_input.h"
#include "guarded_heap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// ---------------------------------------------------------------- runtime classes and message maps

class CBaseWnd : public CWnd {
    DECLARE_DYNCREATE(CBaseWnd)
public:
    std::vector<std::string> log;

protected:
    void OnTimer(UINT_PTR id) { log.push_back("base timer " + std::to_string(id)); }
    LRESULT OnPing(WPARAM wParam, LPARAM)
    {
        log.push_back("base ping");
        return wParam + 1;
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CBaseWnd, CWnd)
BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
ON_WM_TIMER()
ON_MESSAGE(WM_APP + 1, OnPing)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
    DECLARE_DYNCREATE(CDerivedWnd)
public:
    bool sawCreate = false;

protected:
    int OnCreate(LPCREATESTRUCT create)
    {
        sawCreate = create != nullptr;
        return CWnd::OnCreate(create);
    }
    LRESULT OnPong(WPARAM, LPARAM)
    {
        log.push_back("derived pong");
        return 7;
    }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CDerivedWnd, CBaseWnd)
BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
ON_WM_CREATE()
ON_MESSAGE(WM_APP + 2, OnPong)
END_MESSAGE_MAP()

// The dialog registry creates its windows by runtime class and refuses
// classes that are no windows; a message map chains to its base class's.
TEST(MessageMapTest, DynamicallyCreatedWindowDispatchesThroughBothMaps)
{
    EXPECT_EQ(nullptr, RUNTIME_CLASS(CDialog)->CreateObject()) << "CDialog is not dynamically creatable";
    CObject* object = RUNTIME_CLASS(CDerivedWnd)->CreateObject();
    ASSERT_NE(nullptr, object);
    EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_FALSE(object->IsKindOf(RUNTIME_CLASS(CDialog)));
    auto& wnd = *static_cast<CDerivedWnd*>(object);
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "probe", WS_POPUP, RECT{}, nullptr, 0));
    EXPECT_TRUE(wnd.sawCreate) << "WM_CREATE reaches the object during creation";
    EXPECT_EQ(8, wnd.SendMessage(WM_APP + 1, 7)) << "handler of the base map";
    EXPECT_EQ(7, wnd.SendMessage(WM_APP + 2));
    wnd.SendMessage(WM_TIMER, 300);
    EXPECT_EQ(0, wnd.SendMessage(WM_APP + 3)) << "unmapped messages take the default procedure";
    EXPECT_EQ((std::vector<std::string>{"base ping", "derived pong", "base timer 300"}), wnd.log);
    HWND window = wnd.m_hWnd;
    wnd.DestroyWindow();
    EXPECT_EQ(nullptr, wnd.m_hWnd) << "detached at WM_NCDESTROY";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(window));
    delete object;
}

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

TEST(WindowMapTest, TemporaryObjectsLastAsLongAsTheirWindows)
{
    HWND parent = ::CreateWindowA("Static", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    CWnd* first = CWnd::FromHandle(parent);
    EXPECT_EQ(parent, first->m_hWnd);
    EXPECT_EQ(first, CWnd::FromHandle(parent)) << "one temporary object per window";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(parent));

    const AFX_WINDOW_MAP_COUNTS before = AfxGetWindowMapCounts();
    for (int i = 0; i < 200; ++i) {
        HWND child =
            ::CreateWindowA("Static", "", WS_CHILD, 0, 0, 5, 5, parent, (HMENU)(INT_PTR)(10 + i), nullptr, nullptr);
        CWnd* control = CWnd::FromHandle(parent)->GetDlgItem(10 + i);
        ASSERT_NE(nullptr, control);
        ASSERT_EQ(child, control->m_hWnd);
        ::DestroyWindow(child);
    }
    const AFX_WINDOW_MAP_COUNTS after = AfxGetWindowMapCounts();
    EXPECT_EQ(before.permanent, after.permanent);
    EXPECT_LE(after.temporary, before.temporary + 1) << "temporaries of destroyed controls are dropped";
    EXPECT_EQ(first, CWnd::FromHandle(parent)) << "the living window keeps its temporary";
    ::DestroyWindow(parent);
}

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

class CProbeDialog : public CDialog {
public:
    CProbeDialog() : CDialog(100) {}
    CEdit m_edit;
    bool* m_deleted = nullptr;
    int m_goClicks = 0;
    int m_okCalls = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, 101, m_edit); }
    void OnOK() override { ++m_okCalls; }
    void OnGo() { ++m_goClicks; }
    void PostNcDestroy() override
    {
        if (m_deleted) *m_deleted = true;
        delete this;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CProbeDialog, CDialog)
ON_BN_CLICKED(102, OnGo)
END_MESSAGE_MAP()

TEST(DialogTest, ModelessDialogBindsControlsDispatchesCommandsAndDeletesItself)
{
    bool deleted = false;
    CProbeDialog* dialog = new CProbeDialog;
    dialog->m_deleted = &deleted;
    ASSERT_TRUE(dialog->Create(100, nullptr));
    ASSERT_NE(nullptr, dialog->m_edit.m_hWnd) << "DDX_Control bound the edit";
    EXPECT_EQ(101, dialog->m_edit.GetDlgCtrlID());
    dialog->ShowWindow(SW_SHOW);

    ::SendMessageA(::GetDlgItem(dialog->m_hWnd, 102), BM_CLICK, 0, 0);
    EXPECT_EQ(1, dialog->m_goClicks);
    PressDialogKey(dialog->m_hWnd, VK_RETURN, dialog->m_edit.m_hWnd);
    EXPECT_EQ(1, dialog->m_okCalls) << "Enter reaches the derived OnOK through the dialog manager";

    ::SendMessageA(dialog->m_edit.m_hWnd, WM_SETTEXT, 0, (LPARAM) "typed");
    CString text;
    dialog->m_edit.GetWindowText(text);
    EXPECT_STREQ("typed", text);

    ::DestroyWindow(dialog->m_hWnd);
    EXPECT_TRUE(deleted) << "PostNcDestroy ran after the window was gone";
}

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
        CProbeDialog* dialog = new CProbeDialog;
        EXPECT_FALSE(dialog->Create(100, nullptr)) << "template 100 is not in the resource source";
        delete dialog;

        AFX_EXTENSION_MODULE module = {};
        ASSERT_TRUE(AfxInitExtensionModule(module, exe));
        new CDynLinkLibrary(module);
        EXPECT_TRUE(text.LoadString(200)) << "found through the extension chain";
        AfxTermExtensionModule(module);
        EXPECT_FALSE(text.LoadString(200));
    }
    EXPECT_EQ(exe, AfxGetResourceHandle());
}
