// The wrapper of the WebBrowser control in the order dialog. The control here
// is a stand-in window class, registered under the control's class id so that
// the dialog template creates it. Told to navigate, it fetches the address
// over HTTP on a thread of its own and paints the page as text: the address
// above, the title, the text, and the links with their addresses. A page that
// cannot be had is shown with the reason.
//
// Its window text is what it shows, line by line: the address first, then the
// title and the text, or a line that says why there is no page.
#pragma once
#include "afxwin.h"

#include <oaidl.h>

#include <string>
#include <vector>

// A piece of a line: plain text, or a link's text with its address.
struct CWebPageRun {
    std::wstring text;
    std::wstring href;
};

struct CWebPageLine {
    std::vector<CWebPageRun> runs;
    bool heading = false;
    // The line as text; a link reads "text [address]".
    std::wstring Text() const;
};

// A page as the control shows it.
struct CWebPage {
    std::wstring title;
    std::vector<CWebPageLine> lines;
};

// The code page of a page's bytes: the charset that the Content-Type header
// names, else the one that a meta tag near the top names, else GBK.
UINT WebPageCodePage(const std::string& contentType, const std::string& body);

// The page that a document shows. Tags are dropped, entities decoded, white
// space collapsed, block elements end lines, scripts and styles are not text;
// link addresses are made absolute against baseAddress.
CWebPage ParseWebPage(const std::wstring& html, const std::wstring& baseAddress);

// href as an absolute address, relative to base.
std::wstring ResolveWebAddress(const std::wstring& base, const std::wstring& href);

class CWebBrowser2 : public CWnd {
    DECLARE_DYNCREATE(CWebBrowser2)
public:
    static const char* ControlClassName() { return "{8856F961-340A-11D0-A96B-00C04FD705A2}"; }
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
