#include "afxwin.h"

#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

// ---------------------------------------------------------------- runtime classes

CRuntimeClass CObject::classCObject = {"CObject", (int)sizeof(CObject), nullptr, nullptr};
CRuntimeClass* CObject::GetRuntimeClass() const { return RUNTIME_CLASS(CObject); }

BOOL CObject::IsKindOf(const CRuntimeClass* runtimeClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(runtimeClass);
}

CObject* CRuntimeClass::CreateObject() const
{
    if (!m_pfnCreateObject) return nullptr;
    try {
        return m_pfnCreateObject();
    } catch (...) {
        return nullptr;
    }
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* current = this; current; current = current->m_pBaseClass)
        if (current == base) return TRUE;
    return FALSE;
}

// ---------------------------------------------------------------- command targets

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* PASCAL CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP messageMap = {nullptr, &entries[0]};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

BOOL CCmdTarget::DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const UINT code = HIWORD(wParam);
    const UINT id = LOWORD(wParam);
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->handler; ++entry) {
            if (entry->nMessage != message) continue;
            if (message == WM_COMMAND && (entry->nCode != code || id < entry->nID || id > entry->nLastID)) continue;
            if (entry->handler(this, wParam, lParam, result)) return TRUE;
        }
    }
    return FALSE;
}

// ---------------------------------------------------------------- device contexts

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject) return FALSE;
    const BOOL deleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return deleted;
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    DeleteObject();
    m_hObject = ::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height);
    return m_hObject != nullptr;
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    m_hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
    return m_hDC != nullptr;
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC) return FALSE;
    const BOOL deleted = ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    return deleted;
}

CWindowDC::CWindowDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { m_hDC = ::GetWindowDC(m_hWnd); }

CWindowDC::~CWindowDC()
{
    if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
}

// ---------------------------------------------------------------- window map

namespace {

std::map<HWND, CWnd*>& PermanentMap()
{
    static std::map<HWND, CWnd*> map;
    return map;
}

std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap()
{
    static std::map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// The procedures under ours of windows whose objects let go while another
// subclass sat on top: AfxWndProc, still in that chain, hands them on.
std::map<HWND, WNDPROC>& OrphanedMap()
{
    static std::map<HWND, WNDPROC> map;
    return map;
}

} // namespace

// Attaches the window that the creation hook caught to its object.
struct CWndCreationHook {
    static void Attach(CWnd* wnd, HWND window)
    {
        wnd->Attach(window);
        wnd->PreSubclassWindow();
        wnd->m_pfnSuper = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    }
};

namespace {

thread_local _AFX_THREAD_STATE t_threadState = {};

const char kDefaultWindowClass[] = "AfxWnd42s";

ATOM RegisterDefaultClass()
{
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = AfxGetInstanceHandle();
        wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kDefaultWindowClass;
        atom = ::RegisterClassA(&wc);
        if (!atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) atom = 1;
    }
    return atom;
}

LRESULT CALLBACK CreationHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    _AFX_THREAD_STATE* state = AfxGetThreadState();
    if (code == HCBT_CREATEWND && state->m_pWndInit) {
        HWND window = reinterpret_cast<HWND>(wParam);
        CWnd* wnd = state->m_pWndInit;
        state->m_pWndInit = nullptr;
        CWndCreationHook::Attach(wnd, window);
    }
    return ::CallNextHookEx(state->m_hHookOldCbtFilter, code, wParam, lParam);
}

} // namespace

_AFX_THREAD_STATE* AFXAPI AfxGetThreadState() { return &t_threadState; }

void AfxHookWindowCreate(CWnd* wnd)
{
    _AFX_THREAD_STATE* state = AfxGetThreadState();
    if (!state->m_hHookOldCbtFilter)
        state->m_hHookOldCbtFilter = ::SetWindowsHookExA(WH_CBT, CreationHookProc, nullptr, ::GetCurrentThreadId());
    state->m_pWndInit = wnd;
}

BOOL AfxUnhookWindowCreate()
{
    _AFX_THREAD_STATE* state = AfxGetThreadState();
    if (state->m_hHookOldCbtFilter) {
        ::UnhookWindowsHookEx(state->m_hHookOldCbtFilter);
        state->m_hHookOldCbtFilter = nullptr;
    }
    const BOOL attached = state->m_pWndInit == nullptr;
    state->m_pWndInit = nullptr;
    return attached;
}

