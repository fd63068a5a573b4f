// The part of MFC 4.2 that the module and its host stand-ins use, over real
// Win32: runtime classes, message maps, windows, dialogs, controls, data
// exchange and the resource source switch.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "afxstr.h"
#include "afxcoll.h"

#ifndef PASCAL
#define PASCAL
#endif
#define AFXAPI

class CObject;
class CCmdTarget;
class CWnd;
class CDataExchange;

// ---------------------------------------------------------------- runtime classes

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    CObject* (*m_pfnCreateObject)();
    CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const;
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name) \
public: \
    static CRuntimeClass class##class_name; \
    CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
    DECLARE_DYNAMIC(class_name) \
    static CObject* PASCAL CreateObject();

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, pfnNew) \
    CRuntimeClass class_name::class##class_name = { \
        #class_name, (int)sizeof(class_name), pfnNew, RUNTIME_CLASS(base_class_name)}; \
    CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
    CObject* PASCAL class_name::CreateObject() { return new class_name; } \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, class_name::CreateObject)

class CObject {
public:
    static CRuntimeClass classCObject;
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    BOOL IsKindOf(const CRuntimeClass* runtimeClass) const;

protected:
    CObject() = default;
};

// ---------------------------------------------------------------- message maps

// One handler entry. `handler` unpacks wParam/lParam into the typed call of the
// member function; it returns FALSE when it declines the message.
typedef BOOL (*AFX_HANDLER)(CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;   // control notification code for WM_COMMAND
    UINT nID;     // first control id for WM_COMMAND
    UINT nLastID; // last control id for WM_COMMAND
    AFX_HANDLER handler;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* PASCAL GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* PASCAL theClass::GetThisMessageMap() \
    { \
        typedef theClass ThisClass; \
        typedef baseClass TheBaseClass; \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP() \
            {0, 0, 0, 0, nullptr}}; \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        (void)sizeof(ThisClass); \
        return &messageMap; \
    }

#define AFX_MSG_HANDLER(message, body) \
    {message, 0, 0, 0, [](CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result) -> BOOL { \
        ThisClass* self = static_cast<ThisClass*>(target); (void)self; (void)wParam; (void)lParam; (void)result; \
        body; return TRUE; }},

#define ON_CONTROL_RANGE_EX(code, firstId, lastId, body) \
    {WM_COMMAND, (UINT)(code), (UINT)(firstId), (UINT)(lastId), \
     [](CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result) -> BOOL { \
        ThisClass* self = static_cast<ThisClass*>(target); (void)wParam; (void)lParam; (void)result; \
        body; return TRUE; }},

#define ON_COMMAND(id, memberFxn) ON_CONTROL_RANGE_EX(0, id, id, self->memberFxn())
#define ON_CONTROL(code, id, memberFxn) ON_CONTROL_RANGE_EX(code, id, id, self->memberFxn())
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

#define ON_MESSAGE(message, memberFxn) \
    AFX_MSG_HANDLER(message, *result = self->memberFxn(wParam, lParam))
#define ON_WM_CREATE() \
    AFX_MSG_HANDLER(WM_CREATE, *result = self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam)))
#define ON_WM_DESTROY() AFX_MSG_HANDLER(WM_DESTROY, self->OnDestroy())
#define ON_WM_TIMER() AFX_MSG_HANDLER(WM_TIMER, self->OnTimer((UINT_PTR)wParam))
#define ON_WM_SIZE() \
    AFX_MSG_HANDLER(WM_SIZE, self->OnSize((UINT)wParam, (short)LOWORD(lParam), (short)HIWORD(lParam)))
#define ON_WM_GETMINMAXINFO() \
    AFX_MSG_HANDLER(WM_GETMINMAXINFO, self->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)))
#define ON_WM_ERASEBKGND() \
    AFX_MSG_HANDLER(WM_ERASEBKGND, CDC dc; dc.m_hDC = reinterpret_cast<HDC>(wParam); *result = self->OnEraseBkgnd(&dc))
#define ON_WM_PAINT() AFX_MSG_HANDLER(WM_PAINT, self->OnPaint())
#define ON_WM_NCPAINT() AFX_MSG_HANDLER(WM_NCPAINT, self->OnNcPaint())

// Keyboard, focus and mouse handlers, with MFC's handler signatures.
#define ON_WM_CHAR() \
    AFX_MSG_HANDLER(WM_CHAR, self->OnChar((UINT)wParam, (UINT)LOWORD(lParam), (UINT)HIWORD(lParam)))
