// smsutil.dll's resources and exports, read the way Windows reads them:
// strings through LoadStringA in code page 936, templates by creating them.
#include "res/resource.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HMODULE Module()
{
    static HMODULE module = LoadLibraryA("smsutil.dll");
    return module;
}

std::string LoadText(UINT id)
{
    char buffer[512];
    const int length = LoadStringA(Module(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

std::string ClassOf(HWND window)
{
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

struct ExpectedControl {
    int id;
    const char* className;
    DWORD styleBits;     // must all be set
    DWORD absentBits;    // must all be clear
    RECT units;          // x, y, w, h in dialog units
    const char* text;    // null: not checked
};

// Creates template `id` and checks every listed control; returns the dialog.
HWND CheckTemplate(UINT id, const std::vector<ExpectedControl>& controls)
{
    HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(id), nullptr, PlainDialogProc, 0);
    EXPECT_NE(nullptr, dialog) << "template " << id << " creates";
    if (!dialog) return nullptr;
    for (const ExpectedControl& expected : controls) {
        SCOPED_TRACE("template " + std::to_string(id) + ", control " + std::to_string(expected.id));
        HWND control = GetDlgItem(dialog, expected.id);
        EXPECT_NE(nullptr, control);
        if (!control) continue;
        EXPECT_STREQ(expected.className, ClassOf(control).c_str());
        const DWORD style = (DWORD)GetWindowLongPtrA(control, GWL_STYLE);
        EXPECT_EQ(expected.styleBits, style & expected.styleBits) << std::hex << "style " << style;
        EXPECT_EQ(0u, style & expected.absentBits) << std::hex << "style " << style;
        // Position and size are converted from dialog units separately.
        RECT position = {expected.units.left, expected.units.top, 0, 0};
        RECT size = {expected.units.right, expected.units.bottom, 0, 0};
        MapDialogRect(dialog, &position);
        MapDialogRect(dialog, &size);
        RECT got;
        GetWindowRect(control, &got);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(position.left, got.left);
        EXPECT_EQ(position.top, got.top);
        EXPECT_EQ(size.left, got.right - got.left);
        EXPECT_EQ(size.top, got.bottom - got.top);
        if (expected.text) {
            EXPECT_EQ(std::string(expected.text), TextOf(control));
        }
    }
    return dialog;
}

const char kBrowserClass[] = "{8856F961-340A-11D0-A96B-00C04FD705A2}";

} // namespace

TEST(StringTableTest, EveryStringIsTheGbkText)
{
    ASSERT_EQ(936u, GetACP());
    ASSERT_NE(nullptr, Module());
    const std::pair<UINT, const char*> strings[] = {
        {14000, "定时发送"},
        {14001, "系统"},
        {14002, "发短消息"},
        {14003, "请您输入短消息内容!"},
        {14004, "下一条>>"},
        {14005, "返回"},
        {14006, "日期："},
        {14007, "时间："},
        {14008, "抱歉，您给联系人 [[?]] 的消息无法发出。错误原因：(?)。"},
        {14009, "抱歉，您没有登陆或者处于离线状态，不能发送短消息！"},
        {14011, "抱歉，发送超时，请您重新发送。"},
        {14012, "sms utility plugin"},
        {14013, "每条（包括签名）最多 [?] 个英文字符，您的消息共 (?) 个英文字符"},
        {14014, "每条（包括签名）最多 [?] 个汉字，您的消息共 (?) 个汉字"},
        {14015, "每条（包括签名）最多 [?] 个英文字符或 (?) 个汉字"},
        {14016, "发送短信"},
        {14017, "免费绑定用户，每天允许发送1条短信"},
        {14018, "正在发送，请稍候..."},
        {14019, "发短信"},
        {14021, "抱歉，没有下条消息！"},
        {14022, "查看消息"},
        {14023, "抱歉，您必须登陆或上线后才能使用此服务！"},
        {14024, "正在初始化服务，请稍候..."},
        {14025, "初始化服务超时，请您尝试重试。"},
        {14026, "初始化服务失败，请您尝试重试。"},
        {14027, "抱歉，您还未申请此业务，想要立即申请吗？"},
        {14028, "无法发送短信: 对方不是您的好友,请先将对方加为好友再发送!"},
        {14029, "无法发送短信: 对方没有申请短信服务!"},
    };
    for (const auto& entry : strings) EXPECT_EQ(std::string(entry.second), LoadText(entry.first)) << entry.first;
    EXPECT_EQ("", LoadText(14010));
    EXPECT_EQ("", LoadText(14020));
}

TEST(DialogTemplateTest, SendMessageTemplate)
{
    const DWORD edit = ES_NUMBER;
    HWND dialog = CheckTemplate(IDD_SEND_MESSAGE, {
        {3045, "Static", 0, 0, {4, 6, 38, 10}, "收件人："},
        {3046, "Static", 0, 0, {42, 6, 219, 10}, ""},
        {3066, "Static", 0, 0, {4, 24, 257, 98}, nullptr},
        {3063, "Edit", ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_TABSTOP, 0, {10, 59, 245, 59}, ""},
        {3048, "Button", 0, 0, {4, 125, 59, 14}, "历史短消息"},
        {3049, "Button", 0, 0, {203, 125, 59, 14}, "发送短信(&S)"},
        {3050, "Button", BS_AUTOCHECKBOX | BS_FLAT, 0, {11, 147, 32, 10}, "签名"},
        {3052, "Edit", ES_AUTOHSCROLL, 0, {59, 145, 193, 14}, ""},
        {3051, "Button", BS_AUTOCHECKBOX | BS_FLAT, 0, {11, 164, 48, 10}, "定时发送"},
        {3033, "Edit", edit, 0, {59, 163, 23, 12}, ""},
        {3034, "Edit", edit, 0, {95, 163, 15, 12}, ""},
        {3035, "Edit", edit, 0, {123, 163, 15, 12}, ""},
        {3036, "Edit", edit, 0, {150, 163, 15, 12}, ""},
        {3037, "Edit", edit, 0, {179, 163, 15, 12}, ""},
    });
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("发短信", TextOf(dialog));
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(dialog, 3052), GWL_EXSTYLE) & WS_EX_STATICEDGE);
    // The message field is first in the tab order; the frame lies at the bottom.
    EXPECT_EQ(GetDlgItem(dialog, 3063), GetNextDlgTabItem(dialog, nullptr, FALSE));
    EXPECT_EQ(GetDlgItem(dialog, 3066), GetWindow(GetDlgItem(dialog, 3063), GW_HWNDLAST));
    const int tabOrder[] = {3063, 3049, 3050, 3052, 3051, 3033, 3034, 3035, 3036, 3037, 3048};
    HWND current = GetDlgItem(dialog, 3063);
    for (int next : tabOrder) {
        EXPECT_EQ(next, GetDlgCtrlID(current));
        current = GetNextDlgTabItem(dialog, current, FALSE);
    }
    DestroyWindow(dialog);
}

