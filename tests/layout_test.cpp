// Anchored layout: controls keep their pixel distances to points given in
// percent of the client area.
#include "guarded_heap.h"
#include "process_resources.h"
#include "skin/anchor_layout.h"
#include "skin/resizable_dialog.h"

#include <gtest/gtest.h>

#include <vector>

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
        SetWindowPos(m_host, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER);
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
    // Client 301 x 303: the centre lies at (150, 151), remainders dropped, so
    // the margins are (10, 9). Rounding would put it at (151, 152) or, half to
    // even, (150, 152); keeping the fractions would give margins of 9.5 and 8.5.
    layout.SetClientSize(301, 303);
    HWND child = layout.Child("Static", SS_LEFT, 160, 160, 30, 10);
    layout.AnchorControl(child, AnchorMiddleCenter, AnchorNone);

    layout.SetClientSize(400, 400);
    layout.ArrangeControls();
    RECT rect = layout.RectOf(child);
    EXPECT_EQ(10 + 200, rect.left);
    EXPECT_EQ(9 + 200, rect.top);
    EXPECT_EQ(30, rect.right - rect.left) << "AnchorNone keeps the size";
    EXPECT_EQ(10, rect.bottom - rect.top);

    // Odd again: the new centre (250, 251) drops its halves too.
    layout.SetClientSize(501, 503);
    layout.ArrangeControls();
    rect = layout.RectOf(child);
    EXPECT_EQ(10 + 250, rect.left);
    EXPECT_EQ(9 + 251, rect.top);
    EXPECT_EQ(30, rect.right - rect.left);
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

// ---------------------------------------------------------------- resizable dialog

namespace {

// A resizable dialog as the module's are made: member controls bound with
// DDX_Control, every control anchored in the initialisation.
class CAnchoredDialog : public CResizableDialog {
public:
    static int alive;
    CAnchoredDialog() : CResizableDialog(900) { ++alive; }
    ~CAnchoredDialog() override { --alive; }

    CEdit m_edit;
    CStatic m_label;
    CButton m_ok;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, 901, m_edit);
        DDX_Control(dx, 902, m_label);
        DDX_Control(dx, IDOK, m_ok);
    }
    BOOL OnInitDialog() override
    {
        CResizableDialog::OnInitDialog();
        AnchorControl(902, AnchorTopLeft, AnchorTopRight);
        AnchorControl(901, AnchorTopLeft, AnchorBottomRight);
        AnchorControl(903, AnchorTopRight, AnchorBottomRight);
        // Reached through a temporary object, as handlers reach the
        // controls they do not bind.
        AnchorControl(GetDlgItem(904)->m_hWnd, AnchorTopRight, AnchorBottomRight);
        AnchorControl(IDOK, AnchorBottomRight, AnchorNone);
        AnchorControl(IDCANCEL, AnchorBottomRight, AnchorNone);
        return TRUE;
    }
};
int CAnchoredDialog::alive = 0;

RECT ClientRectOf(HWND dialog, HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM windows)
{
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

struct ResourceFigures {
    AFX_WINDOW_MAP_COUNTS maps;
    GuardedHeap::Counts heap;
    int gdiObjects;
    int windows;
};

ResourceFigures TakeFigures()
{
    return {AfxGetWindowMapCounts(), GuardedHeap::Live(), CountGdiObjects(), CountThreadWindows()};
}

} // namespace

