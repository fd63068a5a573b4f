// What the dialogs need to know of the plugin above them: who is logged in
// and whether the service may be used. The plugin sets the one host at its
// start; dialogs never reach into the plugin itself.
#pragma once
#include "afxstr.h"

class CDialogHost {
public:
    virtual ~CDialogHost() = default;
    // The logged-in account's number as decimal text; empty before log-in.
    virtual CString GetUserId() = 0;
    virtual bool IsOnline() = 0;
};

void SetDialogHost(CDialogHost* host);
// Null while no plugin runs.
CDialogHost* GetDialogHost();