TEST(DialogTemplateTest, ViewMessageTemplate)
{
    HWND dialog = CheckTemplate(IDD_VIEW_MESSAGE, {
        {3017, "Button", 0, 0, {144, 129, 49, 14}, "回复(&V)"},
        {3018, "Button", 0, 0, {213, 129, 49, 14}, "返回"},
        {567, "Button", 0, 0, {4, 129, 49, 14}, "历史短消息"},
        {3040, "Edit", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_WANTRETURN, 0, {9, 45, 247, 77}, ""},
        {3071, "Static", 0, 0, {4, 24, 258, 101}, ""},
        {3030, "Static", 0, 0, {4, 6, 38, 10}, "发件人："},
        {3031, "Static", 0, 0, {42, 6, 218, 10}, ""},
    });
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("查看信息", TextOf(dialog));
    const DWORD style = (DWORD)GetWindowLongPtrA(dialog, GWL_STYLE);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              style & (WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    DestroyWindow(dialog);
}

TEST(DialogTemplateTest, HistoryPopupTemplate)
{
    HWND dialog = CheckTemplate(IDD_HISTORY_POPUP, {
        {3039, "ListBox", WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_NOINTEGRALHEIGHT,
         LBS_HASSTRINGS | LBS_SORT, {0, 0, 190, 63}, nullptr},
    });
    ASSERT_NE(nullptr, dialog);
    const DWORD style = (DWORD)GetWindowLongPtrA(dialog, GWL_STYLE);
    EXPECT_EQ((DWORD)(WS_POPUP | WS_THICKFRAME | WS_CLIPCHILDREN | WS_CLIPSIBLINGS),
              style & (WS_POPUP | WS_THICKFRAME | WS_CLIPCHILDREN | WS_CLIPSIBLINGS));
    EXPECT_EQ(0u, style & WS_CAPTION & ~WS_BORDER) << "no caption";
    DestroyWindow(dialog);
}

TEST(DialogTemplateTest, OrderTemplateWithTheBrowserControlClass)
{
    // The browser control's class is registered by whoever hosts the control.
    WNDCLASSA browser = {};
    browser.style = CS_GLOBALCLASS;
    browser.lpfnWndProc = DefWindowProcA;
    browser.hInstance = GetModuleHandleA(nullptr);
    browser.lpszClassName = kBrowserClass;
    ASSERT_TRUE(RegisterClassA(&browser));
    HWND dialog = CheckTemplate(IDD_ORDER, {
        {3059, kBrowserClass, WS_VISIBLE | WS_TABSTOP, 0, {0, 0, 235, 167}, nullptr},
        {3065, "Static", SS_CENTER, WS_VISIBLE, {6, 54, 223, 27}, ""},
        {3064, "Button", WS_TABSTOP, WS_VISIBLE, {91, 84, 41, 15}, "重试"},
    });
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("短信服务", TextOf(dialog));
    EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(dialog, 3065), GWL_EXSTYLE) & WS_EX_TRANSPARENT);
    const DWORD style = (DWORD)GetWindowLongPtrA(dialog, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    EXPECT_EQ(wanted, style & wanted);
    DestroyWindow(dialog);
    UnregisterClassA(kBrowserClass, GetModuleHandleA(nullptr));

    // The browser's persisted state travels beside the template.
    HRSRC init = FindResourceA(Module(), MAKEINTRESOURCEA(IDD_ORDER), MAKEINTRESOURCEA(240));
    ASSERT_NE(nullptr, init);
    auto words = static_cast<const WORD*>(LockResource(LoadResource(Module(), init)));
    EXPECT_EQ(3059, words[0]);
}

