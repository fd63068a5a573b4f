#include "skin_frame_dialog.h"

#include "memory_paint_dc.h"
#include "skin_provider.h"

#include <cstdlib>

BEGIN_MESSAGE_MAP(CSkinFrameDialog, CResizableDialog)
    ON_WM_PAINT()
    ON_WM_NCPAINT()
END_MESSAGE_MAP()

void CSkinFrameDialog::OnPaint()
{
    CMemoryPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    CSkinProvider::Instance().PaintElement(&dc, client, "SkinDlgWithoutCapital_Client", 1);
}

// The system's border painting is never called: the strips cover the whole
// frame, and the top and bottom strips own the corners.
void CSkinFrameDialog::OnNcPaint()
{
    CWindowDC dc(this);
    RECT window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    ScreenToClient(&window);
    // Window coordinates: the frame's top-left corner becomes (0, 0).
    const int dx = std::abs(window.left);
    const int dy = std::abs(window.top);
    ::OffsetRect(&window, dx, dy);
    ::OffsetRect(&client, dx, dy);

    CSkinProvider& skin = CSkinProvider::Instance();
    const RECT top = {window.left, window.top, window.right, client.top};
    const RECT left = {window.left, client.top, client.left, client.bottom};
    const RECT right = {client.right, client.top, window.right, client.bottom};
    const RECT bottom = {window.left, client.bottom, window.right, window.bottom};
    skin.PaintElement(&dc, top, "SkinDlgWithoutCapital_Top", 1);
    skin.PaintElement(&dc, left, "SkinDlgWithoutCapital_Left", 1);
    skin.PaintElement(&dc, right, "SkinDlgWithoutCapital_Right", 1);
    skin.PaintElement(&dc, bottom, "SkinDlgWithoutCapital_Bottom", 1);
}
