#include "host_window.h"

namespace {

const char kClassName[] = "smshost.main";
const int kPluginButtonId = 100;
const int kContactListId = 101;

std::string WindowTextUtf8(HWND window)
{
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    return ToUtf8(text);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM lParam)
{
    auto lines = reinterpret_cast<std::vector<std::string>*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    const std::string caption = WindowTextUtf8(window);
    if (caption == u8"短信服务") {
        HWND status = GetDlgItem(window, 3065);
        HWND browser = GetDlgItem(window, 3059);
        if (status && IsWindowVisible(status)) lines->push_back("order status: " + WindowTextUtf8(status));
        // The browser's text is its address, then the page's lines.
        if (browser && IsWindowVisible(browser)) {
            const std::string text = WindowTextUtf8(browser);
            lines->push_back("order page: " + text.substr(0, text.find('\r')));
        }
    }
    return TRUE;
}

} // namespace

std::vector<std::string> DescribePluginWindows()
{
    std::vector<std::string> lines;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&lines));
    return lines;
}

CHostWindow::CHostWindow(CHostApp& host, const DirectoryAccount& me, const AccountDirectory& directory)
    : m_host(host), m_me(me), m_directory(directory)
{
}

bool CHostWindow::Create(int x, int y)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    CString caption;
    caption.Format("smshost - %s (%u)", (const char*)FromUtf8(m_me.name), m_me.number);
    m_window = CreateWindowExA(0, kClassName, caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 300, 420,
                               nullptr, nullptr, windowClass.hInstance, this);
    return m_window != nullptr;
}

void CHostWindow::AddPlugin(IxaPlugin& plugin)
{
    m_plugin = &plugin;
    HWND button = CreateWindowA("Button", m_host.PluginButtonCaption(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 8, 8,
                                276, 26, m_window, reinterpret_cast<HMENU>(kPluginButtonId), nullptr, nullptr);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
}

LRESULT CALLBACK CHostWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<CHostWindow*>(create->lpCreateParams)->m_window = window;
    }
    auto self = reinterpret_cast<CHostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    const LRESULT result = self->Handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return result;
}

void CHostWindow::FillContacts()
{
    m_numbers.clear();
    SendMessageA(m_contacts, LB_RESETCONTENT, 0, 0);
    // Each contact with the service they have, as the client knows it: a
    // person picks whom to write to by it.
    auto add = [this](uint32_t number, bool stranger) {
        const DirectoryAccount* entry = m_directory.Find(number);
        const bool service = entry && (entry->level == 2 || entry->level == 3);
        CString line;
        const bool english = m_host.IsEnglish();
        const char* serviceText = service ? (english ? "has SMS" : u8"有短信服务") : (english ? "no SMS" : u8"无短信服务");
        const char* strangerText = stranger ? (english ? "  stranger" : u8"  陌生人") : "";
        line.Format("%s (%u)  %s%s", entry ? (const char*)FromUtf8(entry->name) : "", number,
                    (const char*)FromUtf8(serviceText), (const char*)FromUtf8(strangerText));
        SendMessageA(m_contacts, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>((const char*)line));
        m_numbers.push_back(number);
    };
    for (uint32_t number : m_me.friends) add(number, false);
    for (uint32_t number : m_me.strangers) add(number, true);
}

LRESULT CHostWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        m_contacts = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY,
                                     8, 42, 276, 330, m_window, reinterpret_cast<HMENU>(kContactListId), nullptr, nullptr);
        SendMessageA(m_contacts, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        FillContacts();
        return 0;
    }
    case WM_COMMAND:
        if (m_plugin && LOWORD(wParam) == kPluginButtonId && HIWORD(wParam) == BN_CLICKED) {
            m_plugin->OpenOrderPage();
            return 0;
        }
        if (LOWORD(wParam) == kContactListId && HIWORD(wParam) == LBN_DBLCLK) {
            const int index = static_cast<int>(SendMessageA(m_contacts, LB_GETCURSEL, 0, 0));
            if (m_plugin && index >= 0 && index < static_cast<int>(m_numbers.size()))
                m_plugin->OpenSendDialog(m_numbers[index]);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // The client's dialogs stay above its main window, as owned windows
        // would: a message that arrives while another program is in front
        // opens its dialog, and the main window that the system activates
        // when that program's window closes must not cover it.
        if (LOWORD(wParam) != WA_INACTIVE) {
            EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM main) -> BOOL {
                char name[16] = "";
                GetClassNameA(window, name, sizeof name);
                if (window != reinterpret_cast<HWND>(main) && IsWindowVisible(window) && !IsIconic(window) &&
                    strcmp(name, "#32770") == 0)
                    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                return TRUE;
            }, reinterpret_cast<LPARAM>(m_window));
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(m_window, message, wParam, lParam);
}
