// The GUI framework stand-in: what the module relies on that its own dialogs'
// tests would not show.
#include "afxwin.h"
#include "dialog_input.h"
#include "guarded_heap.h"

#include <gtest/gtest.h>

// "乗" is 81 5B in GBK: its trail byte is "[". The undelivery notice's
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

TEST(DialogTest, NothingTouchesASelfDeletingDialogAfterItsLastMessage)
{
    for (int how = 0; how < 3; ++how) {
        SCOPED_TRACE(how == 0 ? "escape" : how == 1 ? "close box" : "enter on the default button");
        GuardedHeap::BeginQuarantine();
        CClosingDialog* dialog = new CClosingDialog;
        ASSERT_TRUE(dialog->Create(110, nullptr));
        dialog->ShowWindow(SW_SHOW);
        const HWND window = dialog->m_hWnd;
        if (how == 1)
            ClickCloseBox(window);
        else
            PressDialogKey(window, how == 0 ? VK_ESCAPE : VK_RETURN, ::GetDlgItem(window, 111));
        const bool windowLeft = ::IsWindow(window) != FALSE;
        EXPECT_EQ(0u, GuardedHeap::EndQuarantine()) << "blocks written after they were deleted";
        EXPECT_FALSE(windowLeft);
        EXPECT_EQ(0, CClosingDialog::alive) << "the dialog deleted itself";
    }
}
