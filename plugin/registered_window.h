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
