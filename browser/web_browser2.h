// browser/: the stand-in of the WebBrowser control, a window class of our own
// that the order dialog's template creates. web_page.h turns a document into
// the lines it shows, web_fetcher.h downloads, this header is the control.
//
// Told to navigate, the control fetches the address over HTTP on a thread of
// its own and paints the page as text: the address above, the title, the
// text, and the links with their addresses. A page that cannot be had is
// shown with the reason. Its window text is what it shows, line by line: the
// address first, then the title and the text, or a line that says why there
// is no page.
#pragma once
#include "afxwin.h"

#include <oaidl.h>

// The wrapper that the order dialog holds, over the control's window.
class CWebBrowser2 : public CWnd {
    DECLARE_DYNCREATE(CWebBrowser2)
public:
    // The control's class id, the class name that templates give.
    static const char* ControlClassName();
    // Registers the control's window class for the process, once.
    static bool RegisterControlClass();
    // Takes the class back before the module that holds its procedure goes;
    // false while a control still exists.
    static bool UnregisterControlClass();

    // Fetches that have not finished yet, of every control of the process.
    static LONG FetchesInFlight();
    // How long a fetch waits for the server to connect or to answer.
    static void SetFetchTimeout(DWORD milliseconds);

    // The control's Navigate method (dispatch id 104).
    void Navigate(LPCSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers);
};
