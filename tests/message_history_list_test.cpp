// The history popup over a store in a fresh directory, under an owner of the
// test's own: which messages it lists, their headers, the entry a
// double-click hands on, the edges a user drags, and what refills keep.
#include "record_maker.h"
#include "controls/message_history_popup.h"
#include "process_resources.h"
#include "res/resource.h"
#include "store/message_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every text that the popup hands over.
class CRecordingOwner : public CWnd {
public:
    LRESULT OnInsertText(WPARAM, LPARAM lParam)
    {
        texts.push_back(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    std::vector<std::string> texts;
    DECLARE_MESSAGE_MAP()
};

class HistoryPopupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AccountDataDir = m_dir.Path().c_str();
        CurrentAccountId = "10001";
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, RECT{100, 100, 500, 300}, nullptr, 0));
        ASSERT_TRUE(popup.Create(IDD_HISTORY_POPUP, &owner));
        list = popup.m_list.m_hWnd;
    }
    void TearDown() override
    {
        popup.DestroyWindow();
        owner.DestroyWindow();
        AccountDataDir.Empty();
        CurrentAccountId.Empty();
    }
    static void Store(BYTE kind, const char* time, const char* text, const char* peer = "10002")
    {
        CSmsRecord record = Record(kind, peer, time, text);
        ASSERT_TRUE(CMessageStore::AddHistory(record)) << text;
    }
    void Fill(const char* peer = "10002") { popup.FillHistory(peer, "张三", "10001"); }
    int Count() const { return static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); }
    std::string HeaderAt(int index) const
    {
        const CSmsRecord* record = popup.m_list.GetRecord(index);
        return record ? std::string(HistoryHeader(*record)) + "|" + (const char*)record->text : "<no record>";
    }
    // The user's double-click as the list box tells its dialog.
    void DoubleClick(int index)
    {
        SendMessageA(list, LB_SETCURSEL, index, 0);
        SendMessageA(popup.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_HISTORY_LIST, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(list));
    }

    TempDir m_dir;
    CRecordingOwner owner;
    CMessageHistoryPopup popup;
    HWND list = nullptr;
};

} // namespace

BEGIN_MESSAGE_MAP(CRecordingOwner, CWnd)
ON_MESSAGE(WM_SMS_INSERTTEXT, OnInsertText)
END_MESSAGE_MAP()

TEST_F(HistoryPopupTest, TheContactsNewestHundredComeFirstEachUnderItsHeader)
{
    Store(CSmsRecord::KIND_SENT, "2026-12-05 10:00:00", "a");
    Store(CSmsRecord::KIND_SCHEDULED, "2026-12-24 20:30", "b");
    Store(CSmsRecord::KIND_RECEIVED, "2026-12-05 10:02:00", "c");
    Store(CSmsRecord::KIND_RECEIVED, "2026-12-05 10:02:30", "someone else", "10003");
    Store(CSmsRecord::KIND_UNDELIVERED, "2026-12-05 10:03:00", "d");
    Store(7, "", "e");
    Fill();
    EXPECT_EQ((std::vector<std::string>{"系统 ()|e", "系统 (2026-12-05 10:03:00)|d", "张三 (2026-12-05 10:02:00)|c",
                                        "10001 [定时发送]  (2026-12-24 20:30)|b", "10001 (2026-12-05 10:00:00)|a"}),
              (std::vector<std::string>{HeaderAt(0), HeaderAt(1), HeaderAt(2), HeaderAt(3), HeaderAt(4)}));
    EXPECT_EQ(5, Count());
    for (int n = 0; n < 150; ++n) Store(CSmsRecord::KIND_SENT, "t", std::to_string(n).c_str());
    Fill();
    ASSERT_EQ(100, Count());
    EXPECT_EQ("10001 (t)|149", HeaderAt(0));
    EXPECT_EQ("10001 (t)|50", HeaderAt(99));
    Fill("10009");
    EXPECT_EQ(0, Count()) << "a fill replaces what was there";
}

TEST_F(HistoryPopupTest, DoubleClickHandsTheEntrysTextOnUnlessItIsTheOnlyOne)
{
    Store(CSmsRecord::KIND_SENT, "t", "alone");
    Fill();
    DoubleClick(0);
    EXPECT_TRUE(owner.texts.empty()) << "a single entry is not handed on";
    Store(CSmsRecord::KIND_SENT, "t", "newer");
    Fill();
    DoubleClick(-1);
    EXPECT_TRUE(owner.texts.empty()) << "no selection, nothing handed on";
    DoubleClick(1);
    EXPECT_EQ(std::vector<std::string>{"alone"}, owner.texts);
}

TEST_F(HistoryPopupTest, DraggingAnyEdgeButTheBottomSnapsBackUnderTheOwner)
{
    RECT parent;
    GetWindowRect(owner.m_hWnd, &parent);
    for (WPARAM edge : {WMSZ_LEFT, WMSZ_TOP, WMSZ_TOPRIGHT, WMSZ_BOTTOMLEFT, WMSZ_BOTTOM}) {
        RECT proposed = {7, 8, 90, 345};
        SendMessageA(popup.m_hWnd, WM_SIZING, edge, reinterpret_cast<LPARAM>(&proposed));
        const RECT expected =
            edge == WMSZ_BOTTOM ? RECT{7, 8, 90, 345} : RECT{parent.left, parent.bottom, parent.right, 345};
        EXPECT_TRUE(EqualRect(&expected, &proposed)) << "edge " << edge << ": " << proposed.left << "," << proposed.top
                                                     << "," << proposed.right << "," << proposed.bottom;
    }
}

TEST_F(HistoryPopupTest, RefillsFreeTheRecordsAndHoldNoGdiObjects)
{
    for (int n = 0; n < 10; ++n) Store(CSmsRecord::KIND_RECEIVED, "2026-12-05 10:00:00", "some text\r\nmore");
    popup.ShowWindow(SW_SHOW);
    // The first fill and paint make what the process keeps for good.
    Fill();
    UpdateWindow(list);
    const size_t heapBefore = HeapBytesInUse();
    const int gdiBefore = CountGdiObjects();
    for (int round = 0; round < 300; ++round) {
        Fill();
        UpdateWindow(list);
    }
    EXPECT_EQ(10, Count());
    EXPECT_EQ(heapBefore, HeapBytesInUse()) << "bytes in use before and after 300 fills";
    EXPECT_EQ(gdiBefore, CountGdiObjects()) << "GDI objects before and after 300 fills";
}