AFX_WINDOW_MAP_COUNTS AFXAPI AfxGetWindowMapCounts()
{
    return {static_cast<int>(PermanentMap().size()), static_cast<int>(TemporaryMap().size())};
}

// ---------------------------------------------------------------- CWnd

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
    ON_WM_DRAWITEM()
    ON_WM_MEASUREITEM()
END_MESSAGE_MAP()

CWnd::~CWnd()
{
    if (m_hWnd && PermanentMap().count(m_hWnd) && PermanentMap()[m_hWnd] == this) {
        // A window outliving its object would dispatch into freed memory.
        HWND window = m_hWnd;
        GiveBackProcedure();
        Detach();
        if (::IsWindow(window)) ::DestroyWindow(window);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    auto it = PermanentMap().find(window);
    return it == PermanentMap().end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND window)
{
    if (!window) return nullptr;
    if (CWnd* wnd = FromHandlePermanent(window)) return wnd;
    std::map<HWND, std::unique_ptr<CWnd>>& temporaries = TemporaryMap();
    auto it = temporaries.find(window);
    if (it == temporaries.end()) {
        // Nothing tells the framework when a window it never subclassed dies
        // (a dialog's controls, reached through GetDlgItem), so the
        // temporaries of dead windows are dropped before a new one is added.
        for (auto each = temporaries.begin(); each != temporaries.end();)
            each = ::IsWindow(each->first) ? std::next(each) : temporaries.erase(each);
        it = temporaries.emplace(window, std::unique_ptr<CWnd>(new CWnd)).first;
    }
    it->second->m_hWnd = window;
    return it->second.get();
}

CWnd* CWnd::GetDesktopWindow() { return FromHandle(::GetDesktopWindow()); }

BOOL CWnd::Attach(HWND window)
{
    if (!window) return FALSE;
    m_hWnd = window;
    PermanentMap()[window] = this;
    TemporaryMap().erase(window);
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND window = m_hWnd;
    if (window) {
        auto it = PermanentMap().find(window);
        if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
    }
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (!window || FromHandlePermanent(window)) return FALSE;
    Attach(window);
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id, LPVOID param)
{
    if (!className) {
        RegisterDefaultClass();
        className = kDefaultWindowClass;
    }
    AfxHookWindowCreate(this);
    HWND window = ::CreateWindowExA(exStyle, className, windowName, style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top,
                                    parent ? parent->m_hWnd : nullptr, (HMENU)(UINT_PTR)id,
                                    AfxGetInstanceHandle(), param);
    // A window that failed its WM_CREATE has already destroyed, and perhaps
    // deleted, this object: only locals are read from here on.
    const BOOL attached = AfxUnhookWindowCreate();
    return window != nullptr && attached;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

void CWnd::GetWindowText(CString& text) const
{
    const int length = ::GetWindowTextLengthA(m_hWnd);
    char* buffer = text.GetBufferSetLength(length + 1);
    ::GetWindowTextA(m_hWnd, buffer, length + 1);
    text.ReleaseBuffer();
}

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT drawItem)
{
    if (drawItem->CtlType != ODT_MENU) {
        CWnd* control = FromHandlePermanent(drawItem->hwndItem);
        const MSG& current = AfxGetThreadState()->m_lastSentMsg;
        LRESULT result = 0;
        if (control && control->OnChildNotify(current.message, current.wParam, current.lParam, &result)) return;
    }
    Default();
}

void CWnd::OnMeasureItem(int controlId, LPMEASUREITEMSTRUCT measureItem)
{
    // The structure names no window: the control is found by its id.
    if (measureItem->CtlType != ODT_MENU) {
        CWnd* control = FromHandlePermanent(::GetDlgItem(m_hWnd, controlId));
        const MSG& current = AfxGetThreadState()->m_lastSentMsg;
        LRESULT result = 0;
        if (control && control->OnChildNotify(current.message, current.wParam, current.lParam, &result)) return;
    }
    Default();
}


BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    const DWORD style = GetStyle();
    const DWORD newStyle = (style & ~remove) | add;
    if (style == newStyle) return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, (LONG_PTR)newStyle);
    if (flags) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