#define ON_WM_SETFOCUS() \
    AFX_MSG_HANDLER(WM_SETFOCUS, self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam))))
#define ON_WM_KILLFOCUS() \
    AFX_MSG_HANDLER(WM_KILLFOCUS, self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam))))
#define AFX_MOUSE_HANDLER(message, memberFxn) \
    AFX_MSG_HANDLER(message, self->memberFxn((UINT)wParam, CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))))
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_HANDLER(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_MOUSEMOVE() AFX_MOUSE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_CONTEXTMENU() \
    AFX_MSG_HANDLER(WM_CONTEXTMENU, self->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), \
                                                        CPoint((short)LOWORD(lParam), (short)HIWORD(lParam))))
#define ON_WM_SETCURSOR() \
    AFX_MSG_HANDLER(WM_SETCURSOR, *result = self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), \
                                                              (UINT)LOWORD(lParam), (UINT)HIWORD(lParam)))
// Non-client area, sizing and owner-drawn controls.
#define ON_WM_NCCREATE() \
    AFX_MSG_HANDLER(WM_NCCREATE, *result = self->OnNcCreate(reinterpret_cast<LPCREATESTRUCT>(lParam)))
#define ON_WM_NCCALCSIZE() \
    AFX_MSG_HANDLER(WM_NCCALCSIZE, self->OnNcCalcSize((BOOL)wParam, reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)))
#define ON_WM_MOVE() \
    AFX_MSG_HANDLER(WM_MOVE, self->OnMove((short)LOWORD(lParam), (short)HIWORD(lParam)))
#define ON_WM_SIZING() \
    AFX_MSG_HANDLER(WM_SIZING, self->OnSizing((UINT)wParam, reinterpret_cast<LPRECT>(lParam)); *result = TRUE)
#define ON_WM_DRAWITEM() \
    AFX_MSG_HANDLER(WM_DRAWITEM, self->OnDrawItem((int)wParam, reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); \
                    *result = TRUE)
#define ON_WM_MEASUREITEM() \
    AFX_MSG_HANDLER(WM_MEASUREITEM, \
                    self->OnMeasureItem((int)wParam, reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam)); *result = TRUE)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)

// ---------------------------------------------------------------- command targets

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    // Looks the message up in this class's map and its bases'; TRUE when a
    // handler took it.
    BOOL DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

// ---------------------------------------------------------------- device contexts

class CDC;

// A GDI object that its wrapper owns: deleted with the wrapper.
class CGdiObject {
public:
    HGDIOBJ m_hObject = nullptr;

    CGdiObject() = default;
    virtual ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL DeleteObject();
};

class CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
    int GetBitmap(BITMAP* bitmap) const { return ::GetObjectA(m_hObject, sizeof(BITMAP), bitmap); }
};

// Wraps a device context without owning it, except one that
// CreateCompatibleDC made, which DeleteDC releases.
class CDC {
public:
    HDC m_hDC = nullptr;
    CDC() = default;
    virtual ~CDC() = default;
    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    BOOL CreateCompatibleDC(CDC* dc);
    BOOL DeleteDC();
    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop)
    { return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, sourceX, sourceY, rop); }
    BOOL GetTextMetrics(LPTEXTMETRICA metrics) const { return ::GetTextMetricsA(m_hDC, metrics); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int savedDC) { return ::RestoreDC(m_hDC, savedDC); }

    // Text output.
    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
    int DrawText(LPCSTR text, int length, LPRECT rect, UINT format)
    { return ::DrawTextA(m_hDC, text, length, rect, format); }
};

// The whole window's device context, border included, released with the
// wrapper.
class CWindowDC : public CDC {
public:
    explicit CWindowDC(CWnd* wnd);
    ~CWindowDC() override;

protected:
    HWND m_hWnd;
};

// ---------------------------------------------------------------- points

class CPoint : public tagPOINT {
public:
    CPoint() { x = 0; y = 0; }
    CPoint(int initX, int initY) { x = initX; y = initY; }
};

// ---------------------------------------------------------------- windows

class CWnd : public CCmdTarget {
    DECLARE_DYNCREATE(CWnd)
public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object attached to a window, or null.
    static CWnd* FromHandlePermanent(HWND window);
    // The attached object, or a temporary one that lives as long as the window.
    static CWnd* FromHandle(HWND window);
    static CWnd* GetDesktopWindow();

