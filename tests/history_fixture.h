// A history popup under an owner window of the test's own, over a store in
// a fresh directory: what the send and view dialogs give the popup.
#pragma once
#include "record_maker.h"
#include "controls/message_history_popup.h"
#include "res/resource.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Records every text that the popup hands over.
class CRecordingOwner : public CWnd {
public:
    LRESULT OnInsertText(WPARAM wParam, LPARAM lParam)
    {
        wParams.push_back(wParam);
        pointers.push_back(lParam);
        texts.push_back(reinterpret_cast<const char*>(lParam));
        return 0;
    }
    std::vector<WPARAM> wParams;
    std::vector<LPARAM> pointers;
    std::vector<std::string> texts;

    DECLARE_MESSAGE_MAP()
};

class HistoryPopupFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        AccountDataDir = m_dir.Path().c_str();
        CurrentAccountId = "10001";
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, RECT{100, 100, 500, 300}, nullptr, 0));
        ASSERT_TRUE(popup.Create(IDD_HISTORY_POPUP, &owner));
        list = popup.m_list.m_hWnd;
        ASSERT_NE(nullptr, list);
    }
    void TearDown() override
    {
        popup.DestroyWindow();
        owner.DestroyWindow();
        AccountDataDir.Empty();
        CurrentAccountId.Empty();
    }

    static void Store(BYTE kind, const char* peer, const char* time, const char* text)
    {
        CSmsRecord record = Record(kind, peer, time, text);
        ASSERT_TRUE(CMessageStore::AddHistory(record)) << text;
    }
    void Fill(const char* peer = "10002") { popup.FillHistory(peer, "张三", "10001"); }
    int Count() const { return static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); }
    std::string TextAt(int index) const
    {
        const CSmsRecord* record = popup.m_list.GetRecord(index);
        return record ? std::string(record->text) : std::string("<no record>");
    }

    TempDir m_dir;
    CRecordingOwner owner;
    CMessageHistoryPopup popup;
    HWND list = nullptr;
};
