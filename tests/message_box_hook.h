// Answers every message box that the thread opens while the hook is alive,
// recording caption and text, so that no test waits for a click.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct SeenMessageBox {
    std::string caption;
    std::string text;
    // What the box's style shows: its buttons in the order of their ids
    // (IDOK, IDCANCEL, ..., IDYES, IDNO) and its icon, one of IDI_HAND,
    // IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK, or null for none.
    std::vector<int> buttons;
    LPCSTR icon = nullptr;
    HWND owner = nullptr;
};

class MessageBoxHook {
public:
    // `answer` is the button pressed: IDOK, IDYES, IDNO...
    explicit MessageBoxHook(int answer = IDOK);
    ~MessageBoxHook();
    MessageBoxHook(const MessageBoxHook&) = delete;
    MessageBoxHook& operator=(const MessageBoxHook&) = delete;

    std::vector<SeenMessageBox> seen;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK m_hook;
    int m_answer;
};
