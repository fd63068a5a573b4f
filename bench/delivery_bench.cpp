// Prints how long a message takes from the send button pressed in one
// running host to the view dialog that shows it in another, through the SMS
// server: the median, the 95th percentile, the best and the worst of a
// number of messages. It acts on the hosts' windows from outside as a
// person would, like smsdrive, but in one process, so that nothing but the
// delivery sits between the two clock readings. Figures only: nothing here
// passes or fails.
//   delivery_bench SENDER RECEIVER [MESSAGES] [CONTACT_INDEX]
// SENDER and RECEIVER are the accounts of two running hosts; the receiver is
// item CONTACT_INDEX (0 unless given) of the sender's contact list. At the
// end both hosts are closed.
#include "bench_clock.h"
#include "window_drive.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The controls a person uses: the host's contact list; the send dialog's
// recipient, message field and send button; the view dialog's sender label
// and text.
const int kContacts = 101;
const int kRecipient = 3046;
const int kMessage = 3063;
const int kSend = 3049;
const int kBody = 3040;

// Between the send dialog appearing and the click: the time a person takes
// to write, in which the dialog reaches its recipient's switch connection.
const DWORD kWritingMs = 300;
const double kGiveUpSeconds = 10;
const double kFirstGiveUpSeconds = 30;


struct Host {
    HWND main = nullptr;
    DWORD process = 0;
};

// The visible top-level window of `process` that holds the visible control
// `id`.
HWND FindDialogOf(DWORD process, int id)
{
    HWND control = drive::FindControl(process, id);
    return control ? GetAncestor(control, GA_ROOT) : nullptr;
}

// Waits for `ready` with 1 ms naps; false after `seconds`.
template <typename Ready>
bool WaitFor(double seconds, Ready ready)
{
    const double end = Seconds() + seconds;
    while (!ready()) {
        if (Seconds() > end) return false;
        Sleep(1);
    }
    return true;
}

// One message: the send dialog opened on the receiver, the text written, the
// click, and the time until the receiver shows a view dialog with that text.
// Negative when something did not happen; the reason is printed.
double DeliverOne(const Host& sender, const Host& receiver, int contactIndex, const std::wstring& text,
                  double giveUp)
{
    HWND contacts = GetDlgItem(sender.main, kContacts);
    if (!contacts || SendMessageW(contacts, LB_SETCURSEL, contactIndex, 0) == LB_ERR) {
        printf("delivery_bench: the sender's contact list has no item %d\n", contactIndex);
        return -1;
    }
    PostMessageW(sender.main, WM_COMMAND, MAKEWPARAM(kContacts, LBN_DBLCLK), reinterpret_cast<LPARAM>(contacts));
    HWND send = nullptr;
    if (!WaitFor(5, [&] { return (send = FindDialogOf(sender.process, kMessage)) != nullptr; })) {
        printf("delivery_bench: no send dialog opened\n");
        return -1;
    }
    const std::wstring recipient = drive::Text(GetDlgItem(send, kRecipient));
    Sleep(kWritingMs);
    SendMessageW(GetDlgItem(send, kMessage), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));

    const double start = Seconds();
    PostMessageW(GetDlgItem(send, kSend), BM_CLICK, 0, 0);
    HWND view = nullptr;
    const bool shown = WaitFor(giveUp, [&] {
        view = FindDialogOf(receiver.process, kBody);
        return view && drive::Text(GetDlgItem(view, kBody)) == text;
    });
    const double took = Seconds() - start;
    if (!shown) {
        char utf8[512] = {};
        WideCharToMultiByte(CP_UTF8, 0, recipient.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
        printf("delivery_bench: nothing shown %.0f s after sending to %s\n", giveUp, utf8);
        return -1;
    }
    // Ready for the next one: the view dialog closed and the send dialog
    // gone (it closes once the message is handed over).
    PostMessageW(view, WM_CLOSE, 0, 0);
    WaitFor(5, [&] { return !IsWindow(view) || !IsWindowVisible(view); });
    WaitFor(5, [&] { return !IsWindow(send) || !IsWindowVisible(send); });
    return took;
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 3) {
        fprintf(stderr, "usage: delivery_bench SENDER RECEIVER [MESSAGES] [CONTACT_INDEX]\n");
        return 2;
    }
    const int count = argc > 3 ? atoi(argv[3]) : 50;
    const int contactIndex = argc > 4 ? atoi(argv[4]) : 0;
    Host sender, receiver;
    const bool found = WaitFor(30, [&] {
        sender.main = drive::FindHostWindow(strtoul(argv[1], nullptr, 10));
        receiver.main = drive::FindHostWindow(strtoul(argv[2], nullptr, 10));
        return sender.main && receiver.main && GetDlgItem(sender.main, kContacts);
    });
    GetWindowThreadProcessId(sender.main, &sender.process);
    GetWindowThreadProcessId(receiver.main, &receiver.process);
    if (!found) {
        printf("delivery_bench: the hosts of %s and %s are not running\n", argv[1], argv[2]);
        return 1;
    }

    // The first message also waits out the hosts' start-up and connection
    // to the server; it is not counted.
    int status = 0;
    if (DeliverOne(sender, receiver, contactIndex, L"delivery warm-up 预热", kFirstGiveUpSeconds) < 0) {
        status = 1;
    } else {
        std::vector<double> times;
        int failed = 0;
        for (int n = 0; n < count; ++n) {
            const std::wstring text = L"delivery " + std::to_wstring(n) + L" 你好";
            const double took = DeliverOne(sender, receiver, contactIndex, text, kGiveUpSeconds);
            if (took < 0) ++failed;
            else times.push_back(took * 1000);
        }
        std::sort(times.begin(), times.end());
        if (times.empty()) {
            printf("no message of %d arrived\n", count);
            status = 1;
        } else {
            const size_t n = times.size();
            const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
            // The smallest time that at least 95 in 100 messages do not exceed.
            const double p95 = times[std::min(n - 1, (n * 95 + 99) / 100 - 1)];
            printf("%d messages (%d lost or late), %lu ms to write each before the click\n", count, failed,
                   kWritingMs);
            printf("  %-32s %8s %8s %8s %8s\n", "", "median", "p95", "best", "worst");
            printf("  %-32s %8.1f %8.1f %8.1f %8.1f\n", "send click to view dialog, ms", median, p95, times.front(),
                   times.back());
            printf("  target: median 50 ms\n");
        }
    }
    PostMessageW(sender.main, WM_CLOSE, 0, 0);
    PostMessageW(receiver.main, WM_CLOSE, 0, 0);
    return status;
}
