// Prints how long the module takes to take in a burst of received messages:
// 10,000 (or MESSAGES) from 100 senders, posted to the service window by a
// thread of their own as the adapters post them, until every one is in the
// history or the unread queue; beside it as many bare Berkeley DB puts that
// open and close the database each time, as the store does; and how many
// messages the file does not hold afterwards, read back with plain cursors.
// First, right after log-in, the time from a block's arrival until its view
// dialog's last paint ends, and until the GUI thread is idle again (the
// history written after the paint): for the first typical message, for
// typical ones from new senders, and for the worst text the store keeps,
// 60,000 bytes of control characters.
// Figures only: nothing here passes or fails.
//   receive_bench [FOLDER [MESSAGES]]
#include "bench_clock.h"
#include "bench_db.h"
#include "dialogs/receive_message_dlg.h"
#include "dialogs/window_registry.h"
#include "plugin/sms_service_wnd.h"
#include "plugin/sms_util_plugin.h"
#include "probe_adapter.h"
#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "test_host.h"

#include <windows.h>
#include <db.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

int kMessages = 10000; // or the command line's
const int kSenders = 100;
const int kFirstSender = 20000;
// The end of the burst, behind its last block in the same queue.
const UINT kBurstPosted = WM_APP + 1;




std::string PeerOf(int n) { return std::to_string(kFirstSender + n % kSenders); }
std::string TextOf(int n) { return "burst message " + std::to_string(n) + ", of a typical length for a short message"; }

// A block as an adapter posts it: two bytes of the transport, then the
// service text of a received message, with its NUL.
char* Block(int n, size_t& length)
{
    const std::string block = "\x01\x02" "4\x02x\x02" + PeerOf(n) + "\x02" + TextOf(n) + '\0';
    char* copy = new char[block.size()];
    memcpy(copy, block.data(), block.size());
    length = block.size();
    return copy;
}

struct Feeder {
    HWND service;
    DWORD mainThread;
};

DWORD WINAPI Feed(void* parameter)
{
    auto feeder = static_cast<Feeder*>(parameter);
    for (int n = 0; n < kMessages; ++n) {
        size_t length = 0;
        char* block = Block(n, length);
        while (!PostMessageA(feeder->service, WM_SMSDATA, length, reinterpret_cast<LPARAM>(block))) Sleep(1);
    }
    PostThreadMessageA(feeder->mainThread, kBurstPosted, 0, 0);
    return 0;
}

// Every value of `database` in `file`, as "peer|text" with its count.
int ReadBack(DbCreate create, const std::string& file, const char* database, std::map<std::string, int>& seen)
{
    DB* db = nullptr;
    if (create(&db, nullptr, 0) != 0) return -1;
    db->set_flags(db, DB_DUP);
    if (db->open(db, nullptr, file.c_str(), database, DB_HASH, DB_RDONLY, 0) != 0) {
        db->close(db, 0);
        return 0;
    }
    DBC* cursor = nullptr;
    int values = 0;
    if (db->cursor(db, nullptr, &cursor, 0) == 0) {
        DBT key = Entry(nullptr, 0);
        DBT value = Entry(nullptr, 0);
        while (cursor->c_get(cursor, &key, &value, DB_NEXT) == 0) {
            CSmsRecord record;
            CByteReader reader(value.data, static_cast<int>(value.size));
            record.Load(reader);
            const std::string peer(static_cast<const char*>(key.data), key.size);
            ++seen[peer + "|" + static_cast<const char*>(record.text)];
            ++values;
        }
        cursor->c_close(cursor);
    }
    db->close(db, 0);
    return values;
}

// The bare puts: what the history's every put costs at least.
double TimeBarePuts(DbCreate create, const std::string& bareFile)
{
    const double bareStart = Seconds();
    for (int n = 0; n < kMessages; ++n) {
        CSmsRecord record;
        record.kind = CSmsRecord::KIND_RECEIVED;
        record.peer = PeerOf(n).c_str();
        record.time = "2026-12-05 10:00:00";
        record.text = TextOf(n).c_str();
        CByteWriter writer(4096);
        record.Store(writer);
        DB* db = nullptr;
        create(&db, nullptr, 0);
        db->set_flags(db, DB_DUP);
        db->open(db, nullptr, bareFile.c_str(), "10001mdata", DB_HASH, DB_CREATE, 0600);
        DBC* cursor = nullptr;
        db->cursor(db, nullptr, &cursor, 0);
        const std::string peer = PeerOf(n);
        DBT key = Entry(peer.data(), peer.size());
        DBT value = Entry(writer.Data(), writer.Length());
        cursor->c_put(cursor, &key, &value, DB_KEYFIRST);
        cursor->c_close(cursor);
        db->close(db, 0);
    }
    return Seconds() - bareStart;
}

// From the feeder's start until the main thread has dispatched its last block.
double TimeBurst()
{
    Feeder feeder = {g_wndService.m_hWnd, GetCurrentThreadId()};
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists before the feeder posts
    const double burstStart = Seconds();
    HANDLE thread = CreateThread(nullptr, 0, Feed, &feeder, 0, nullptr);
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == kBurstPosted && message.hwnd == nullptr) break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    const double burst = Seconds() - burstStart;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return burst;
}

struct Outcome {
    double burst = 0;
    int inHistory = 0;
    int inQueue = 0;
    int lost = 0;
    int doubled = 0;
};

