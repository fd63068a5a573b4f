// Keys and clicks as a user gives them to a dialog: through the thread's
// queue and the dialog manager, the way a host's message loop hands them on.
// Enter and Escape thus reach a dialog as the dialog manager turns them into
// commands (the default button, IDCANCEL), never as a WM_COMMAND of the test.
#pragma once
#include <windows.h>

// Presses and releases `virtualKey` with the keyboard focus on `focus`, or,
// when it is null, on the dialog's control that has the focus (its first tab
// stop when none has), then pumps the queue. WM_CHAR comes, where the system
// makes one, from TranslateMessage in the dialog manager.
void PressDialogKey(HWND dialog, UINT virtualKey, HWND focus = nullptr);

// A click on the close box: the system's WM_SYSCOMMAND SC_CLOSE, then the
// queue (the dialog's WM_CLOSE posts its IDCANCEL).
void ClickCloseBox(HWND dialog);

// Dispatches what is in the thread's queue as a host's message loop does: a
// message for a dialog or one of its controls goes through IsDialogMessage of
// that dialog. Timers that fall due meanwhile are dropped: tests drive timers
// with WM_TIMER and the timer's id.
void PumpDialogMessages();
