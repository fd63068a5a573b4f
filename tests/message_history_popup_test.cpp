// The history popup: the text a double-click hands to the owner, where it stays while the user drags its edges, and the
// keys that leave it alone.
#include "dialog_input.h"
#include "history_fixture.h"

namespace {

using HistoryPopupTest = HistoryPopupFixture;

RECT WindowRect(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

// A user's double-click on an entry: down, up, the system's double-click
// message and up again, at the entry's middle.
void DoubleClickItem(HWND list, int index)
{
    RECT item = {};
    SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
}

} // namespace

TEST_F(HistoryPopupTest, DoubleClickHandsTheEntrysTextOnUnlessItIsTheOnlyOne)
{
    Store(CSmsRecord::KIND_SENT, "10002", "t", "alone");
    Fill();
    popup.ShowWindow(SW_SHOW);
    DoubleClickItem(list, 0);
    EXPECT_EQ(0, SendMessageA(list, LB_GETCURSEL, 0, 0)) << "the click selects the entry";
    EXPECT_TRUE(owner.texts.empty()) << "a single entry is not handed on";

    // What more entries hand on, the send dialog's test reads in its message.
    Store(CSmsRecord::KIND_SENT, "10002", "t", "newer");
    Fill();
    DoubleClickItem(list, 0);
    ASSERT_EQ(std::vector<std::string>{"newer"}, owner.texts);

    // The notification as the list box sends it, with nothing selected.
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageA(popup.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(1u, owner.texts.size()) << "no selection, nothing handed on";
}

TEST_F(HistoryPopupTest, DraggingAnyEdgeButTheBottomSnapsBackUnderTheOwner)
{
    const RECT parent = WindowRect(owner.m_hWnd);
    for (WPARAM edge :
         {WMSZ_LEFT, WMSZ_RIGHT, WMSZ_TOP, WMSZ_TOPLEFT, WMSZ_TOPRIGHT, WMSZ_BOTTOMLEFT, WMSZ_BOTTOMRIGHT}) {
        RECT proposed = {7, 8, 90, 345};
        SendMessageA(popup.m_hWnd, WM_SIZING, edge, reinterpret_cast<LPARAM>(&proposed));
        EXPECT_EQ(parent.left, proposed.left) << "edge " << edge;
        EXPECT_EQ(parent.bottom, proposed.top) << "edge " << edge;
        EXPECT_EQ(parent.right, proposed.right) << "edge " << edge;
        EXPECT_EQ(345, proposed.bottom) << "edge " << edge << ": the bottom stays as proposed";
    }
    RECT proposed = {7, 8, 90, 345};
    SendMessageA(popup.m_hWnd, WM_SIZING, WMSZ_BOTTOM, reinterpret_cast<LPARAM>(&proposed));
    EXPECT_EQ(7, proposed.left);
    EXPECT_EQ(8, proposed.top);
    EXPECT_EQ(90, proposed.right);
    EXPECT_EQ(345, proposed.bottom);
}

TEST_F(HistoryPopupTest, ListFollowsATallerPopup)
{
    popup.ShowWindow(SW_SHOW);
    RECT frame = WindowRect(popup.m_hWnd);
    popup.SetWindowPos(nullptr, 0, 0, frame.right - frame.left + 30, frame.bottom - frame.top + 40,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    popup.GetClientRect(&client);
    RECT listRect = WindowRect(list);
    MapWindowPoints(nullptr, popup.m_hWnd, reinterpret_cast<POINT*>(&listRect), 2);
    EXPECT_EQ(client.right, listRect.right);
    EXPECT_EQ(client.bottom, listRect.bottom);
    EXPECT_EQ(0, listRect.top);
}

TEST_F(HistoryPopupTest, EnterAndEscapeLeaveThePopupOpen)
{
    Store(CSmsRecord::KIND_SENT, "10002", "t", "a");
    Store(CSmsRecord::KIND_SENT, "10002", "t", "b");
    Fill();
    popup.ShowWindow(SW_SHOW);
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        PressDialogKey(popup.m_hWnd, key);
        EXPECT_TRUE(IsWindow(popup.m_hWnd)) << key;
        EXPECT_TRUE(popup.IsWindowVisible()) << "key " << key << " hid the popup";
        EXPECT_EQ(2, Count()) << key;
        EXPECT_TRUE(owner.texts.empty()) << key;
    }
}