// The burst into the logged-in module, and what the file holds after it.
Outcome Burst(DbCreate create)
{
    const std::string file = std::string(AccountDataDir) + "smsutilmsg.db";
    const std::string historyName = std::string(CurrentAccountId) + "mdata";
    const std::string queueName = std::string(CurrentAccountId) + "umdata";
    Outcome outcome;
    outcome.burst = TimeBurst();

    std::map<std::string, int> seen;
    outcome.inHistory = ReadBack(create, file, historyName.c_str(), seen);
    outcome.inQueue = ReadBack(create, file, queueName.c_str(), seen);
    for (int n = 0; n < kMessages; ++n) {
        auto found = seen.find(PeerOf(n) + "|" + TextOf(n));
        if (found == seen.end()) ++outcome.lost;
        else if (found->second > 1) ++outcome.doubled;
    }
    return outcome;
}

void Print(const Outcome& outcome, double bare)
{
    printf("%d messages from %d senders, posted by a thread of their own to the service window\n", kMessages,
           kSenders);
    printf("  %-52s %9.3f s\n", "until each is in the history or the queue", outcome.burst);
    printf("  %-52s %9.3f s\n", "bare puts with an open and a close each", bare);
    printf("  %-52s %9.2f x\n", "burst / bare puts", outcome.burst / bare);
    printf("  %-52s %9d / %d\n", "read back: history / queue", outcome.inHistory, outcome.inQueue);
    printf("  %-52s %9d\n", "lost (in neither)", outcome.lost);
    printf("  %-52s %9d\n", "held twice or more", outcome.doubled);
    printf("  target: none lost, within 1.1 x the bare puts\n");
}

// The key of the dialog being timed, and when a paint of it last ended.
std::string g_timedKey;
double g_lastPaintEnd = 0;

LRESULT CALLBACK NotePaint(int code, WPARAM wParam, LPARAM lParam)
{
    auto call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_PAINT) {
        CWnd* timed = FindRegisteredWindow(g_timedKey.c_str());
        if (timed && GetAncestor(call->hwnd, GA_ROOT) == timed->m_hWnd) g_lastPaintEnd = Seconds();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct ToShown {
    double painted = -1; // the block's arrival to the dialog's last paint
    double done = -1;    // ... to the thread idle again, the history written
};

// One block from a sender without a dialog, handled as the adapters' posts
// are, then every message it left for the thread (creation, painting).
ToShown MillisecondsToShown(const std::string& peer, const std::string& text)
{
    const std::string block = "\x01\x02" "4\x02x\x02" + peer + "\x02" + text + '\0';
    char* copy = new char[block.size()];
    memcpy(copy, block.data(), block.size());

    g_timedKey = "r" + peer;
    g_lastPaintEnd = 0;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, NotePaint, nullptr, GetCurrentThreadId());
    const double start = Seconds();
    g_wndService.SendMessage(WM_SMSDATA, block.size(), reinterpret_cast<LPARAM>(copy));
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ToShown shown;
    const double end = Seconds();
    UnhookWindowsHookEx(hook);
    auto view = static_cast<CReceiveMessageDlg*>(FindRegisteredWindow(g_timedKey.c_str()));
    if (!view || !IsWindowVisible(view->m_hWnd) || g_lastPaintEnd == 0) return shown;
    shown.painted = (g_lastPaintEnd - start) * 1000;
    shown.done = (end - start) * 1000;
    return shown;
}

// Right after log-in, before the burst: the first dialog pays for what the
// process loads once (templates, fonts, the skin's images).
void PrintTimesToShown()
{
    std::string worst;
    for (int at = 0; at < 60000; ++at) worst += static_cast<char>(1 + at % 31);
    printf("from a block's arrival to its view dialog painted / to the GUI thread idle, the history written\n");
    printf("(-1: not shown)\n");
    auto print = [](const char* what, const ToShown& shown) {
        printf("  %-52s %7.1f / %5.1f ms\n", what, shown.painted, shown.done);
    };
    print("a typical message, the first after log-in", MillisecondsToShown("30000", TextOf(0)));
    ToShown typical[5];
    for (int n = 0; n < 5; ++n) typical[n] = MillisecondsToShown(std::to_string(30010 + n), TextOf(n));
    std::sort(typical, typical + 5, [](const ToShown& a, const ToShown& b) { return a.painted < b.painted; });
    print("a typical message, from a new sender, median of 5", typical[2]);
    print("60,000 bytes of control characters", MillisecondsToShown("30001", worst));
    printf("  target: painted within 30 ms a typical message, 100 ms the worst\n");
}

} // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    HMODULE data = LoadLibraryA("hostdata.dll");
    auto create = data ? reinterpret_cast<DbCreate>(GetProcAddress(data, MAKEINTRESOURCEA(1))) : nullptr;
    if (!create) {
        printf("receive_bench: hostdata.dll's db_create not found\n");
        return 1;
    }
    if (argc > 2 && atoi(argv[2]) > 0) kMessages = atoi(argv[2]);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(argc > 1 ? argv[1] : temp) + "\\";
    const std::string hostDir = folder + "receive\\";
    const std::string bareDir = folder + "bare\\";
    CreateDirectoryA(hostDir.c_str(), nullptr);
    CreateDirectoryA(bareDir.c_str(), nullptr);
    DeleteFileA((hostDir + "smsutilmsg.db").c_str());
    DeleteFileA((bareDir + "smsutilmsg.db").c_str());
    const double bare = TimeBarePuts(create, bareDir + "smsutilmsg.db");

    // The burst into a logged-in module in a test host.
    CTestHost host;
    host.dataDir = hostDir;
    PluginScope scope(host);
    if (!scope.plugin) {
        printf("receive_bench: no plugin object\n");
        return 1;
    }
    InstallProbeAdapters();
    host.LogIn(scope.plugin);
    PrintTimesToShown();
    Print(Burst(create), bare);
    return 0;
}