LRESULT CWnd::Default()
{
    const MSG& current = AfxGetThreadState()->m_lastSentMsg;
    return DefWindowProc(current.message, current.wParam, current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    return DispatchToMap(message, wParam, lParam, result);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::OnNcDestroyMessage()
{
    const LRESULT result = Default();
    // Hand the window back to its original procedure so that nothing after
    // this message reaches the object.
    GiveBackProcedure();
    Detach();
    PostNcDestroy();
    return result;
}

// A subclass put on top of ours (a skin's) still calls down into ours, so
// the window's procedure is put back only while ours is the one on top;
// otherwise the procedure under ours is kept for AfxWndProc to hand on to.
void CWnd::GiveBackProcedure()
{
    if (m_pfnSuper && ::IsWindow(m_hWnd)) {
        if (::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&AfxWndProc))
            ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        else
            OrphanedMap()[m_hWnd] = m_pfnSuper;
    }
    m_pfnSuper = nullptr;
}

LRESULT CALLBACK AfxWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = CWnd::FromHandlePermanent(window);
    if (!wnd) {
        TemporaryMap().erase(window);
        auto orphaned = OrphanedMap().find(window);
        if (orphaned == OrphanedMap().end()) return ::DefWindowProcA(window, message, wParam, lParam);
        const WNDPROC under = orphaned->second;
        if (message == WM_NCDESTROY) OrphanedMap().erase(orphaned);
        return ::CallWindowProcA(under, window, message, wParam, lParam);
    }
    // Handlers send messages of their own, so the outer message is saved and
    // put back. It lives in the thread's state because the object may be
    // gone when the call returns: a modeless dialog that closes deletes
    // itself from inside its own WM_COMMAND or WM_CLOSE.
    _AFX_THREAD_STATE* state = AfxGetThreadState();
    const MSG outer = state->m_lastSentMsg;
    state->m_lastSentMsg.hwnd = window;
    state->m_lastSentMsg.message = message;
    state->m_lastSentMsg.wParam = wParam;
    state->m_lastSentMsg.lParam = lParam;
    LRESULT result;
    if (message == WM_NCDESTROY) {
        TemporaryMap().erase(window);
        result = wnd->OnNcDestroyMessage();
    } else {
        result = wnd->WindowProc(message, wParam, lParam);
    }
    state->m_lastSentMsg = outer;
    return result;
}

// ---------------------------------------------------------------- dialogs

void AFXAPI DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd) return;
    HWND item = ::GetDlgItem(dx->m_pDlgWnd->m_hWnd, id);
    control.SubclassWindow(item);
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CALLBACK AfxDlgProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG) return FALSE;
    CDialog* dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(window));
    return dialog ? dialog->OnInitDialog() : TRUE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_nIDHelp = templateId;
    if (parent) m_pParentWnd = parent;
    LPCSTR name = MAKEINTRESOURCEA(templateId);
    HINSTANCE module = AfxFindResourceHandle(name, (LPCSTR)RT_DIALOG);
    HRSRC resource = module ? AfxFindResource(module, name, (LPCSTR)RT_DIALOG) : nullptr;
    HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
    auto dialogTemplate = loaded ? static_cast<LPCDLGTEMPLATEA>(::LockResource(loaded)) : nullptr;
    if (!dialogTemplate) return FALSE;
    AfxHookWindowCreate(this);
    HWND window = ::CreateDialogIndirectParamA(module, dialogTemplate,
                                               m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    return window != nullptr;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::EndDialog(int result)
{
    // Modeless dialogs only hide; their owners destroy them.
    ::EndDialog(m_hWnd, result);
}

void CDialog::OnOK()
{
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        break;
    case WM_MEASUREITEM:
        MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
        break;
    default:
        return CWnd::OnChildNotify(message, wParam, lParam, result);
    }
    if (result) *result = TRUE;
    return TRUE;
}

