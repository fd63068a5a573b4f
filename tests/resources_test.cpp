// smsutil.dll's resources and exports as the host and a user rely on them:
// the send dialog's tab order, the bitmaps' format, the version block, the
// exports. Controls and texts are checked where the dialogs use them.
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
    ASSERT_TRUE(
        VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(0x0804, translation[0]);
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
