// The list of the history popup: one owner-drawn entry per message, newest
// first, a header line (who wrote it and when) over the text's lines. The
// list owns the records that it shows.
#pragma once
#include "afxwin.h"

class CSmsRecord;

// Who wrote a record, as its header names it: the own label for what the user
// sent (with the scheduled mark for a scheduled message), the contact label
// for what was received, "系统" (string 14001) for anything else.
CString HistoryCaption(const CSmsRecord& record, const CString& contactLabel, const CString& ownLabel);
// The header line: caption and time.
CString HistoryHeader(const CSmsRecord& record);
// Pixel height of an entry: the header, one line per CR LF in the text and
// the last line, each `ascent` high, and 5 pixels of spacing.
int HistoryItemHeight(int ascent, const char* text);

class CMessageHistoryList : public CListBox {
    DECLARE_DYNAMIC(CMessageHistoryList)
public:
    CMessageHistoryList() = default;
    ~CMessageHistoryList() override;

    // Replaces the content with the newest 100 messages exchanged with
    // `contactKey`, newest first.
    void FillHistory(CString contactKey, CString contactLabel, CString ownLabel);
    // Deletes every entry's record, then empties the list.
    void ClearHistory();
    // The record of an entry, or null.
    CSmsRecord* GetRecord(int index) const;

    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;
    void MeasureItem(LPMEASUREITEMSTRUCT measureItem) override;

protected:
    void PreSubclassWindow() override;
    int OnCreate(LPCREATESTRUCT create);
    void OnDestroy();
    void OnNcCalcSize(BOOL calculateValidRects, NCCALCSIZE_PARAMS* parameters);

    DECLARE_MESSAGE_MAP()

private:
    // The text of the entry being added: until the record replaces it as the
    // entry's data, that entry holds only this pointer.
    const char* m_pAddingText = nullptr;
};
