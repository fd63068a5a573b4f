// A static control painted as a skinned message panel: a skin background over
// the whole control, a panel background in a band at its top, and the window
// text inside the band, line by line (CR LF) and vertically centred, in the
// skin's panel font and colour.
#pragma once
#include "afxwin.h"

class CSkinStatic : public CStatic {
public:
    CSkinStatic() = default;

    // Height of the band inside the control's 2-pixel margin; -1 for all of
    // the remaining height.
    void SetMessageAreaHeight(int height, BOOL redraw);
    int GetMessageAreaHeight() const { return m_nMessageAreaHeight; }

protected:
    void OnPaint();
    LRESULT OnSetText(WPARAM, LPARAM text);
    void DrawPanel(CDC* dc);
    // The band in client coordinates.
    RECT BandRect() const;

    int m_nMessageAreaHeight = -1;

    DECLARE_MESSAGE_MAP()
};
