// The history list: which messages it lists and in what order, the header
// of each kind, the height and the look of an entry, and what it frees.
#include "history_fixture.h"
#include "pixel_snapshot.h"
#include "process_resources.h"

#include <cstring>

BEGIN_MESSAGE_MAP(CRecordingOwner, CWnd)
ON_MESSAGE(WM_SMS_INSERTTEXT, OnInsertText)
END_MESSAGE_MAP()

namespace {

using HistoryListTest = HistoryPopupFixture;

// The list box's painting, as the screen would show it.
struct ListPicture : Canvas {
    explicit ListPicture(HWND list) : Canvas(Width(list), Height(list), RGB(0, 0, 0))
    {
        SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Dc()), PRF_CLIENT);
    }
    static int Width(HWND list)
    {
        RECT r;
        GetClientRect(list, &r);
        return r.right;
    }
    static int Height(HWND list)
    {
        RECT r;
        GetClientRect(list, &r);
        return r.bottom;
    }
    // Pixels of exactly `colour` in the band [top, bottom) from column `left` on.
    int Count(COLORREF colour, int top, int bottom, int left = 0) const
    {
        return Canvas::Count({left, top, Canvas::Width(), bottom < Canvas::Height() ? bottom : Canvas::Height()},
                             colour);
    }
};

int FreshDcAscent(HWND window)
{
    HDC dc = GetDC(window);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(window, dc);
    return metrics.tmAscent;
}

RECT ItemRect(HWND list, int index)
{
    RECT rect = {};
    SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    return rect;
}

} // namespace

TEST_F(HistoryListTest, TheContactsNewestHundredComeFirst)
{
    Store(CSmsRecord::KIND_SENT, "10002", "2026-12-05 10:00:00", "first");
    Store(CSmsRecord::KIND_RECEIVED, "10002", "2026-12-05 10:01:00", "second");
    Store(CSmsRecord::KIND_RECEIVED, "10003", "2026-12-05 10:01:30", "someone else");
    Fill();
    ASSERT_EQ(2, Count());
    EXPECT_EQ("second", TextAt(0));
    EXPECT_EQ("first", TextAt(1));
    for (int n = 0; n < 150; ++n) Store(CSmsRecord::KIND_SENT, "10002", "t", std::to_string(n).c_str());
    Fill();
    ASSERT_EQ(100, Count());
    EXPECT_EQ("149", TextAt(0));
    EXPECT_EQ("50", TextAt(99));
    Fill("10009");
    EXPECT_EQ(0, Count()) << "a fill replaces what was there";
}

TEST_F(HistoryListTest, HeaderNamesWhoWroteAndWhen)
{
    Store(CSmsRecord::KIND_SENT, "10002", "2026-12-05 10:00:00", "a");
    Store(CSmsRecord::KIND_SCHEDULED, "10002", "2026-12-24 20:30", "b");
    Store(CSmsRecord::KIND_RECEIVED, "10002", "2026-12-05 10:02:00", "c");
    Store(CSmsRecord::KIND_UNDELIVERED, "10002", "2026-12-05 10:03:00", "d");
    Store(7, "10002", "", "e");
    Fill();
    ASSERT_EQ(5, Count());
    const char* expected[] = {
        "系统 ()",
        "系统 (2026-12-05 10:03:00)",
        "张三 (2026-12-05 10:02:00)",
        "10001 [定时发送]  (2026-12-24 20:30)",
        "10001 (2026-12-05 10:00:00)",
    };
    for (int index = 0; index < 5; ++index) {
        const CSmsRecord* record = popup.m_list.GetRecord(index);
        ASSERT_NE(nullptr, record);
        EXPECT_EQ(expected[index], std::string(HistoryHeader(*record))) << index;
    }
}

TEST_F(HistoryListTest, ItemHeightIsAscentsOfHeaderAndLinesPlusSpacing)
{
    const struct {
        const char* text;
        int lines;
    } cases[] = {
        {"one line", 1},        {"", 1},
        {"a\r\nb", 2},          {"ends in a break\r\n", 2},
        {"a\r\n\r\nc\r\nd", 4}, {"lone\ncarriage\rreturns", 1},
    };
    // Stored oldest first so that the list shows them in the table's order.
    for (int n = static_cast<int>(std::size(cases)) - 1; n >= 0; --n)
        Store(CSmsRecord::KIND_SENT, "10002", "t", cases[n].text);
    Fill();
    const int ascent = FreshDcAscent(list);
    ASSERT_GT(ascent, 0);
    ASSERT_EQ(static_cast<int>(std::size(cases)), Count());
    for (int index = 0; index < Count(); ++index)
        EXPECT_EQ(ascent * (1 + cases[index].lines) + 5, SendMessageA(list, LB_GETITEMHEIGHT, index, 0))
            << "ascent " << ascent << ", text \"" << cases[index].text << "\"";
}

