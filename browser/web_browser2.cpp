#include "web_browser2.h"

#include "web_fetcher.h"

#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <memory>

IMPLEMENT_DYNCREATE(CWebBrowser2, CWnd)

namespace {

const char kControlClassId[] = "{8856F961-340A-11D0-A96B-00C04FD705A2}";

const UINT kDispidNavigate = 104;
const UINT WM_BROWSER_NAVIGATE = WM_APP + kDispidNavigate;
// A fetch has left its result with the control's fetcher.
const UINT WM_BROWSER_FETCHED = WM_APP + kDispidNavigate + 1;

enum class Phase { Blank, Loading, Shown, Failed };

struct BrowserState {
    HWND window = nullptr;
    std::wstring address;
    Phase phase = Phase::Blank;
    CWebPage page;
    std::wstring failure;
    std::shared_ptr<CWebFetcher> fetcher;
    HFONT font = nullptr; // the parent's, not ours
    HFONT titleFont = nullptr;
    HFONT headingFont = nullptr;
    HFONT linkFont = nullptr;
    int scroll = 0;
    int contentHeight = 0;
};

const wchar_t kLoadingText[] = L"正在打开网页...";
const wchar_t kFailedText[] = L"无法显示此网页";

BrowserState* StateOf(HWND window) { return reinterpret_cast<BrowserState*>(::GetWindowLongPtrW(window, GWLP_USERDATA)); }

HFONT BaseFont(const BrowserState& state)
{
    return state.font ? state.font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

// What the control shows, as lines of text: its window text.
std::wstring ShownText(const BrowserState& state)
{
    std::wstring text = state.address;
    auto line = [&text](const std::wstring& each) { text += L"\r\n" + each; };
    switch (state.phase) {
    case Phase::Blank: break;
    case Phase::Loading: line(kLoadingText); break;
    case Phase::Failed:
        line(kFailedText);
        line(state.failure);
        break;
    case Phase::Shown:
        if (!state.page.title.empty()) line(state.page.title);
        for (const auto& each : state.page.lines) line(each.Text());
        break;
    }
    return text;
}

void DeleteFonts(BrowserState& state)
{
    for (HFONT* font : {&state.titleFont, &state.headingFont, &state.linkFont}) {
        if (*font) ::DeleteObject(*font);
        *font = nullptr;
    }
}

void MakeFonts(BrowserState& state)
{
    DeleteFonts(state);
    LOGFONTW base = {};
    ::GetObjectW(BaseFont(state), sizeof base, &base);
    if (base.lfHeight == 0) base.lfHeight = -12;
    LOGFONTW title = base;
    title.lfHeight = base.lfHeight * 3 / 2;
    title.lfWeight = FW_BOLD;
    state.titleFont = ::CreateFontIndirectW(&title);
    LOGFONTW heading = base;
    heading.lfHeight = base.lfHeight * 5 / 4;
    heading.lfWeight = FW_BOLD;
    state.headingFont = ::CreateFontIndirectW(&heading);
    LOGFONTW link = base;
    link.lfUnderline = TRUE;
    state.linkFont = ::CreateFontIndirectW(&link);
}

void Navigate(BrowserState& state, const std::wstring& address)
{
    state.address = address;
    state.phase = Phase::Loading;
    state.page = CWebPage();
    state.failure.clear();
    state.scroll = 0;
    if (!state.fetcher->Start(address, state.failure)) state.phase = Phase::Failed;
    ::InvalidateRect(state.window, nullptr, TRUE);
}

void TakeFetched(BrowserState& state)
{
    std::unique_ptr<CWebFetcher::Result> result = state.fetcher->Take();
    if (!result) return;
    if (result->ok) {
        state.phase = Phase::Shown;
        state.page = std::move(result->page);
    } else {
        state.phase = Phase::Failed;
        state.failure = result->failure;
    }
    ::InvalidateRect(state.window, nullptr, TRUE);
}

// Paints text with wrapping: runs flow from (x, y) within [left, right),
// breaking at a space where one is near, else between any two characters
// (Chinese text has no spaces).
class CTextFlow {
public:
    CTextFlow(HDC dc, int left, int right, int y) : m_dc(dc), m_left(left), m_right(right), m_x(left), m_y(y) {}

    void Write(const std::wstring& text, HFONT font, COLORREF color)
    {
        ::SelectObject(m_dc, font);
        ::SetTextColor(m_dc, color);
        TEXTMETRICW metrics;
        ::GetTextMetricsW(m_dc, &metrics);
        m_lineHeight = std::max(m_lineHeight, static_cast<int>(metrics.tmHeight));
        size_t pos = 0;
        while (pos < text.size()) {
            const int count = static_cast<int>(text.size() - pos);
            int fit = 0;
            SIZE size;
            ::GetTextExtentExPointW(m_dc, text.c_str() + pos, count, std::max(m_right - m_x, 0), &fit, nullptr, &size);
            if (fit <= 0) {
                if (m_x > m_left) {
                    NewLine();
                    m_lineHeight = metrics.tmHeight;
                    continue;
                }
                fit = 1;
            }
            if (fit < count) {
                const size_t space = text.rfind(L' ', pos + fit);
                if (space != std::wstring::npos && space > pos && space + 1 - pos > static_cast<size_t>(fit) / 2)
                    fit = static_cast<int>(space + 1 - pos);
            }
            ::TextOutW(m_dc, m_x, m_y, text.c_str() + pos, fit);
            ::GetTextExtentPoint32W(m_dc, text.c_str() + pos, fit, &size);
            m_x += size.cx;
            pos += fit;
            if (pos < text.size()) {
                NewLine();
                m_lineHeight = metrics.tmHeight;
            }
        }
    }
    void NewLine(int gap = 0)
    {
        m_y += m_lineHeight + gap;
        m_x = m_left;
        m_lineHeight = 0;
    }
    int Y() const { return m_y; }

private:
    HDC m_dc;
    int m_left, m_right, m_x, m_y;
    int m_lineHeight = 0;
};

const COLORREF kPageColour = RGB(255, 255, 255);
const COLORREF kTextColour = RGB(0, 0, 0);
const COLORREF kQuietColour = RGB(110, 110, 110);
const COLORREF kLinkColour = RGB(0, 0, 204);
const COLORREF kFailureColour = RGB(170, 0, 0);
const int kMargin = 12;

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &rect, brush);
    ::DeleteObject(brush);
}

