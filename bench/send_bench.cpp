// Prints how long the send dialog takes to handle one typed character when
// its message field already holds 130: the edit's own handling, the counter
// that the change rewrites in the frame, and the frame's repaint in the
// demo skin. Median and worst of many keystrokes; figures only, nothing here
// passes or fails.
#include "bench_clock.h"
#include "dialog_input.h"
#include "dialogs/send_message_dlg.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "dialogs/window_registry.h"
#include "probe_adapter.h"
#include "res/resource.h"
#include "temp_dir.h"
#include "test_host.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kKeystrokes = 1000;
const int kWarmUp = 20;
const int kLengthBefore = 130;
const int kRecipient = 10002;
// The top of the frame's message band in the demo skin; the built-in skin,
// which the module falls back to without a skin file, paints it #F0F0F0.
const COLORREF kDemoBandTop = RGB(0xFF, 0xFB, 0xEF);


std::string Text(HWND window)
{
    char text[4096] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool NeedsPaint(HWND window)
{
    RECT dirty;
    return GetUpdateRect(window, &dirty, FALSE) != 0;
}

// Within a few steps of the gradient's top colour.
bool Near(COLORREF got, COLORREF want)
{
    return abs(GetRValue(got) - GetRValue(want)) <= 3 && abs(GetGValue(got) - GetGValue(want)) <= 3 &&
           abs(GetBValue(got) - GetBValue(want)) <= 3;
}

struct SendDialog {
    HWND window;
    HWND message;
    HWND frame;
};

// The send dialog to the recipient, painted, with its message field holding
// the characters typed before the measured one; false, having said what
// went wrong, where it cannot.
bool OpenWithText(CTestHost& host, IxaPlugin* plugin, SendDialog& dialog)
{
    InstallProbeAdapters();
    host.contacts[kRecipient] = {"李四", 0, 3};
    host.LogIn(plugin);
    g_wndService.ShowSendDialog(kRecipient);
    CWnd* registered = FindRegisteredWindow("c10002");
    if (!registered) {
        printf("send_bench: no send dialog for %d\n", kRecipient);
        return false;
    }
    dialog.window = registered->m_hWnd;
    dialog.message = GetDlgItem(dialog.window, IDC_SEND_MESSAGE);
    dialog.frame = GetDlgItem(dialog.window, IDC_SEND_FRAME);
    PumpDialogMessages();
    UpdateWindow(dialog.window);

    SetFocus(dialog.message);
    for (int n = 0; n < kLengthBefore; ++n) SendMessageA(dialog.message, WM_CHAR, 'a' + n % 26, 1);
    UpdateWindow(dialog.window);
    if (GetWindowTextLengthA(dialog.message) != kLengthBefore) {
        printf("send_bench: the message field holds %d characters, not %d\n",
                GetWindowTextLengthA(dialog.message), kLengthBefore);
        return false;
    }
    return true;
}

COLORREF BandTop(HWND frame)
{
    HDC dc = GetDC(frame);
    const COLORREF bandTop = GetPixel(dc, 3, 3);
    ReleaseDC(frame, dc);
    return bandTop;
}

// The typed character and the backspace that takes it back again; only
// the first is measured. The warm-up also checks that every keystroke
// changes the counter and leaves the frame to repaint.
bool TimeKeystrokes(const SendDialog& dialog, std::vector<double>& times, int& repaintsAsked)
{
    times.reserve(kKeystrokes);
    for (int n = -kWarmUp; n < kKeystrokes; ++n) {
        const std::string counterBefore = n < 0 ? Text(dialog.frame) : std::string();
        const double start = Seconds();
        SendMessageA(dialog.message, WM_CHAR, 'x', 1);
        const bool dirty = n < 0 && NeedsPaint(dialog.frame);
        UpdateWindow(dialog.frame);
        const double took = Seconds() - start;
        if (dirty) ++repaintsAsked;
        if (n < 0 &&
            (Text(dialog.frame) == counterBefore || GetWindowTextLengthA(dialog.message) != kLengthBefore + 1)) {
            printf("send_bench: a keystroke did not reach the counter\n");
            return false;
        }
        if (n >= 0) times.push_back(took);
        SendMessageA(dialog.message, WM_CHAR, VK_BACK, 1);
        UpdateWindow(dialog.window);
        PumpDialogMessages();
        if (GetWindowTextLengthA(dialog.message) != kLengthBefore) {
            printf("send_bench: the backspace left %d characters\n", GetWindowTextLengthA(dialog.message));
            return false;
        }
    }
    return true;
}

void Print(std::vector<double> times, COLORREF bandTop, bool skinned, int repaintsAsked)
{
    std::sort(times.begin(), times.end());
    printf("%d keystrokes into a message of %d characters; frame's band #%06lX: %s\n", kKeystrokes,
           kLengthBefore, (unsigned long)bandTop,
           skinned ? "the demo skin" : "NOT the demo skin's, so not the skinned panel's paint");
    printf("  %-44s %8s %8s\n", "", "median", "worst");
    printf("  %-44s %8.0f %8.0f\n", "WM_CHAR + counter + frame repaint, us", times[times.size() / 2] * 1e6,
           times.back() * 1e6);
    printf("  target: under 1000 us\n");
    printf("  warm-up keystrokes that left the frame to repaint: %d of %d\n", repaintsAsked, kWarmUp);
}

int Run(CTestHost& host, IxaPlugin* plugin)
{
    SendDialog dialog = {};
    if (!OpenWithText(host, plugin, dialog)) return 1;
    const COLORREF bandTop = BandTop(dialog.frame);
    // A frame not painted in the demo skin still gives figures, but says so:
    // they are then not those of the skinned panel.
    const bool skinned = Near(bandTop, kDemoBandTop);

    std::vector<double> times;
    int repaintsAsked = 0;
    if (!TimeKeystrokes(dialog, times, repaintsAsked)) return 1;
    Print(times, bandTop, skinned, repaintsAsked);

    SendMessageA(dialog.window, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

} // namespace

int main()
{
    TempDir dataDir;
    CTestHost host;
    host.dataDir = dataDir.Path();
    PluginScope scope(host);
    if (!scope.plugin) {
        printf("send_bench: no plugin object\n");
        return 1;
    }
    return Run(host, scope.plugin);
}