// Selected with the focus: highlight, a yellow header, white text; selected
// without the focus or not selected: window colour, blue header, black text.
TEST_F(HistoryListTest, SelectedEntryWithTheFocusIsDrawnHighlighted)
{
    Store(CSmsRecord::KIND_RECEIVED, "10002", "2026-12-05 10:00:00", "older text");
    Store(CSmsRecord::KIND_RECEIVED, "10002", "2026-12-05 10:01:00", "newer text\r\nsecond line");
    Fill();
    popup.ShowWindow(SW_SHOW);
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SetFocus(list);
    ASSERT_EQ(list, GetFocus());

    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const int ascent = FreshDcAscent(list);
    const RECT selected = ItemRect(list, 0);
    const RECT other = ItemRect(list, 1);
    {
        ListPicture picture(list);
        EXPECT_EQ(highlight, picture.At(2, selected.top + 1)) << "left of the header";
        EXPECT_EQ(highlight, picture.At(selected.right - 2, selected.bottom - 2));
        EXPECT_GT(picture.Count(RGB(255, 255, 0), selected.top, selected.top + ascent, 10), 0) << "yellow header";
        EXPECT_EQ(0, picture.Count(RGB(0, 0, 255), selected.top, selected.bottom)) << "no blue in the selection";
        EXPECT_GT(picture.Count(RGB(255, 255, 255), selected.top + ascent, selected.bottom, 20), 0) << "white text";
        EXPECT_EQ(0, picture.Count(RGB(255, 255, 255), selected.top, selected.bottom, 0) -
                         picture.Count(RGB(255, 255, 255), selected.top, selected.bottom, 20))
            << "text starts 20 pixels in";

        EXPECT_EQ(window, picture.At(2, other.top + 1));
        EXPECT_GT(picture.Count(RGB(0, 0, 255), other.top, other.top + ascent, 10), 0) << "blue header";
        EXPECT_GT(picture.Count(RGB(0, 0, 0), other.top + ascent, other.bottom, 20), 0) << "black text";
        EXPECT_EQ(0, picture.Count(RGB(255, 255, 0), other.top, other.bottom));
    }

    SetFocus(owner.m_hWnd);
    ASSERT_EQ(0, SendMessageA(list, LB_GETCURSEL, 0, 0)) << "still selected";
    ListPicture unfocused(list);
    EXPECT_EQ(window, unfocused.At(2, selected.top + 1)) << "no highlight without the focus";
    EXPECT_GT(unfocused.Count(RGB(0, 0, 255), selected.top, selected.top + ascent, 10), 0);
    EXPECT_EQ(0, unfocused.Count(RGB(255, 255, 0), selected.top, selected.bottom));
}

TEST_F(HistoryListTest, RefillsFreeTheRecordsAndHoldNoGdiObjects)
{
    for (int n = 0; n < 10; ++n) Store(CSmsRecord::KIND_RECEIVED, "10002", "2026-12-05 10:00:00", "some text\r\nmore");
    popup.ShowWindow(SW_SHOW);
    // The first fill and paint make what the process keeps for good.
    Fill();
    UpdateWindow(list);
    const size_t heapBefore = HeapBytesInUse();
    const int gdiBefore = CountGdiObjects();
    for (int round = 0; round < 1000; ++round) {
        Fill();
        UpdateWindow(list);
    }
    EXPECT_EQ(10, Count());
    EXPECT_EQ(heapBefore, HeapBytesInUse()) << "bytes in use before and after 1,000 fills";
    EXPECT_EQ(gdiBefore, CountGdiObjects()) << "GDI objects before and after 1,000 fills";
}

TEST(HistoryListLifetimeTest, DestroyingThePopupFreesTheRecords)
{
    TempDir dir;
    AccountDataDir = dir.Path().c_str();
    CurrentAccountId = "10001";
    for (int n = 0; n < 20; ++n) {
        CSmsRecord record;
        record.kind = CSmsRecord::KIND_SENT;
        record.peer = "10002";
        record.text = "a message that is long enough to show in the heap";
        ASSERT_TRUE(CMessageStore::AddHistory(record));
    }
    CRecordingOwner owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP, RECT{0, 0, 200, 100}, nullptr, 0));
    auto cycle = [&](bool deleteWithWindowOpen) {
        CMessageHistoryPopup* popup = new CMessageHistoryPopup;
        ASSERT_TRUE(popup->Create(IDD_HISTORY_POPUP, &owner));
        popup->FillHistory("10002", "c", "o");
        ASSERT_EQ(20, popup->m_list.GetCount());
        if (!deleteWithWindowOpen) popup->DestroyWindow();
        delete popup;
    };
    cycle(false);
    cycle(true);
    const size_t before = HeapBytesInUse();
    cycle(false);
    EXPECT_EQ(before, HeapBytesInUse()) << "window destroyed, then the object deleted";
    cycle(true);
    EXPECT_EQ(before, HeapBytesInUse()) << "object deleted with its window open";
    owner.DestroyWindow();
    AccountDataDir.Empty();
    CurrentAccountId.Empty();
}
