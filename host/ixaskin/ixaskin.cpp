// The host's skin module: element groups, colours, fonts and paintings of
// the current skin, and a few skinned controls. The skin is read once, on
// the first call, from the file that SMSUTIL_SKIN_FILE names or else from
// skin\default.skin next to this module; a missing or malformed file gives
// the built-in skin as a whole.
#define IXASKIN_BUILD
#include "skin/ixa_skin.h"

#include "skin_file.h"

#include <commctrl.h>

#include <memory>
#include <unordered_map>
#include <unordered_set>

struct IxaSkinGroup {
    const std::map<std::string, SkinEntry>* elements;
};

namespace {

HMODULE g_module = nullptr;

struct LoadedSkin {
    SkinDefinition definition;
    // Paintings from files, by the file name the skin gives; owned here.
    std::map<std::string, HBITMAP> bitmaps;

    ~LoadedSkin()
    {
        for (auto& entry : bitmaps) DeleteObject(entry.second);
    }
};

std::unique_ptr<LoadedSkin> g_skin;
// Every handle SkinOpenGroup gave out and SkinCloseGroup has not taken back;
// a handle is used only after it is found here.
std::unordered_set<IxaSkinGroup*> g_openGroups;
LONG g_refusedCalls = 0;

const size_t kMaxNameBytes = 256;
const char kSkinFileVariable[] = "SMSUTIL_SKIN_FILE";

// No skin name comes near this; a longer text is no name of ours.
bool IsValidName(const char* name) { return name && strnlen(name, kMaxNameBytes) < kMaxNameBytes; }

std::string SkinFilePath()
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA(kSkinFileVariable, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return path;
    length = GetModuleFileNameA(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    std::string folder(path, length);
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + "skin\\default.skin";
}

bool ReadFileText(const std::string& path, std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0;
    // One byte more than allowed is enough for the parser to refuse it.
    if (ok && size.QuadPart > static_cast<LONGLONG>(kMaxSkinFileBytes)) size.QuadPart = kMaxSkinFileBytes + 1;
    if (ok) {
        text.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = text.empty() || (ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr) &&
                              read == text.size());
    }
    CloseHandle(file);
    return ok;
}

// The bitmaps of a parsed skin; false when one cannot be loaded, which makes
// the whole file unusable.
bool LoadBitmaps(LoadedSkin& skin, const std::string& folder)
{
    for (auto& group : skin.definition.groups)
        for (auto& element : group.second) {
            const std::string& name = element.second.bitmapFile;
            if (element.second.painting != SkinPainting::Bitmap || skin.bitmaps.count(name)) continue;
            HBITMAP bitmap = static_cast<HBITMAP>(
                LoadImageA(nullptr, (folder + name).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
            if (!bitmap) return false;
            skin.bitmaps[name] = bitmap;
        }
    return true;
}

std::unique_ptr<LoadedSkin> LoadSkinFile(const std::string& path)
{
    std::string text;
    if (path.empty() || !ReadFileText(path, text)) return nullptr;
    auto skin = std::make_unique<LoadedSkin>();
    std::string error;
    if (!ParseSkinText(text, skin->definition, error)) {
        OutputDebugStringA(("ixaskin: " + path + ": " + error + "; using the built-in skin\n").c_str());
        return nullptr;
    }
    if (!LoadBitmaps(*skin, path.substr(0, path.find_last_of("\\/") + 1))) return nullptr;
    return skin;
}

LoadedSkin& Skin()
{
    if (!g_skin) {
        g_skin = LoadSkinFile(SkinFilePath());
        if (!g_skin) {
            g_skin = std::make_unique<LoadedSkin>();
            std::string error;
            ParseSkinText(BuiltInSkinText(), g_skin->definition, error);
        }
    }
    return *g_skin;
}

const SkinEntry* FindElement(HSKINGROUP group, const char* key)
{
    if (!group || !g_openGroups.count(group) || !IsValidName(key)) {
        ++g_refusedCalls;
        return nullptr;
    }
    auto found = group->elements->find(key);
    return found == group->elements->end() ? nullptr : &found->second;
}

const SkinEntry* FindStyle(const char* name)
{
    if (!IsValidName(name)) return nullptr;
    auto& styles = Skin().definition.styles;
    auto found = styles.find(name);
    return found == styles.end() ? nullptr : &found->second;
}

// ---------------------------------------------------------------- painting

COLORREF Blend(COLORREF from, COLORREF to, LONGLONG step, LONGLONG steps)
{
    if (steps <= 0) return from;
    auto channel = [&](int shift) {
        LONGLONG a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        return static_cast<COLORREF>((a * (steps - step) + b * step + steps / 2) / steps) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    COLORREF previous = SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, previous);
}

// One band per row (or column) that the device context shows; the colour
// runs from the first to the last row of the whole rectangle.
void FillGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool vertical)
{
    RECT visible;
    RECT clip;
    if (GetClipBox(dc, &clip) == ERROR || !IntersectRect(&visible, &rect, &clip)) return;
    LONGLONG first = vertical ? rect.top : rect.left;
    LONGLONG steps = (vertical ? static_cast<LONGLONG>(rect.bottom) - rect.top
                               : static_cast<LONGLONG>(rect.right) - rect.left) - 1;
    int begin = vertical ? visible.top : visible.left;
    int end = vertical ? visible.bottom : visible.right;
    for (int at = begin; at < end; ++at) {
        RECT band = visible;
        if (vertical) {
            band.top = at;
            band.bottom = at + 1;
        } else {
            band.left = at;
            band.right = at + 1;
        }
        FillSolid(dc, band, Blend(from, to, at - first, steps));
    }
}

bool PaintBitmap(HDC dc, const RECT& rect, HBITMAP bitmap)
{
    BITMAP info = {};
    if (!GetObjectA(bitmap, sizeof info, &info)) return false;
    HDC source = CreateCompatibleDC(dc);
    if (!source) return false;
    HGDIOBJ previous = SelectObject(source, bitmap);
    int previousMode = SetStretchBltMode(dc, COLORONCOLOR);
    BOOL ok = StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, 0, 0,
                         info.bmWidth, info.bmHeight, SRCCOPY);
    SetStretchBltMode(dc, previousMode);
    SelectObject(source, previous);
    DeleteDC(source);
    return ok != FALSE;
}

// ---------------------------------------------------------------- controls

// What a skinned control carries for its life; freed with the window.
struct SkinnedControl {
    HWND control = nullptr;
    HWND parent = nullptr;
    WNDPROC under = nullptr;
    HFONT font = nullptr;
    HBRUSH background = nullptr;
    bool hasText = false;
    COLORREF text = 0;
    bool hasBorder = false;
    COLORREF border = 0;
};

// A parent whose skinned controls ask it their colours.
struct SkinnedParent {
    WNDPROC under = nullptr;
    int controls = 0;
};

// Found again on every message without asking the window manager (a window
// property costs a round trip to the server per message). The lock is held
// only to look up or change an entry, never over a call into a window
// procedure, which may send messages back. An entry is used and freed only
// by its window's own thread.
std::unordered_map<HWND, SkinnedControl*> g_controls;
std::unordered_map<HWND, SkinnedParent> g_parents;
SRWLOCK g_windowsLock = SRWLOCK_INIT;

struct WindowsLock {
    WindowsLock() { AcquireSRWLockExclusive(&g_windowsLock); }
    ~WindowsLock() { ReleaseSRWLockExclusive(&g_windowsLock); }
};

SkinnedControl* FindControl(HWND control)
{
    WindowsLock lock;
    auto found = g_controls.find(control);
    return found == g_controls.end() ? nullptr : found->second;
}

WNDPROC ParentUnder(HWND parent)
{
    WindowsLock lock;
    auto found = g_parents.find(parent);
    return found == g_parents.end() ? nullptr : found->second.under;
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Puts `proc` on top of the window's procedures; the one it covers.
WNDPROC Subclass(HWND window, WNDPROC proc)
{
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

// Takes `proc` off only while it is on top: under another subclass it stays,
// handing every message on.
bool Unsubclass(HWND window, WNDPROC proc, WNDPROC under)
{
    if (GetWindowLongPtrA(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(proc)) return false;
    Subclass(window, under);
    return true;
}

// The parent's procedure is covered before the entry is visible, so that no
// message finds the entry without the procedure under it.
void AddToParent(SkinnedControl& state, HWND parent)
{
    state.parent = parent;
    {
        WindowsLock lock;
        auto hooked = g_parents.find(parent);
        if (hooked != g_parents.end()) {
            ++hooked->second.controls;
            return;
        }
    }
    const WNDPROC under = Subclass(parent, ParentProc);
    WindowsLock lock;
    g_parents[parent] = SkinnedParent{under, 1};
}

void RemoveFromParent(SkinnedControl& state)
{
    if (!state.parent) return;
    const HWND parent = state.parent;
    state.parent = nullptr;
    WNDPROC under = nullptr;
    {
        WindowsLock lock;
        auto hooked = g_parents.find(parent);
        if (hooked == g_parents.end() || --hooked->second.controls > 0) return;
        under = hooked->second.under;
    }
    // Under another subclass the entry stays, with no controls, to hand on.
    if (!Unsubclass(parent, ParentProc, under)) return;
    WindowsLock lock;
    g_parents.erase(parent);
}

void FreeControlState(SkinnedControl* state)
{
    if (state->font) DeleteObject(state->font);
    if (state->background) DeleteObject(state->background);
    delete state;
}

// The border is drawn over the outer edge that the control's own painting left.
void PaintBorder(const SkinnedControl& state)
{
    HDC dc = GetWindowDC(state.control);
    if (!dc) return;
    RECT rect;
    GetWindowRect(state.control, &rect);
    OffsetRect(&rect, -rect.left, -rect.top);
    COLORREF previous = SetDCBrushColor(dc, state.border);
    FrameRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, previous);
    ReleaseDC(state.control, dc);
}

LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SkinnedControl* state = FindControl(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    const WNDPROC under = state->under;
    switch (message) {
    // An edit draws its WS_BORDER inside its client area, others in the frame.
    case WM_PAINT:
    case WM_NCPAINT: {
        LRESULT result = CallWindowProcA(under, window, message, wParam, lParam);
        if (state->hasBorder) PaintBorder(*state);
        return result;
    }
    case WM_NCDESTROY: {
        RemoveFromParent(*state);
        Unsubclass(window, ControlProc, under);
        {
            WindowsLock lock;
            g_controls.erase(window);
        }
        FreeControlState(state);
        break;
    }
    }
    return CallWindowProcA(under, window, message, wParam, lParam);
}

// The parent answers its controls' colour questions; this answers them for
// its skinned controls.
LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC under = ParentUnder(window);
    if (!under) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
        const SkinnedControl* found = FindControl(reinterpret_cast<HWND>(lParam));
        if (!found || found->parent != window) break;
        const SkinnedControl& state = *found;
        LRESULT result = CallWindowProcA(under, window, message, wParam, lParam);
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (state.hasText) SetTextColor(dc, state.text);
        if (state.background) {
            LOGBRUSH brush = {};
            GetObjectA(state.background, sizeof brush, &brush);
            SetBkColor(dc, brush.lbColor);
            result = reinterpret_cast<LRESULT>(state.background);
        }
        return result;
    }
    case WM_NCDESTROY: {
        Unsubclass(window, ParentProc, under);
        WindowsLock lock;
        for (auto& control : g_controls)
            if (control.second->parent == window) control.second->parent = nullptr;
        g_parents.erase(window);
        break;
    }
    }
    return CallWindowProcA(under, window, message, wParam, lParam);
}

