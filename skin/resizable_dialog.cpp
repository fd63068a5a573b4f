#include "resizable_dialog.h"

IMPLEMENT_DYNCREATE(CResizableDialog, CDialog)

BEGIN_MESSAGE_MAP(CResizableDialog, CDialog)
    ON_WM_CREATE()
    ON_WM_GETMINMAXINFO()
    ON_WM_SIZE()
    ON_WM_ERASEBKGND()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

int CResizableDialog::OnCreate(LPCREATESTRUCT create)
{
    if (CWnd::OnCreate(create) == -1) return -1;
    // The template's client area keeps its size inside the new frame.
    RECT client;
    GetClientRect(&client);
    ModifyStyle(DS_MODALFRAME, WS_POPUP | WS_THICKFRAME);
    ::AdjustWindowRectEx(&client, GetStyle(), ::GetMenu(m_hWnd) != nullptr, GetExStyle());
    SetWindowPos(nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
    return 0;
}

BOOL CResizableDialog::OnInitDialog()
{
    const BOOL result = CDialog::OnInitDialog();
    RECT window;
    GetWindowRect(&window);
    SetMinimumSize(window.right - window.left, window.bottom - window.top);
    m_bInitDone = 1;
    return result;
}

void CResizableDialog::OnGetMinMaxInfo(MINMAXINFO* info)
{
    Default();
    if (m_bInitDone) ApplyTo(info);
}

void CResizableDialog::OnSize(UINT type, int, int)
{
    Default();
    if (type == SIZE_MAXSHOW || type == SIZE_MAXHIDE || !m_bInitDone) return;
    ArrangeControls();
}

BOOL CResizableDialog::OnEraseBkgnd(CDC* dc)
{
    ClipAnchoredChildren(dc->m_hDC);
    return static_cast<BOOL>(Default());
}

// A dialog deleted with its window still open never gets here (the window
// dies in the framework's destructor); the anchor list then goes with the
// object, so nothing that this handler lets go of is held anywhere else.
void CResizableDialog::OnDestroy()
{
    ClearAnchors();
    Default();
}