TEST(ResizableDialogTest, AnchoredControlsFollowTheSizeThatCannotShrinkBelowTheFirst)
{
    CAnchoredDialog dialog;
    ASSERT_TRUE(dialog.Create(900));
    EXPECT_TRUE(dialog.GetStyle() & WS_THICKFRAME) << "the template's modal frame becomes a sizing border";
    RECT initial;
    dialog.GetWindowRect(&initial);
    const HWND edit = dialog.m_edit.m_hWnd;
    const HWND ok = dialog.m_ok.m_hWnd;
    RECT client;
    dialog.GetClientRect(&client);
    const RECT editBefore = ClientRectOf(dialog, edit);
    const RECT okBefore = ClientRectOf(dialog, ok);

    dialog.SetWindowPos(nullptr, 0, 0, initial.right - initial.left + 40, initial.bottom - initial.top + 30,
                        SWP_NOMOVE | SWP_NOZORDER);
    const RECT editAfter = ClientRectOf(dialog, edit);
    const RECT okAfter = ClientRectOf(dialog, ok);
    EXPECT_EQ(editBefore.left, editAfter.left);
    EXPECT_EQ(editBefore.right + 40, editAfter.right);
    EXPECT_EQ(editBefore.bottom + 30, editAfter.bottom);
    EXPECT_EQ(okBefore.left + 40, okAfter.left);
    EXPECT_EQ(okBefore.top + 30, okAfter.top);
    EXPECT_EQ(okBefore.right - okBefore.left, okAfter.right - okAfter.left);

    MINMAXINFO limits = {};
    dialog.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(initial.right - initial.left, limits.ptMinTrackSize.x);
    EXPECT_EQ(initial.bottom - initial.top, limits.ptMinTrackSize.y);

    // Maximised elsewhere, the dialog leaves its controls where they are.
    MoveWindow(edit, 3, 4, 50, 60, FALSE);
    dialog.SendMessage(WM_SIZE, SIZE_MAXSHOW, MAKELPARAM(300, 300));
    dialog.SendMessage(WM_SIZE, SIZE_MAXHIDE, MAKELPARAM(300, 300));
    EXPECT_EQ(3, ClientRectOf(dialog, edit).left);
    dialog.SendMessage(WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_EQ(editAfter.right, ClientRectOf(dialog, edit).right) << "a plain resize arranges again";
    dialog.DestroyWindow();
}

// The registry deletes a dialog whose window is still open (the order dialog
// at log-out): the window then dies in the framework's destructor, where the
// dialog's own WM_DESTROY handling no longer runs.
TEST(ResizableDialogTest, DeletedWithItsWindowOpenLeavesNothingBehind)
{
    CAnchoredDialog::alive = 0;
    auto openResizeDelete = [](std::vector<HWND>* windowsLeft) {
        auto dialog = new CAnchoredDialog;
        if (!dialog->Create(900)) {
            delete dialog;
            return false;
        }
        RECT frame;
        dialog->GetWindowRect(&frame);
        dialog->SetWindowPos(nullptr, 0, 0, frame.right - frame.left + 20, frame.bottom - frame.top + 20,
                             SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        std::vector<HWND> windows = {dialog->m_hWnd};
        EnumChildWindows(dialog->m_hWnd, CollectWindow, reinterpret_cast<LPARAM>(&windows));
        delete dialog;
        if (windowsLeft)
            for (HWND window : windows)
                if (IsWindow(window)) windowsLeft->push_back(window);
        return true;
    };

    std::vector<HWND> windowsLeft;
    // The first rounds register classes and fill the framework's caches.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(openResizeDelete(&windowsLeft));
    EXPECT_TRUE(windowsLeft.empty()) << windowsLeft.size() << " windows outlived their dialog object";
    const ResourceFigures before = TakeFigures();
    int opened = 0;
    for (int i = 0; i < 300; ++i) opened += openResizeDelete(nullptr);
    const ResourceFigures after = TakeFigures();

    EXPECT_EQ(300, opened);
    EXPECT_EQ(0, CAnchoredDialog::alive);
    EXPECT_EQ(before.windows, after.windows) << "windows of this thread";
    EXPECT_EQ(before.maps.permanent, after.maps.permanent) << "attached window objects";
    EXPECT_EQ(before.maps.temporary, after.maps.temporary) << "temporary window objects";
    EXPECT_EQ(before.heap.blocks, after.heap.blocks) << "live blocks of operator new";
    EXPECT_EQ(before.heap.bytes, after.heap.bytes) << "live bytes of operator new";
    EXPECT_EQ(before.gdiObjects, after.gdiObjects) << "GDI objects";
}