// Gives the control the style's font and colours; a second call replaces
// what the first gave.
BOOL SkinControl(HWND control, const SkinEntry& style)
{
    if (!IsWindow(control) || GetWindowThreadProcessId(control, nullptr) != GetCurrentThreadId()) return FALSE;
    SkinnedControl* state = FindControl(control);
    if (!state) {
        state = new SkinnedControl;
        state->control = control;
        state->under = Subclass(control, ControlProc);
        WindowsLock lock;
        g_controls[control] = state;
    }

    HFONT oldFont = state->font;
    HBRUSH oldBackground = state->background;
    state->font = style.hasFont ? CreateFontIndirectA(&style.font) : nullptr;
    state->background = style.hasBackground ? CreateSolidBrush(style.background) : nullptr;
    state->hasText = style.hasColour;
    state->text = style.colour;
    state->hasBorder = style.hasBorder;
    state->border = style.border;

    RemoveFromParent(*state);
    HWND parent = GetParent(control);
    if (parent && (state->hasText || state->background)) AddToParent(*state, parent);

    // The control lets go of the old font before it is deleted.
    if (state->font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    else if (oldFont) SendMessageA(control, WM_SETFONT, 0, FALSE);
    if (oldFont) DeleteObject(oldFont);
    if (oldBackground) DeleteObject(oldBackground);

    SetWindowPos(control, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(control, nullptr, TRUE);
    return TRUE;
}

// Styles of the windows that SkinAttachWindow knows, by kind.
const char* AttachedStyleName(int kind)
{
    switch (kind) {
    case 3: return "ListBox";
    default: return nullptr;
    }
}

} // namespace

// ---------------------------------------------------------------- exports

BOOL WINAPI SkinAttachWindow(HWND window, int kind)
{
    const char* styleName = AttachedStyleName(kind);
    const SkinEntry* style = styleName ? FindStyle(styleName) : nullptr;
    return style ? SkinControl(window, *style) : FALSE;
}

HSKINGROUP WINAPI SkinOpenGroup(const char* group)
{
    if (!IsValidName(group)) {
        ++g_refusedCalls;
        return nullptr;
    }
    auto& groups = Skin().definition.groups;
    auto found = groups.find(group);
    if (found == groups.end()) return nullptr;
    auto* handle = new IxaSkinGroup{&found->second};
    g_openGroups.insert(handle);
    return handle;
}

void WINAPI SkinCloseGroup(HSKINGROUP group)
{
    if (!group || !g_openGroups.erase(group)) {
        ++g_refusedCalls;
        return;
    }
    delete group;
}

BOOL WINAPI SkinGetFont(HSKINGROUP group, const char* key, LOGFONTA* font, COLORREF* colour)
{
    const SkinEntry* element = FindElement(group, key);
    if (!element || !element->hasFont) return FALSE;
    if (!font || !colour) {
        ++g_refusedCalls;
        return FALSE;
    }
    *font = element->font;
    *colour = element->fontColour;
    return TRUE;
}

BOOL WINAPI SkinGetColor(HSKINGROUP group, const char* key, COLORREF* colour)
{
    const SkinEntry* element = FindElement(group, key);
    if (!element || !element->hasColour) return FALSE;
    if (!colour) {
        ++g_refusedCalls;
        return FALSE;
    }
    *colour = element->colour;
    return TRUE;
}

BOOL WINAPI SkinPaintElement(HSKINGROUP group, const char* key, HDC dc, const RECT* rect)
{
    const SkinEntry* element = FindElement(group, key);
    if (!element) return FALSE;
    if (!dc || !rect || GetObjectType(dc) == 0) {
        ++g_refusedCalls;
        return FALSE;
    }
    if (IsRectEmpty(rect)) return TRUE;
    switch (element->painting) {
    case SkinPainting::Solid:
        FillSolid(dc, *rect, element->paintFrom);
        return TRUE;
    case SkinPainting::VerticalGradient:
    case SkinPainting::HorizontalGradient:
        FillGradient(dc, *rect, element->paintFrom, element->paintTo,
                     element->painting == SkinPainting::VerticalGradient);
        return TRUE;
    case SkinPainting::Bitmap: {
        auto found = g_skin->bitmaps.find(element->bitmapFile);
        return found != g_skin->bitmaps.end() && PaintBitmap(dc, *rect, found->second);
    }
    case SkinPainting::None:
        // An element without a painting is shown in its colour.
        if (!element->hasColour) return FALSE;
        FillSolid(dc, *rect, element->colour);
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI SkinEnableCloseButton(HWND window, const char* element, int enable)
{
    if (!FindStyle(element) || !IsWindow(window)) return FALSE;
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return FALSE;
    // Greying the menu's close item greys the caption's close box with it.
    if (EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED)) == -1)
        return FALSE;
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL WINAPI SkinStaticControl(HWND window, const char* style)
{
    const SkinEntry* entry = FindStyle(style);
    return entry ? SkinControl(window, *entry) : FALSE;
}

BOOL WINAPI SkinEditControl(HWND window, const char* style)
{
    const SkinEntry* entry = FindStyle(style);
    return entry ? SkinControl(window, *entry) : FALSE;
}

// For the module's tests: groups opened and not yet closed, and calls
// refused for a null or unknown handle or a null pointer.
extern "C" __declspec(dllexport) LONG WINAPI SkinOpenGroupCount() { return static_cast<LONG>(g_openGroups.size()); }
extern "C" __declspec(dllexport) LONG WINAPI SkinRefusedCallCount() { return g_refusedCalls; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary: give back the skin's bitmaps and the
        // handles nobody closed. At process exit the system takes them.
        for (IxaSkinGroup* group : g_openGroups) delete group;
        g_openGroups.clear();
        g_skin.reset();
    }
    return TRUE;
}
