// Controls anchored by their corners to points in percent of a layout
// rectangle: they keep their pixel distances to those points as it resizes.
#pragma once
#include <windows.h>

#include <vector>

struct AnchorPoint {
    int x; // percent of the layout width
    int y; // percent of the layout height
};

const AnchorPoint AnchorTopLeft = {0, 0};
const AnchorPoint AnchorTopCenter = {50, 0};
const AnchorPoint AnchorTopRight = {100, 0};
const AnchorPoint AnchorMiddleLeft = {0, 50};
const AnchorPoint AnchorMiddleCenter = {50, 50};
const AnchorPoint AnchorMiddleRight = {100, 50};
const AnchorPoint AnchorBottomLeft = {0, 100};
const AnchorPoint AnchorBottomCenter = {50, 100};
const AnchorPoint AnchorBottomRight = {100, 100};
const AnchorPoint AnchorNone = {-1, -1};

class CAnchorLayout {
public:
    // Whether the control paints its whole area, so the host need not erase
    // under it.
    virtual bool ExcludeOnErase(HWND control);
    // Whether the control's picture depends on its size, so its old pixels
    // cannot be copied when it moves.
    virtual bool RedrawAfterMove(HWND control);
    virtual void GetLayoutRect(RECT* rect);
    virtual HWND GetLayoutHost() = 0;
    virtual ~CAnchorLayout() = default;

    // AnchorNone as bottom-right: the control keeps its size.
    void AnchorControl(HWND control, AnchorPoint topLeft, AnchorPoint bottomRight);
    void ArrangeControls();
    void ClipAnchoredChildren(HDC dc);
    void ClearAnchors() { m_items.clear(); }
    int AnchorCount() const { return static_cast<int>(m_items.size()); }

private:
    struct AnchorItem {
        HWND window;
        bool adjustHorizontalScroll;
        bool redrawAfterMove;
        AnchorPoint topLeft;
        POINT topLeftMargin;
        AnchorPoint bottomRight;
        POINT bottomRightMargin;
    };
    RECT ControlRect(HWND control);

    std::vector<AnchorItem> m_items;
};

// The window's minimum tracking size.
class CTrackSizeLimits {
public:
    void SetMinimumSize(int width, int height)
    {
        m_bUseMinimum = 1;
        m_minimum = {width, height};
    }
    void ApplyTo(MINMAXINFO* info) const
    {
        if (m_bUseMinimum) info->ptMinTrackSize = {m_minimum.cx, m_minimum.cy};
    }

private:
    int m_bUseMinimum = 0;
    SIZE m_minimum = {0, 0};
};