    BOOL Attach(HWND window);
    HWND Detach();
    BOOL SubclassWindow(HWND window);

    // lpszClassName null: the framework's default window class.
    virtual BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                          const RECT& rect, CWnd* parent, UINT id, LPVOID param = nullptr);
    virtual BOOL DestroyWindow();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    { return ::SendMessageA(m_hWnd, message, wParam, lParam); }

    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    DWORD GetStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_STYLE); }
    DWORD GetExStyle() const { return (DWORD)::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr)
    { return ::SetTimer(m_hWnd, id, elapse, proc); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void ScreenToClient(LPRECT rect) const { ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
    void HideCaret() { ::HideCaret(m_hWnd); }
    void SetRedraw(BOOL redraw = TRUE) { ::SendMessageA(m_hWnd, WM_SETREDRAW, redraw, 0); }

    // Runs the window's original procedure on the message being handled.
    LRESULT Default();
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void PreSubclassWindow() {}
    // The last call the object gets for its window; self-deleting windows
    // delete themselves here.
    virtual void PostNcDestroy() {}

    // Handlers that derived message maps name; each takes the default route.
    int OnCreate(LPCREATESTRUCT) { return (int)Default(); }
    void OnDestroy() { Default(); }
    void OnTimer(UINT_PTR) { Default(); }
    void OnSize(UINT, int, int) { Default(); }
    void OnMove(int, int) { Default(); }
    void OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
    BOOL OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
    void OnPaint() { Default(); }
    void OnNcPaint() { Default(); }
    void OnChar(UINT, UINT, UINT) { Default(); }
    void OnSetFocus(CWnd*) { Default(); }
    void OnKillFocus(CWnd*) { Default(); }
    void OnLButtonDown(UINT, CPoint) { Default(); }
    void OnLButtonUp(UINT, CPoint) { Default(); }
    void OnLButtonDblClk(UINT, CPoint) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnContextMenu(CWnd*, CPoint) { Default(); }
    BOOL OnSetCursor(CWnd*, UINT, UINT) { return (BOOL)Default(); }
    BOOL OnNcCreate(LPCREATESTRUCT) { return (BOOL)Default(); }
    void OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) { Default(); }
    void OnSizing(UINT, LPRECT) { Default(); }
    // Owner-drawn controls: the parent hands the message back to the control
    // (OnChildNotify), which draws or measures itself.
    void OnDrawItem(int controlId, LPDRAWITEMSTRUCT drawItem);
    void OnMeasureItem(int controlId, LPMEASUREITEMSTRUCT measureItem);
    // A message that the parent reflects to this control; TRUE when taken.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) { return FALSE; }

protected:
    static const AFX_MSGMAP* PASCAL GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override;

    WNDPROC m_pfnSuper = nullptr;

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend class CDialog;
    friend struct CWndCreationHook;
    LRESULT OnNcDestroyMessage();
    void GiveBackProcedure();
};

LRESULT CALLBACK AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What the framework keeps per thread. The message being dispatched lives
// here, not in the window object: a handler may delete the object, and the
// dispatcher still has to restore the outer message afterwards.
struct _AFX_THREAD_STATE {
    MSG m_lastSentMsg;
    CWnd* m_pWndInit;
    HHOOK m_hHookOldCbtFilter;
};
_AFX_THREAD_STATE* AFXAPI AfxGetThreadState();

// Attaches the next window created on this thread to `wnd` (MFC's
// creation hook): the object sees that window's WM_NCCREATE and WM_CREATE.
void AfxHookWindowCreate(CWnd* wnd);
BOOL AfxUnhookWindowCreate();

// How many window objects the framework holds: attached ones, and the
// temporary ones that FromHandle made for windows without an object.
struct AFX_WINDOW_MAP_COUNTS {
    int permanent;
    int temporary;
};
AFX_WINDOW_MAP_COUNTS AFXAPI AfxGetWindowMapCounts();

// ---------------------------------------------------------------- dialogs

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

void AFXAPI DDX_Control(CDataExchange* dx, int id, CWnd& control);

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog() = default;
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_nIDHelp(templateId), m_pParentWnd(parent) {}

    // Modeless creation from the template in the current resource source.
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

INT_PTR CALLBACK AfxDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------- controls

// Controls bound to dialog items with DDX_Control; their operations arrive
// with the dialogs that use them.
class CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
};

