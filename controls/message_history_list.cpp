#include "controls/message_history_list.h"

#include "controls/shown_text.h"
#include "res/resource.h"
#include "skin/ixa_skin.h"
#include "store/message_store.h"
#include "store/sms_record.h"

#include <cstring>
#include <list>

namespace {

// The skin's look of the history list.
const int kSkinKindHistoryList = 3;
const int kHistoryMaximum = 100;
const char kLineBreak[] = "\r\n";

const COLORREF kHeaderColour = RGB(0, 0, 255);
const COLORREF kHeaderHighlightColour = RGB(255, 255, 0);
const COLORREF kTextColour = RGB(0, 0, 0);
const COLORREF kTextHighlightColour = RGB(255, 255, 255);

int CountLineBreaks(const char* text)
{
    int count = 0;
    for (const char* at = text ? strstr(text, kLineBreak) : nullptr; at; at = strstr(at + 2, kLineBreak)) ++count;
    return count;
}

} // namespace

CString HistoryCaption(const CSmsRecord& record, const CString& contactLabel, const CString& ownLabel)
{
    CString caption;
    switch (record.kind) {
    case CSmsRecord::KIND_SENT:
        caption = ownLabel;
        break;
    case CSmsRecord::KIND_SCHEDULED: {
        CString scheduled;
        scheduled.LoadString(IDS_SCHEDULED_LABEL);
        caption = ownLabel + " [" + scheduled + "] ";
        break;
    }
    case CSmsRecord::KIND_RECEIVED:
        caption = contactLabel;
        break;
    default:
        caption.LoadString(IDS_SYSTEM_SENDER);
        break;
    }
    return caption;
}

CString HistoryHeader(const CSmsRecord& record)
{
    CString header;
    header.Format("%s (%s)", (LPCSTR)record.caption, (LPCSTR)record.time);
    return header;
}

int HistoryItemHeight(int ascent, const char* text)
{
    return ascent * (2 + CountLineBreaks(text)) + 5;
}

IMPLEMENT_DYNAMIC(CMessageHistoryList, CListBox)

BEGIN_MESSAGE_MAP(CMessageHistoryList, CListBox)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_NCCALCSIZE()
END_MESSAGE_MAP()

// A list deleted with its window still open loses the window in the
// framework's destructor, after this object's part is gone: its records are
// freed here while the items can still be read.
CMessageHistoryList::~CMessageHistoryList()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) ClearHistory();
}

void CMessageHistoryList::PreSubclassWindow()
{
    SkinAttachWindow(m_hWnd, kSkinKindHistoryList);
    CListBox::PreSubclassWindow();
}

int CMessageHistoryList::OnCreate(LPCREATESTRUCT create)
{
    if (CListBox::OnCreate(create) == -1) return -1;
    SkinAttachWindow(m_hWnd, kSkinKindHistoryList);
    return 0;
}

void CMessageHistoryList::OnDestroy()
{
    // The list box drops its entries in its own WM_DESTROY, so the records
    // are taken out of them before.
    ClearHistory();
    Default();
}

void CMessageHistoryList::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*)
{
    Default();
}

CSmsRecord* CMessageHistoryList::GetRecord(int index) const
{
    const LRESULT data = SendMessage(LB_GETITEMDATA, index);
    if (data == LB_ERR || data == 0) return nullptr;
    return reinterpret_cast<CSmsRecord*>(data);
}

void CMessageHistoryList::ClearHistory()
{
    const int count = GetCount();
    for (int index = 0; index < count; ++index) delete GetRecord(index);
    ResetContent();
}

void CMessageHistoryList::FillHistory(CString contactKey, CString contactLabel, CString ownLabel)
{
    // Off while the items go in: the list box may otherwise draw an entry
    // between its insertion and the moment its record becomes its data.
    SetRedraw(FALSE);
    ClearHistory();

    // The store's list runs oldest to newest; the newest is listed first.
    std::list<CSmsRecord*> records;
    // False when there is no history or it cannot be read: the list stays
    // empty, which is all there is to show.
    CMessageStore::ListHistory(contactKey, records, kHistoryMaximum);
    while (!records.empty()) {
        CSmsRecord* record = records.back();
        records.pop_back();
        record->caption = HistoryCaption(*record, contactLabel, ownLabel);
        // Measuring sees the text as the entry's data (no stored strings),
        // counted in lines as it will be drawn.
        const CString shown = shown_text::ShownMessageText(record->text);
        m_pAddingText = shown;
        const int index = AddString(shown);
        m_pAddingText = nullptr;
        if (index >= 0)
            SetItemDataPtr(index, record);
        else
            delete record;
    }

    SetRedraw(TRUE);
    Invalidate(FALSE);
}

void CMessageHistoryList::MeasureItem(LPMEASUREITEMSTRUCT measureItem)
{
    // The ascent of a fresh device context's font, not of the list's own.
    HDC dc = ::GetDC(m_hWnd);
    CDC clientDc;
    clientDc.m_hDC = dc;
    TEXTMETRICA metrics = {};
    clientDc.GetTextMetrics(&metrics);
    ::ReleaseDC(m_hWnd, dc);
    measureItem->itemHeight = HistoryItemHeight(metrics.tmAscent, reinterpret_cast<const char*>(measureItem->itemData));
}

void CMessageHistoryList::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    // The empty list's focus rectangle has no item.
    if (static_cast<int>(drawItem->itemID) < 0) return;
    const char* data = reinterpret_cast<const char*>(drawItem->itemData);
    if (!data || data == m_pAddingText) return;
    const CSmsRecord& record = *reinterpret_cast<const CSmsRecord*>(data);

    CDC dc;
    dc.m_hDC = drawItem->hDC;
    RECT rect = drawItem->rcItem;
    const bool highlighted = (drawItem->itemState & ODS_SELECTED) && ::GetFocus() == m_hWnd;

    ::FillRect(dc, &rect, ::GetSysColorBrush(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    const int previousMode = dc.SetBkMode(TRANSPARENT);
    const COLORREF previousColour = dc.SetTextColor(highlighted ? kHeaderHighlightColour : kHeaderColour);

    // A message's '&' is a character, not a mnemonic.
    const UINT lineFormat = DT_SINGLELINE | DT_NOPREFIX;
    const CString header = HistoryHeader(record);
    rect.left += 10;
    rect.top += dc.DrawText(header, header.GetLength(), &rect, lineFormat);

    dc.SetTextColor(highlighted ? kTextHighlightColour : kTextColour);
    rect.left += 10;
    // The record keeps the whole text, which is what a double-click hands on.
    const CString shown = shown_text::ShownMessageText(record.text);
    const char* line = shown;
    for (const char* end = strstr(line, kLineBreak); end; end = strstr(line, kLineBreak)) {
        rect.top += dc.DrawText(line, static_cast<int>(end - line), &rect, lineFormat | DT_END_ELLIPSIS);
        line = end + 2;
    }
    // A text that ends in CR LF has no last line to draw.
    if (*line) rect.top += dc.DrawText(line, static_cast<int>(strlen(line)), &rect, lineFormat | DT_END_ELLIPSIS);

    dc.SetBkMode(previousMode);
    dc.SetTextColor(previousColour);
}
