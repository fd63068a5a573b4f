// Acting on another process's windows as a person would: finding a host by
// its account, a control by its id, reading texts, clicking, typing and
// pasting with the messages that mouse, keyboard and input method produce.
// Shared by smsdrive (one action per run, for scripts) and smsdemo (a whole
// conversation in one run).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace drive {

// The process of the host logged in as `account` (its main window's
// caption ends in "(account)"); 0 when there is none.
DWORD FindHostProcess(uint32_t account);
HWND FindHostWindow(uint32_t account);

// The visible control `id` in a visible top-level window of `process`
// (0: any process); nullptr when there is none.
HWND FindControl(DWORD process, int id);

// A window's text through the wide message: an ANSI one to another process
// comes back converted twice under Wine.
std::wstring Text(HWND window);
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
std::string TextUtf8(HWND window);

// The items of a list box, and the index of the first that contains `part`
// (-1 when none does).
int FindListItem(HWND list, const std::wstring& part);

// A left click on a button, as the button itself turns it into a command.
void Click(HWND button);
// A double click on item `index` of a list box, at the item's place.
bool DoubleClickItem(HWND list, int index);
// Types `text` into a field: ASCII as WM_CHAR, anything else as the
// WM_IME_CHAR an input method sends. False when a character did not change
// the field's text (a full field, a read-only one).
bool Type(HWND field, const std::wstring& text);
// Posts ASCII keys as WM_CHARs without waiting for each: for fields whose
// text a key may leave as it was.
void PostChars(HWND field, const std::string& keys);
// Selects all of a field's text, so that typing replaces it.
void SelectAll(HWND field);
// Puts `text` on the clipboard and sends the field WM_PASTE.
bool Paste(HWND field, const std::wstring& text);
// Closes the top-level window that holds `window`, as its close box does.
void CloseWindowOf(HWND window);

// Whether a person sees the whole of `window`'s top-level window: every
// corner and the centre show that window itself.
bool IsInFront(HWND window);

// Waits (pumping nothing: the windows are another process's) until
// `condition` holds or `timeoutMs` passes.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(25);
    }
}

} // namespace drive
