#include "anchor_layout.h"

#include <cstring>

namespace {

const char* ClassOf(HWND control, char* name, int size)
{
    name[0] = '\0';
    ::GetClassNameA(control, name, size);
    return name;
}

DWORD StyleOf(HWND control) { return static_cast<DWORD>(::GetWindowLongPtrA(control, GWL_STYLE)); }

// Percent of a length, the remainder dropped.
int Percent(int length, int percent) { return length * percent / 100; }

} // namespace

bool CAnchorLayout::ExcludeOnErase(HWND control)
{
    char name[MAX_PATH];
    ClassOf(control, name, MAX_PATH);
    const DWORD style = StyleOf(control);
    if (strcmp(name, "ToolbarWindow32") == 0) return !(style & 0x8000); // TBSTYLE_TRANSPARENT
    if (strcmp(name, "Button") == 0) return (style & 0x1F) != BS_GROUPBOX;
    if (strcmp(name, "Static") == 0) {
        switch (style & 0x1F) {
        case SS_BLACKRECT: case SS_GRAYRECT: case SS_WHITERECT:
        case SS_BITMAP: case SS_ETCHEDHORZ: case SS_ETCHEDVERT:
            return true;
        case SS_ICON: case SS_ENHMETAFILE:
            return !(style & SS_CENTERIMAGE);
        default:
            return false;
        }
    }
    return true;
}

bool CAnchorLayout::RedrawAfterMove(HWND control)
{
    char name[MAX_PATH];
    ClassOf(control, name, MAX_PATH);
    if (strcmp(name, "Static") != 0) return false;
    const DWORD style = StyleOf(control);
    switch (style & 0x1F) {
    case SS_LEFT: case SS_CENTER: case SS_RIGHT: case SS_BITMAP: case SS_ENHMETAFILE:
        return true;
    case SS_ICON: case SS_SIMPLE: case SS_ETCHEDHORZ: case SS_ETCHEDVERT:
        return false;
    default:
        return (style & SS_CENTERIMAGE) != 0;
    }
}

void CAnchorLayout::GetLayoutRect(RECT* rect) { ::GetClientRect(GetLayoutHost(), rect); }

RECT CAnchorLayout::ControlRect(HWND control)
{
    RECT rect;
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, GetLayoutHost(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void CAnchorLayout::AnchorControl(HWND control, AnchorPoint topLeft, AnchorPoint bottomRight)
{
    char name[MAX_PATH];
    ClassOf(control, name, MAX_PATH);
    if (strcmp(name, "Button") == 0 && (StyleOf(control) & 0x1F) == BS_GROUPBOX)
        ::SetWindowLongPtrA(control, GWL_STYLE, StyleOf(control) | WS_CLIPSIBLINGS);

    AnchorItem item;
    item.window = control;
    item.adjustHorizontalScroll = strcmp(name, "ListBox") == 0;
    item.redrawAfterMove = RedrawAfterMove(control);

    RECT layout;
    GetLayoutRect(&layout);
    const int width = layout.right - layout.left;
    const int height = layout.bottom - layout.top;
    const RECT rect = ControlRect(control);
    if (bottomRight.x == AnchorNone.x && bottomRight.y == AnchorNone.y) bottomRight = topLeft;
    item.topLeft = topLeft;
    item.bottomRight = bottomRight;
    item.topLeftMargin = {rect.left - Percent(width, topLeft.x), rect.top - Percent(height, topLeft.y)};
    item.bottomRightMargin = {rect.right - Percent(width, bottomRight.x), rect.bottom - Percent(height, bottomRight.y)};
    m_items.push_back(item);
}

void CAnchorLayout::ArrangeControls()
{
    RECT layout;
    GetLayoutRect(&layout);
    const int width = layout.right - layout.left;
    const int height = layout.bottom - layout.top;
    HDWP batch = ::BeginDeferWindowPos(static_cast<int>(m_items.size()));
    for (const AnchorItem& item : m_items) {
        const RECT old = ControlRect(item.window);
        RECT now;
        now.left = item.topLeftMargin.x + Percent(width, item.topLeft.x);
        now.top = item.topLeftMargin.y + Percent(height, item.topLeft.y);
        now.right = item.bottomRightMargin.x + Percent(width, item.bottomRight.x);
        now.bottom = item.bottomRightMargin.y + Percent(height, item.bottomRight.y);
        if (::EqualRect(&now, &old)) continue;

        bool repaint = item.redrawAfterMove;
        if (item.adjustHorizontalScroll) {
            // A list box that grows wider scrolls back; its old picture is
            // then of no use.
            const int widthChange = (now.right - now.left) - (old.right - old.left);
            SCROLLINFO scroll = {sizeof scroll, SIF_RANGE | SIF_PAGE | SIF_POS};
            int limit = 0;
            if (::GetScrollInfo(item.window, SB_HORZ, &scroll))
                limit = scroll.nMax - scroll.nMin + 1 - static_cast<int>(scroll.nPage);
            repaint = limit > 0 && scroll.nPos > limit - widthChange;
        }
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
        if (repaint) flags |= SWP_NOCOPYBITS;
        if (now.left == old.left && now.top == old.top) flags |= SWP_NOMOVE;
        if (now.right - now.left == old.right - old.left && now.bottom - now.top == old.bottom - old.top)
            flags |= SWP_NOSIZE;
        if (batch)
            batch = ::DeferWindowPos(batch, item.window, nullptr, now.left, now.top, now.right - now.left,
                                     now.bottom - now.top, flags);
    }
    if (batch) ::EndDeferWindowPos(batch);
}

void CAnchorLayout::ClipAnchoredChildren(HDC dc)
{
    for (const AnchorItem& item : m_items) {
        if (!::IsWindowVisible(item.window)) continue;
        RECT rect = ControlRect(item.window);
        ::DPtoLP(dc, reinterpret_cast<POINT*>(&rect), 2);
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        if (::GetWindowRgn(item.window, region) == COMPLEXREGION) {
            ::OffsetRgn(region, rect.left, rect.top);
        } else {
            ::SetRectRgn(region, rect.left, rect.top, rect.right, rect.bottom);
        }
        if (ExcludeOnErase(item.window)) {
            ::ExtSelectClipRgn(dc, region, RGN_DIFF);
        } else {
            ::ExtSelectClipRgn(dc, region, RGN_OR);
        }
        ::DeleteObject(region);
    }
}
