// What the dialogs need to know of the plugin above them: who is logged in,
// whether the service may be used, what a contact is called, and the send
// dialog that a reply opens. The plugin sets the one host at its start;
// dialogs never reach into the plugin itself.
#pragma once
#include "afxstr.h"

#include <windows.h>

class CDialogHost {
public:
    virtual ~CDialogHost() = default;
    // The logged-in account's number as decimal text; empty before log-in.
    virtual CString GetUserId() = 0;
    virtual bool IsOnline() = 0;
    // The contact's display name, or the number itself for an unknown one.
    virtual CString GetContactName(const CString& number) = 0;
    // The send dialog for `number`: an open one is brought forward where it
    // is; a new one is opened with its top-left corner at `topLeft`.
    virtual void OpenReplyDialog(const CString& number, const CString& name, POINT topLeft) = 0;
};

void SetDialogHost(CDialogHost* host);
// Null while no plugin runs.
CDialogHost* GetDialogHost();
