// A dialog with a sizing border whose anchored controls follow its size, and
// that cannot be made smaller than it was when it was initialised.
#pragma once
#include "afxwin.h"
#include "anchor_layout.h"

class CResizableDialog : public CDialog, public CAnchorLayout, public CTrackSizeLimits {
    DECLARE_DYNCREATE(CResizableDialog)
public:
    CResizableDialog() = default;
    explicit CResizableDialog(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}

    HWND GetLayoutHost() override { return m_hWnd; }
    BOOL OnInitDialog() override;

    void AnchorControl(UINT id, AnchorPoint topLeft, AnchorPoint bottomRight)
    { CAnchorLayout::AnchorControl(::GetDlgItem(m_hWnd, id), topLeft, bottomRight); }
    using CAnchorLayout::AnchorControl;

protected:
    int OnCreate(LPCREATESTRUCT create);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnSize(UINT type, int width, int height);
    BOOL OnEraseBkgnd(CDC* dc);
    void OnDestroy();

    int m_bInitDone = 0;

    DECLARE_MESSAGE_MAP()
};
