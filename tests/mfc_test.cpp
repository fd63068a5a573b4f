// The GUI framework stand-in: what the module relies on that its own dialogs'
// tests would not show.
#include "afxwin.h"

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