void PaintLine(const BrowserState& state, CTextFlow& flow, const CWebPageLine& line)
{
    for (const auto& run : line.runs) {
        if (run.href.empty()) {
            flow.Write(run.text, line.heading ? state.headingFont : BaseFont(state), kTextColour);
            continue;
        }
        if (!run.text.empty()) flow.Write(run.text, state.linkFont, kLinkColour);
        flow.Write(run.text.empty() ? L"[" + run.href + L"]" : L" [" + run.href + L"]", BaseFont(state), kQuietColour);
    }
    flow.NewLine(line.heading ? 8 : 4);
}

void PaintPage(const BrowserState& state, CTextFlow& flow)
{
    switch (state.phase) {
    case Phase::Blank: break;
    case Phase::Loading: flow.Write(kLoadingText, BaseFont(state), kQuietColour); break;
    case Phase::Failed:
        flow.Write(kFailedText, state.titleFont, kTextColour);
        flow.NewLine(10);
        flow.Write(state.failure, BaseFont(state), kFailureColour);
        break;
    case Phase::Shown:
        if (!state.page.title.empty()) {
            flow.Write(state.page.title, state.titleFont, kTextColour);
            flow.NewLine(10);
        }
        for (const auto& line : state.page.lines) PaintLine(state, flow, line);
        break;
    }
}

const COLORREF kBarColour = RGB(236, 236, 236);
const COLORREF kBarLineColour = RGB(190, 190, 190);

