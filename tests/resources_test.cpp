// smsutil.dll's resources as the host and a user meet them outside the
// dialogs' own tests: the send dialog's tab order, the menu bitmaps, the
// version block.
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

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

} // namespace

TEST(DialogTemplateTest, SendDialogTabOrderStartsAtTheMessage)
{
    HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_SEND_MESSAGE), nullptr, PlainDialogProc, 0);
    ASSERT_NE(nullptr, dialog);
    const int tabOrder[] = {IDC_SEND_MESSAGE,        IDC_SEND_SEND,   IDC_SEND_SIGN_CHECK, IDC_SEND_SIGNATURE,
                            IDC_SEND_SCHEDULE_CHECK, IDC_SEND_YEAR,   IDC_SEND_MONTH,      IDC_SEND_DAY,
                            IDC_SEND_HOUR,           IDC_SEND_MINUTE, IDC_SEND_HISTORY,    IDC_SEND_MESSAGE};
    HWND current = GetNextDlgTabItem(dialog, nullptr, FALSE);
    for (int expected : tabOrder) {
        EXPECT_EQ(expected, GetDlgCtrlID(current));
        current = GetNextDlgTabItem(dialog, current, FALSE);
    }
    DestroyWindow(dialog);
}

// The host draws them in 16 x 16 menus with magenta as the transparent colour.
TEST(BitmapTest, SixteenBySixteenWithMagentaCorners)
{
    for (UINT id : {IDB_SMS_LEVEL2, IDB_SMS_LEVEL3}) {
        SCOPED_TRACE(id);
        HBITMAP bitmap = (HBITMAP)LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
        ASSERT_NE(nullptr, bitmap);
        BITMAP info = {};
        GetObjectA(bitmap, sizeof info, &info);
        EXPECT_EQ(16, info.bmWidth);
        EXPECT_EQ(16, info.bmHeight);
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
    std::vector<char> data(GetFileVersionInfoSizeA(path, &handle) + 1);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    const std::pair<const char*, const char*> values[] = {{"FileDescription", "smsutil DLL"},
                                                          {"FileVersion", "1, 0, 0, 1"},
                                                          {"ProductVersion", "1, 0, 0, 1"},
                                                          {"InternalName", "smsutil"}};
    for (const auto& value : values) {
        char* text = nullptr;
        const std::string query = std::string("\\StringFileInfo\\080404b0\\") + value.first;
        ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << query;
        EXPECT_STREQ(value.second, text);
    }
}