TEST(BitmapTest, SixteenBySixteenWith256ColoursAndMagentaCorners)
{
    for (UINT id : {2019u, 3020u}) {
        SCOPED_TRACE(id);
        HRSRC resource = FindResourceA(Module(), MAKEINTRESOURCEA(id), (LPCSTR)RT_BITMAP);
        ASSERT_NE(nullptr, resource);
        auto info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(Module(), resource)));
        EXPECT_EQ(16, info->biWidth);
        EXPECT_EQ(16, info->biHeight);
        EXPECT_EQ(8, info->biBitCount);
        HBITMAP bitmap = (HBITMAP)LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_NE(nullptr, bitmap);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        EXPECT_EQ(RGB(255, 0, 255), GetPixel(dc, 0, 0));
        EXPECT_EQ(RGB(255, 0, 255), GetPixel(dc, 15, 15));
        EXPECT_NE(RGB(255, 0, 255), GetPixel(dc, 5, 6)) << "the picture itself is opaque";
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
}

TEST(VersionTest, SimplifiedChineseVersionResource)
{
    char path[MAX_PATH];
    GetModuleFileNameA(Module(), path, MAX_PATH);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(0x0804, translation[0]);
    const std::pair<const char*, const char*> values[] = {
        {"FileDescription", "smsutil DLL"}, {"FileVersion", "1, 0, 0, 1"},
        {"ProductVersion", "1, 0, 0, 1"}, {"InternalName", "smsutil"}};
    for (const auto& value : values) {
        char* text = nullptr;
        const std::string query = std::string("\\StringFileInfo\\080404b0\\") + value.first;
        ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << query;
        EXPECT_STREQ(value.second, text);
    }
}

namespace {
const IMAGE_EXPORT_DIRECTORY* Exports(HMODULE module, const IMAGE_NT_HEADERS** headers)
{
    auto base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    *headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = (*headers)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    return entry.Size ? reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress) : nullptr;
}
} // namespace

TEST(ExportTest, ModuleIsPe32PlusExportingGetPluginAlone)
{
    const IMAGE_NT_HEADERS* headers = nullptr;
    const IMAGE_EXPORT_DIRECTORY* exports = Exports(Module(), &headers);
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR64_MAGIC, headers->OptionalHeader.Magic);
    EXPECT_TRUE(headers->FileHeader.Characteristics & IMAGE_FILE_DLL);
    ASSERT_NE(nullptr, exports);
    ASSERT_EQ(1u, exports->NumberOfNames);
    ASSERT_EQ(1u, exports->NumberOfFunctions);
    auto base = reinterpret_cast<const BYTE*>(Module());
    auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    EXPECT_STREQ("getPlugin", reinterpret_cast<const char*>(base + names[0]));
}

TEST(ExportTest, DataModuleExportsOrdinalOneWithoutName)
{
    HMODULE data = LoadLibraryA("hostdata.dll");
    ASSERT_NE(nullptr, data);
    const IMAGE_NT_HEADERS* headers = nullptr;
    const IMAGE_EXPORT_DIRECTORY* exports = Exports(data, &headers);
    ASSERT_NE(nullptr, exports);
    EXPECT_EQ(0u, exports->NumberOfNames);
    EXPECT_EQ(1u, exports->Base);
    EXPECT_NE(nullptr, GetProcAddress(data, MAKEINTRESOURCEA(1)));
    EXPECT_EQ(nullptr, GetProcAddress(data, "db_create"));
}