void PaintAddressBar(const BrowserState& state, HDC dc, int width, int barHeight)
{
    FillSolid(dc, {0, 0, width, barHeight}, kBarColour);
    FillSolid(dc, {0, barHeight - 1, width, barHeight}, kBarLineColour);
    ::SelectObject(dc, BaseFont(state));
    ::SetTextColor(dc, kTextColour);
    RECT addressRect = {6, 0, width - 6, barHeight - 1};
    ::DrawTextW(dc, state.address.c_str(), static_cast<int>(state.address.size()), &addressRect,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Paint(BrowserState& state, HDC target)
{
    RECT client;
    ::GetClientRect(state.window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) return;
    // Drawn in memory first, so that a repaint does not flicker.
    HDC dc = ::CreateCompatibleDC(target);
    HBITMAP bitmap = ::CreateCompatibleBitmap(target, width, height);
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    HGDIOBJ oldFont = ::SelectObject(dc, BaseFont(state));
    ::SetBkMode(dc, TRANSPARENT);
    FillSolid(dc, client, kPageColour);

    TEXTMETRICW metrics;
    ::GetTextMetricsW(dc, &metrics);
    const int barHeight = metrics.tmHeight + 10;
    // The page, below the address bar, moved by the scroll position.
    CTextFlow flow(dc, kMargin, width - kMargin, barHeight + 10 - state.scroll);
    PaintPage(state, flow);
    state.contentHeight = flow.Y() + state.scroll + kMargin;
    // The address bar stays on top of the page as it scrolls.
    PaintAddressBar(state, dc, width, barHeight);

    ::BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}

void Scroll(BrowserState& state, int by)
{
    RECT client;
    ::GetClientRect(state.window, &client);
    const int limit = std::max(0, state.contentHeight - static_cast<int>(client.bottom));
    const int scroll = std::min(std::max(state.scroll + by, 0), limit);
    if (scroll == state.scroll) return;
    state.scroll = scroll;
    ::InvalidateRect(state.window, nullptr, FALSE);
}

void OnNcCreate(HWND window)
{
    BrowserState* state = new BrowserState;
    state->window = window;
    state->fetcher = std::make_shared<CWebFetcher>(window, WM_BROWSER_FETCHED);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    MakeFonts(*state);
}

void OnNavigate(BrowserState& state, BSTR url)
{
    Navigate(state, url ? std::wstring(url, ::SysStringLen(url)) : std::wstring());
}

LRESULT OnGetText(const BrowserState& state, size_t capacity, wchar_t* buffer)
{
    if (capacity == 0) return 0;
    const std::wstring text = ShownText(state);
    const size_t count = std::min(text.size(), capacity - 1);
    text.copy(buffer, count);
    buffer[count] = 0;
    return static_cast<LRESULT>(count);
}

void OnSetFont(BrowserState& state, HFONT font, bool redraw)
{
    state.font = font;
    MakeFonts(state);
    if (redraw) ::InvalidateRect(state.window, nullptr, TRUE);
}

void OnPaint(BrowserState& state)
{
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(state.window, &paint);
    Paint(state, dc);
    ::EndPaint(state.window, &paint);
}

// Three lines of the control's font a notch of the wheel.
void OnMouseWheel(BrowserState& state, int delta)
{
    TEXTMETRICW metrics = {};
    HDC dc = ::GetDC(state.window);
    HGDIOBJ old = ::SelectObject(dc, BaseFont(state));
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(state.window, dc);
    Scroll(state, -delta * 3 * metrics.tmHeight / WHEEL_DELTA);
}

void OnNcDestroy(BrowserState* state)
{
    // A fetch still out finds the fetcher closed and frees its result.
    state->fetcher->Close();
    DeleteFonts(*state);
    ::SetWindowLongPtrW(state->window, GWLP_USERDATA, 0);
    delete state;
}

LRESULT CALLBACK BrowserControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    BrowserState* state = StateOf(window);
    if (!state) {
        if (message == WM_NCCREATE) OnNcCreate(window);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_BROWSER_NAVIGATE: OnNavigate(*state, reinterpret_cast<BSTR>(lParam)); return 0;
    case WM_BROWSER_FETCHED: TakeFetched(*state); return 0;
    case WM_GETTEXT: return OnGetText(*state, static_cast<size_t>(wParam), reinterpret_cast<wchar_t*>(lParam));
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(ShownText(*state).size());
    case WM_SETFONT: OnSetFont(*state, reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_ERASEBKGND: return 1; // painting covers every pixel
    case WM_PAINT: OnPaint(*state); return 0;
    case WM_PRINTCLIENT: Paint(*state, reinterpret_cast<HDC>(wParam)); return 0;
    case WM_MOUSEWHEEL: OnMouseWheel(*state, GET_WHEEL_DELTA_WPARAM(wParam)); return 0;
    case WM_NCDESTROY: OnNcDestroy(state); break;
    default: break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

ATOM g_controlClass = 0;

// The module whose code the class runs: the plugin's, not the host's.
HMODULE ControlModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&BrowserControlProc), &module);
    return module;
}

} // namespace

const char* CWebBrowser2::ControlClassName() { return kControlClassId; }

bool CWebBrowser2::RegisterControlClass()
{
    if (g_controlClass) return true;
    // A class id is ASCII: widened byte by byte.
    const std::wstring className(kControlClassId, kControlClassId + strlen(kControlClassId));
    WNDCLASSW control = {};
    // Global, so that templates of any module find it by name.
    control.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    control.lpfnWndProc = BrowserControlProc;
    control.hInstance = ControlModule();
    control.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    control.lpszClassName = className.c_str();
    g_controlClass = ::RegisterClassW(&control);
    return g_controlClass != 0;
}

bool CWebBrowser2::UnregisterControlClass()
{
    if (!g_controlClass) return true;
    if (!::UnregisterClassW(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(g_controlClass)), ControlModule()))
        return false;
    g_controlClass = 0;
    return true;
}

LONG CWebBrowser2::FetchesInFlight() { return CWebFetcher::InFlight(); }

void CWebBrowser2::SetFetchTimeout(DWORD milliseconds) { CWebFetcher::SetTimeout(milliseconds); }

void CWebBrowser2::Navigate(LPCSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*)
{
    // The address travels as a BSTR, as the control's dispatch interface takes it.
    const int wide = ::MultiByteToWideChar(CP_ACP, 0, url, -1, nullptr, 0);
    BSTR address = ::SysAllocStringLen(nullptr, wide > 0 ? wide - 1 : 0);
    if (!address) return;
    ::MultiByteToWideChar(CP_ACP, 0, url, -1, address, wide);
    SendMessage(WM_BROWSER_NAVIGATE, 0, reinterpret_cast<LPARAM>(address));
    ::SysFreeString(address);
}
