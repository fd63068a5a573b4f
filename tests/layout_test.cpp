// Anchored layout: controls keep their pixel distances to points given in
// percent of the client area, and the class rules decide erasing and redraw.
#include "dialogs/order_dlg.h"
#include "skin/anchor_layout.h"

#include <gtest/gtest.h>

namespace {

class CWindowLayout : public CAnchorLayout {
public:
    CWindowLayout()
    {
        m_host = CreateWindowA("Static", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        SetClientSize(301, 200);
    }
    ~CWindowLayout() override { DestroyWindow(m_host); }
    HWND GetLayoutHost() override { return m_host; }

    void SetClientSize(int width, int height)
    {
        RECT frame = {0, 0, width, height};
        AdjustWindowRectEx(&frame, WS_POPUP, FALSE, 0);
        SetWindowPos(m_host, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER);
    }
    HWND Child(const char* className, DWORD style, int x, int y, int width, int height)
    {
        return CreateWindowA(className, "", WS_CHILD | WS_VISIBLE | style, x, y, width, height, m_host, nullptr,
                             nullptr, nullptr);
    }
    RECT RectOf(HWND child)
    {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, m_host, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

private:
    HWND m_host;
};

} // namespace

TEST(AnchorLayoutTest, PercentDropsTheRemainder)
{
    CWindowLayout layout;
    // Width 301: the 50% point lies at 150, so the margin is 10.
    HWND child = layout.Child("Static", SS_LEFT, 160, 20, 30, 10);
    layout.AnchorControl(child, {50, 0}, AnchorNone);
    layout.SetClientSize(401, 200);
    layout.ArrangeControls();
    EXPECT_EQ(210, layout.RectOf(child).left);
    EXPECT_EQ(30, layout.RectOf(child).right - layout.RectOf(child).left) << "AnchorNone keeps the size";
}

TEST(AnchorLayoutTest, StretchedControlsKeepTheirDistancesToAllEdges)
{
    CWindowLayout layout;
    HWND fill = layout.Child("Edit", 0, 5, 6, 301 - 12, 200 - 14);
    HWND centred = layout.Child("Button", BS_PUSHBUTTON, 130, 90, 40, 20);
    layout.AnchorControl(fill, AnchorTopLeft, AnchorBottomRight);
    layout.AnchorControl(centred, AnchorMiddleCenter, AnchorMiddleCenter);
    layout.SetClientSize(500, 400);
    layout.ArrangeControls();
    const RECT f = layout.RectOf(fill);
    EXPECT_EQ(5, f.left);
    EXPECT_EQ(6, f.top);
    EXPECT_EQ(500 - 7, f.right);
    EXPECT_EQ(400 - 8, f.bottom);
    const RECT c = layout.RectOf(centred);
    EXPECT_EQ(130 - 150 + 250, c.left);
    EXPECT_EQ(90 - 100 + 200, c.top);
    EXPECT_EQ(40, c.right - c.left);
}

TEST(AnchorLayoutTest, ClassRules)
{
    CWindowLayout layout;
    const struct {
        const char* className;
        DWORD style;
        bool exclude;
        bool redraw;
    } cases[] = {
        {"Static", SS_LEFT, false, true},
        {"Static", SS_CENTER, false, true},
        {"Static", SS_ICON, true, false},
        {"Static", SS_ICON | SS_CENTERIMAGE, false, false},
        {"Static", SS_BLACKRECT, true, false},
        {"Static", SS_BLACKRECT | SS_CENTERIMAGE, true, true},
        {"Static", SS_BITMAP, true, true},
        {"Static", SS_ETCHEDHORZ, true, false},
        {"Static", SS_SIMPLE, false, false},
        {"Static", SS_OWNERDRAW, false, false},
        {"Button", BS_GROUPBOX, false, false},
        {"Button", BS_PUSHBUTTON, true, false},
        {"Edit", 0, true, false},
        {"ListBox", 0, true, false},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(std::string(each.className) + " " + std::to_string(each.style));
        HWND child = layout.Child(each.className, each.style, 0, 0, 20, 20);
        EXPECT_EQ(each.exclude, layout.ExcludeOnErase(child));
        EXPECT_EQ(each.redraw, layout.RedrawAfterMove(child));
        DestroyWindow(child);
    }
}

TEST(AnchorLayoutTest, GroupBoxGetsClipSiblings)
{
    CWindowLayout layout;
    HWND group = layout.Child("Button", BS_GROUPBOX, 0, 0, 50, 50);
    ASSERT_FALSE(GetWindowLongPtrA(group, GWL_STYLE) & WS_CLIPSIBLINGS);
    layout.AnchorControl(group, AnchorTopLeft, AnchorBottomRight);
    EXPECT_TRUE(GetWindowLongPtrA(group, GWL_STYLE) & WS_CLIPSIBLINGS);
    EXPECT_FALSE(layout.ExcludeOnErase(group)) << "never cut out of the erase";
}

TEST(ResizableDialogTest, MaximisedElsewhereDoesNotRearrange)
{
    CWebBrowser2::RegisterControlClass();
    COrderDlg* dialog = new COrderDlg;
    ASSERT_TRUE(dialog->Create(nullptr));
    HWND browser = dialog->m_browser.m_hWnd;
    RECT before;
    GetWindowRect(browser, &before);
    MoveWindow(browser, 3, 4, 50, 60, FALSE);
    dialog->SendMessage(WM_SIZE, SIZE_MAXSHOW, MAKELPARAM(300, 300));
    dialog->SendMessage(WM_SIZE, SIZE_MAXHIDE, MAKELPARAM(300, 300));
    RECT moved;
    GetWindowRect(browser, &moved);
    MapWindowPoints(nullptr, dialog->m_hWnd, reinterpret_cast<POINT*>(&moved), 2);
    EXPECT_EQ(3, moved.left);
    EXPECT_EQ(50, moved.right - moved.left);
    dialog->SendMessage(WM_SIZE, SIZE_RESTORED, 0);
    RECT back;
    GetWindowRect(browser, &back);
    EXPECT_EQ(before.right - before.left, back.right - back.left) << "a plain resize arranges again";
    dialog->DestroyWindow();
    delete dialog; // never registered: no key removes it
}
