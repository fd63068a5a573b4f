// The base of captionless skinned dialogs: the client area is one skin
// element, and four skin elements take the place of the system frame,
// caption included, so derived dialogs use templates without caption.
#pragma once
#include "resizable_dialog.h"

class CSkinFrameDialog : public CResizableDialog {
public:
    explicit CSkinFrameDialog(UINT templateId, CWnd* parent = nullptr) : CResizableDialog(templateId, parent) {}

protected:
    void DoDataExchange(CDataExchange*) override {}
    void OnPaint();
    void OnNcPaint();

    DECLARE_MESSAGE_MAP()
};
