// The wrapper of the WebBrowser control in the order dialog. The control
// here is a stand-in window class, registered under the control's class id
// so that the dialog template creates it: it shows, as its window text, the
// address it was asked to navigate to.
#pragma once
#include "afxwin.h"

#include <oaidl.h>

class CWebBrowser2 : public CWnd {
    DECLARE_DYNCREATE(CWebBrowser2)
public:
    static const char* ControlClassName() { return "{8856F961-340A-11D0-A96B-00C04FD705A2}"; }
    // Registers the control's window class for the process, once.
    static bool RegisterControlClass();
    // Takes the class back before the module that holds its procedure goes;
    // false while a control still exists.
    static bool UnregisterControlClass();

    // The control's Navigate method (dispatch id 104).
    void Navigate(LPCSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers);
};
