// Anchored layout: controls keep their pixel distances to points given in
// percent of the client area (remainders dropped), in the resizable dialogs
// the module is made of.
#include "process_resources.h"
#include "skin/anchor_layout.h"
#include "skin/resizable_dialog.h"

#include <gtest/gtest.h>

namespace {

RECT RectIn(HWND host, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

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
        AnchorControl(902, AnchorMiddleCenter, AnchorNone);
        AnchorControl(901, AnchorTopLeft, AnchorBottomRight);
        // Reached through a temporary object, as handlers reach the
        // controls they do not bind.
        AnchorControl(GetDlgItem(904)->m_hWnd, AnchorTopRight, AnchorBottomRight);
        AnchorControl(IDOK, AnchorBottomRight, AnchorNone);
        return TRUE;
    }
};
int CAnchoredDialog::alive = 0;

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
    const RECT editBefore = RectIn(dialog, edit);
    const RECT okBefore = RectIn(dialog, ok);
    const RECT labelBefore = RectIn(dialog, dialog.m_label);
    RECT clientBefore, client;
    dialog.GetClientRect(&clientBefore);

    // An odd width: one of the two centres has a half, which is dropped.
    dialog.SetWindowPos(nullptr, 0, 0, initial.right - initial.left + 41, initial.bottom - initial.top + 30,
                        SWP_NOMOVE | SWP_NOZORDER);
    dialog.GetClientRect(&client);
    const RECT editAfter = RectIn(dialog, edit);
    const RECT okAfter = RectIn(dialog, ok);
    const RECT labelAfter = RectIn(dialog, dialog.m_label);
    EXPECT_EQ(editBefore.left, editAfter.left);
    EXPECT_EQ(editBefore.right + 41, editAfter.right);
    EXPECT_EQ(editBefore.bottom + 30, editAfter.bottom);
    EXPECT_EQ(okBefore.left + 41, okAfter.left);
    EXPECT_EQ(okBefore.top + 30, okAfter.top);
    EXPECT_EQ(okBefore.right - okBefore.left, okAfter.right - okAfter.left);
    EXPECT_EQ(labelBefore.left + client.right / 2 - clientBefore.right / 2, labelAfter.left);
    EXPECT_EQ(labelBefore.top + 15, labelAfter.top);
    EXPECT_EQ(labelBefore.right - labelBefore.left, labelAfter.right - labelAfter.left) << "AnchorNone keeps the size";

    MINMAXINFO limits = {};
    dialog.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(initial.right - initial.left, limits.ptMinTrackSize.x);
    EXPECT_EQ(initial.bottom - initial.top, limits.ptMinTrackSize.y);

    // Maximised elsewhere, the dialog leaves its controls where they are.
    MoveWindow(edit, 3, 4, 50, 60, FALSE);
    dialog.SendMessage(WM_SIZE, SIZE_MAXSHOW, MAKELPARAM(300, 300));
    EXPECT_EQ(3, RectIn(dialog, edit).left);
    dialog.SendMessage(WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_EQ(editAfter.right, RectIn(dialog, edit).right) << "a plain resize arranges again";
    dialog.DestroyWindow();
}

// The registry deletes a dialog whose window is still open (the order dialog
// at log-out): the window then dies in the framework's destructor, where the
// dialog's own WM_DESTROY handling no longer runs.
TEST(ResizableDialogTest, DeletedWithItsWindowOpenLeavesNothingBehind)
{
    CAnchoredDialog::alive = 0;
    auto openResizeDelete = [] {
        auto dialog = new CAnchoredDialog;
        if (dialog->Create(900)) {
            RECT frame;
            dialog->GetWindowRect(&frame);
            dialog->SetWindowPos(nullptr, 0, 0, frame.right - frame.left + 20, frame.bottom - frame.top + 20,
                                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        delete dialog;
    };
    // The first rounds register classes and fill the framework's caches.
    for (int i = 0; i < 3; ++i) openResizeDelete();
    const AFX_WINDOW_MAP_COUNTS maps = AfxGetWindowMapCounts();
    const size_t heap = HeapBytesInUse();
    const int windows = CountThreadWindows();
    EXPECT_EQ(0, GdiObjectsLeftBy(openResizeDelete, 200)) << "GDI objects";
    EXPECT_EQ(0, CAnchoredDialog::alive);
    EXPECT_EQ(windows, CountThreadWindows()) << "windows of this thread";
    EXPECT_EQ(maps.permanent, AfxGetWindowMapCounts().permanent) << "attached window objects";
    EXPECT_EQ(maps.temporary, AfxGetWindowMapCounts().temporary) << "temporary window objects";
    EXPECT_EQ(heap, HeapBytesInUse()) << "heap bytes in use";
}
