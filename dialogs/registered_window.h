// Base of every dialog kept in the dialog registry: the key it is kept under.
#pragma once
#include "afxwin.h"

class CRegisteredWindow {
public:
    virtual ~CRegisteredWindow() = default;

    // Removes this dialog's key from the registry, which deletes the dialog
    // object: nothing of the object may be touched after the call.
    void Unregister();

    CString m_strRegKey;
};

// A modeless dialog kept in the registry: Enter does not close it, Escape
// and the close box destroy its window, and the window's end removes it
// from the registry, which deletes the object.
template <class DialogBase> class CRegisteredDialog : public DialogBase, public CRegisteredWindow {
public:
    using DialogBase::DialogBase;

protected:
    void OnOK() override {}
    void OnCancel() override { this->DestroyWindow(); }
    void PostNcDestroy() override
    {
        DialogBase::PostNcDestroy();
        Unregister();
    }
};