class CButton : public CWnd {
    DECLARE_DYNAMIC(CButton)
};

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    DWORD GetSel() const { return (DWORD)::SendMessageA(m_hWnd, EM_GETSEL, 0, 0); }
    void GetSel(int& startChar, int& endChar) const;
    void SetSel(int startChar, int endChar, BOOL noScroll = FALSE);
    void ReplaceSel(LPCSTR newText, BOOL canUndo = FALSE)
    { ::SendMessageA(m_hWnd, EM_REPLACESEL, (WPARAM)canUndo, (LPARAM)newText); }
    void SetMargins(UINT left, UINT right)
    { ::SendMessageA(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(left, right)); }
    BOOL SetReadOnly(BOOL readOnly = TRUE)
    { return (BOOL)::SendMessageA(m_hWnd, EM_SETREADONLY, (WPARAM)readOnly, 0); }
};

// A list box; owner-drawn ones draw and measure their items in DrawItem and
// MeasureItem, which the parent's WM_DRAWITEM and WM_MEASUREITEM reach.
class CListBox : public CWnd {
    DECLARE_DYNAMIC(CListBox)
public:
    int GetCount() const { return (int)SendMessage(LB_GETCOUNT); }
    int GetCurSel() const { return (int)SendMessage(LB_GETCURSEL); }
    int SetCurSel(int index) { return (int)SendMessage(LB_SETCURSEL, index); }
    // Without LBS_HASSTRINGS the text pointer becomes the item's data.
    int AddString(LPCSTR text) { return (int)SendMessage(LB_ADDSTRING, 0, (LPARAM)text); }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    DWORD_PTR GetItemData(int index) const { return (DWORD_PTR)SendMessage(LB_GETITEMDATA, index); }
    int SetItemData(int index, DWORD_PTR data) { return (int)SendMessage(LB_SETITEMDATA, index, (LPARAM)data); }
    void* GetItemDataPtr(int index) const { return (void*)SendMessage(LB_GETITEMDATA, index); }
    int SetItemDataPtr(int index, void* data) { return SetItemData(index, (DWORD_PTR)data); }
    int GetItemHeight(int index) const { return (int)SendMessage(LB_GETITEMHEIGHT, index); }

    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem) {}
    virtual void MeasureItem(LPMEASUREITEMSTRUCT measureItem) {}
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

// A message loop's step for modeless dialogs: a message for a dialog or one
// of its controls goes through that dialog's manager. TRUE when the manager
// took it; the loop then neither translates nor dispatches it.
BOOL AFXAPI AfxPreTranslateDialogMessage(MSG& message);

// ---------------------------------------------------------------- resources and modules

HINSTANCE AFXAPI AfxGetInstanceHandle();
HINSTANCE AFXAPI AfxGetResourceHandle();
void AFXAPI AfxSetResourceHandle(HINSTANCE module);
// The module that holds the resource: the resource source first, then the
// extension modules in the order they were registered.
HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR name, LPCSTR type);
HINSTANCE AFXAPI AfxFindStringResourceHandle(UINT id);
// The language in which dialogs and strings are taken from a module that has
// them in several; one that has a resource in none of it gives its own.
// 0, the start: the system's choice.
void AFXAPI AfxSetResourceLanguage(LANGID language);
LANGID AFXAPI AfxGetResourceLanguage();
HRSRC AFXAPI AfxFindResource(HINSTANCE module, LPCSTR name, LPCSTR type);
// LoadString in the resource language: the length copied, 0 when the module
// has no such string.
int AFXAPI AfxLoadString(HINSTANCE module, UINT id, LPSTR buffer, int size);

// An extension module: its resources join the search chain while it is loaded.
struct AFX_EXTENSION_MODULE {
    BOOL bInitialized;
    HMODULE hModule;
    HMODULE hResource;
};
BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HMODULE instance);
void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& module);

class CDynLinkLibrary : public CCmdTarget {
public:
    explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& module);
    ~CDynLinkLibrary() override;
    HMODULE m_hModule;
    HMODULE m_hResource;
};

// Restores the resource source on scope exit.
class CResourceSourceScope {
public:
    explicit CResourceSourceScope(HINSTANCE module) : m_previous(AfxGetResourceHandle()) { AfxSetResourceHandle(module); }
    ~CResourceSourceScope() { AfxSetResourceHandle(m_previous); }
    CResourceSourceScope(const CResourceSourceScope&) = delete;
    CResourceSourceScope& operator=(const CResourceSourceScope&) = delete;
private:
    HINSTANCE m_previous;
};