void CEdit::GetSel(int& startChar, int& endChar) const
{
    DWORD start = 0, end = 0;
    ::SendMessageA(m_hWnd, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    startChar = (int)start;
    endChar = (int)end;
}

void CEdit::SetSel(int startChar, int endChar, BOOL noScroll)
{
    ::SendMessageA(m_hWnd, EM_SETSEL, (WPARAM)startChar, (LPARAM)endChar);
    if (!noScroll) ::SendMessageA(m_hWnd, EM_SCROLLCARET, 0, 0);
}

// ---------------------------------------------------------------- message loops

namespace {

bool IsDialogWindow(HWND window)
{
    char name[16] = "";
    ::GetClassNameA(window, name, sizeof name);
    return strcmp(name, "#32770") == 0;
}

// Wine's IsDialogMessageA turns each byte of a double-byte character into
// "?", so such a character's two WM_CHARs go straight to their window, as
// the dialog manager would hand them on.
bool IsDoubleByteCharPart(const MSG& message)
{
    thread_local HWND leadWindow = nullptr;
    if (message.message != WM_CHAR) return false;
    if (leadWindow == message.hwnd) {
        leadWindow = nullptr;
        return true;
    }
    if (!::IsDBCSLeadByte(static_cast<BYTE>(message.wParam))) return false;
    leadWindow = message.hwnd;
    return true;
}

} // namespace

BOOL AFXAPI AfxPreTranslateDialogMessage(MSG& message)
{
    HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (!root || !IsDialogWindow(root) || IsDoubleByteCharPart(message)) return FALSE;
    return ::IsDialogMessageA(root, &message);
}

// ---------------------------------------------------------------- resources and modules

namespace {

HINSTANCE g_resourceHandle = nullptr;
LANGID g_resourceLanguage = 0;

std::vector<CDynLinkLibrary*>& ExtensionChain()
{
    static std::vector<CDynLinkLibrary*> chain;
    return chain;
}

} // namespace

HINSTANCE AFXAPI AfxGetInstanceHandle() { return ::GetModuleHandleA(nullptr); }

HINSTANCE AFXAPI AfxGetResourceHandle()
{
    return g_resourceHandle ? g_resourceHandle : ::GetModuleHandleA(nullptr);
}

void AFXAPI AfxSetResourceHandle(HINSTANCE module) { g_resourceHandle = module; }

HINSTANCE AFXAPI AfxFindResourceHandle(LPCSTR name, LPCSTR type)
{
    HINSTANCE source = AfxGetResourceHandle();
    if (::FindResourceA(source, name, type)) return source;
    for (CDynLinkLibrary* library : ExtensionChain())
        if (::FindResourceA(library->m_hResource, name, type)) return library->m_hResource;
    return nullptr;
}

HINSTANCE AFXAPI AfxFindStringResourceHandle(UINT id)
{
    // Strings live in blocks of 16 under resource id (id / 16 + 1).
    return AfxFindResourceHandle(MAKEINTRESOURCEA(id / 16 + 1), (LPCSTR)RT_STRING);
}

void AFXAPI AfxSetResourceLanguage(LANGID language) { g_resourceLanguage = language; }
LANGID AFXAPI AfxGetResourceLanguage() { return g_resourceLanguage; }

HRSRC AFXAPI AfxFindResource(HINSTANCE module, LPCSTR name, LPCSTR type)
{
    HRSRC found = g_resourceLanguage ? ::FindResourceExA(module, type, name, g_resourceLanguage) : nullptr;
    return found ? found : ::FindResourceA(module, name, type);
}

int AFXAPI AfxLoadString(HINSTANCE module, UINT id, LPSTR buffer, int size)
{
    if (!g_resourceLanguage) return ::LoadStringA(module, id, buffer, size);
    // A block holds 16 strings, each its UTF-16 length and its characters.
    HRSRC block = AfxFindResource(module, MAKEINTRESOURCEA(id / 16 + 1), (LPCSTR)RT_STRING);
    HGLOBAL loaded = block ? ::LoadResource(module, block) : nullptr;
    auto entry = loaded ? static_cast<const WCHAR*>(::LockResource(loaded)) : nullptr;
    if (!entry || size <= 0) return 0;
    for (UINT skipped = 0; skipped < id % 16; ++skipped) entry += 1 + *entry;
    int length = *entry ? ::WideCharToMultiByte(CP_ACP, 0, entry + 1, *entry, buffer, size - 1, nullptr, nullptr) : 0;
    buffer[length] = '\0';
    return length;
}

BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HMODULE instance)
{
    if (module.bInitialized) return TRUE;
    module.hModule = instance;
    module.hResource = instance;
    module.bInitialized = TRUE;
    return TRUE;
}

void AFXAPI AfxTermExtensionModule(AFX_EXTENSION_MODULE& module)
{
    std::vector<CDynLinkLibrary*>& chain = ExtensionChain();
    for (size_t i = chain.size(); i-- > 0;) {
        if (chain[i]->m_hModule == module.hModule) {
            CDynLinkLibrary* library = chain[i];
            chain.erase(chain.begin() + i);
            delete library;
        }
    }
    module.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& module)
    : m_hModule(module.hModule), m_hResource(module.hResource)
{
    ExtensionChain().push_back(this);
}

CDynLinkLibrary::~CDynLinkLibrary()
{
    std::vector<CDynLinkLibrary*>& chain = ExtensionChain();
    for (size_t i = 0; i < chain.size(); ++i)
        if (chain[i] == this) { chain.erase(chain.begin() + i); break; }
}
