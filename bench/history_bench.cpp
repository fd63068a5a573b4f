// Prints the time that the history popup takes to list the newest 100
// messages of a contact with 100, 10,000 and 100,000 stored, and the ratio
// of the slowest to the fastest. Figures only: nothing here passes or fails.
#include "bench_clock.h"
#include "bench_db.h"
#include "controls/message_history_popup.h"
#include "dialog_input.h"
#include "plugin/sms_util_plugin.h"
#include "res/resource.h"
#include "store/byte_writer.h"
#include "store/message_store.h"
#include "store/sms_record.h"
#include "test_host.h"

#include <windows.h>
#include <db.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <string>

namespace {


// Best of this many: a fill is short enough for the scheduler's noise to show.
const int kRuns = 50;



// `count` records of one peer, oldest put first, each before the others as
// the store puts them: one open for all, straight through Berkeley DB.
bool FillStore(DbCreate create, const std::string& peer, int count)
{
    DB* db = nullptr;
    if (create(&db, nullptr, 0) != 0) return false;
    db->set_flags(db, DB_DUP);
    const std::string path = std::string(AccountDataDir) + "smsutilmsg.db";
    const std::string name = std::string(CurrentAccountId) + "mdata";
    if (db->open(db, nullptr, path.c_str(), name.c_str(), DB_HASH, DB_CREATE, 0600) != 0) {
        db->close(db, 0);
        return false;
    }
    DBC* cursor = nullptr;
    db->cursor(db, nullptr, &cursor, 0);
    bool stored = cursor != nullptr;
    for (int n = 0; stored && n < count; ++n) {
        CSmsRecord record;
        record.kind = n % 2 ? CSmsRecord::KIND_RECEIVED : CSmsRecord::KIND_SENT;
        record.peer = peer.c_str();
        record.time = "2026-12-05 10:00:00";
        record.text.Format("message number %d, of a typical length\r\nfor a short message", n);
        CByteWriter writer(4096);
        record.Store(writer);
        DBT key = Entry(peer.data(), peer.size());
        DBT value = Entry(writer.Data(), writer.Length());
        stored = cursor->c_put(cursor, &key, &value, DB_KEYFIRST) == 0;
    }
    if (cursor) cursor->c_close(cursor);
    db->close(db, 0);
    return stored;
}

struct Contact {
    const char* peer;
    int stored;
};
const Contact kContacts[] = {{"20100", 100}, {"20200", 10000}, {"20300", 100000}};
const int kContactCount = static_cast<int>(sizeof kContacts / sizeof kContacts[0]);

bool FillContacts(DbCreate create)
{
    const double setUpStart = Seconds();
    for (const auto& contact : kContacts) {
        if (!FillStore(create, contact.peer, contact.stored)) {
            fprintf(stderr, "history_bench: could not store the history of %s\n", contact.peer);
            return false;
        }
    }
    printf("set-up: %d records stored in %.1f s\n", 100 + 10000 + 100000, Seconds() - setUpStart);
    return true;
}

// The best of the runs, per contact.
struct Timings {
    double best[3] = {1e30, 1e30, 1e30};
    double bestStore[3] = {1e30, 1e30, 1e30};
    int listed[3] = {};
};

void TimeContact(CMessageHistoryPopup& popup, int index, Timings& timings)
{
    double start = Seconds();
    popup.FillHistory(kContacts[index].peer, "contact", "me");
    ::UpdateWindow(popup.m_list.m_hWnd);
    timings.best[index] = std::min(timings.best[index], Seconds() - start);
    timings.listed[index] = popup.m_list.GetCount();

    std::list<CSmsRecord*> records;
    start = Seconds();
    CMessageStore::ListHistory(kContacts[index].peer, records, 100);
    timings.bestStore[index] = std::min(timings.bestStore[index], Seconds() - start);
    for (CSmsRecord* record : records) delete record;
}

// Round robin over the contacts, so that warming up and the machine's
// other load weigh on all three alike.
Timings TimeContacts(CMessageHistoryPopup& popup)
{
    Timings timings;
    for (int index = 0; index < kContactCount; ++index) popup.FillHistory(kContacts[index].peer, "contact", "me");
    for (int run = 0; run < kRuns; ++run) {
        for (int index = 0; index < kContactCount; ++index) TimeContact(popup, index, timings);
    }
    return timings;
}

// Asks a window of the GUI thread for its text every few milliseconds, as
// the system asks whether a program still answers, and keeps the longest
// wait for an answer.
struct Pinger {
    HWND window = nullptr;
    volatile bool stop = false;
    double worst = 0;
};

DWORD WINAPI Ping(void* data)
{
    auto pinger = static_cast<Pinger*>(data);
    while (!pinger->stop) {
        const double start = Seconds();
        char text[8];
        SendMessageA(pinger->window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        pinger->worst = std::max(pinger->worst, Seconds() - start);
        Sleep(2);
    }
    return 0;
}

// A log-in of the module in a host whose data directory holds the file: the
// module checks the file before anything reads it.
void TimeLogIn(const std::string& dir)
{
    CTestHost host;
    host.dataDir = dir;
    PluginScope scope(host);
    CSmsUtilPlugin* plugin = scope.plugin;
    if (!plugin) return;
    CWnd window;
    window.CreateEx(0, nullptr, "host", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0);
    Pinger pinger;
    pinger.window = window.m_hWnd;
    HANDLE thread = CreateThread(nullptr, 0, Ping, &pinger, 0, nullptr);
    const double start = Seconds();
    host.LogIn(plugin);
    const double took = Seconds() - start;
    pinger.stop = true;
    while (WaitForSingleObject(thread, 5) == WAIT_TIMEOUT) PumpDialogMessages();
    CloseHandle(thread);
    printf("log-in on the file of %d records: %.1f ms; the host's window waited at most %.1f ms for an answer "
           "(target: under 100)\n",
           100 + 10000 + 100000, took * 1000, pinger.worst * 1000);
    window.DestroyWindow();
}

void Print(const Timings& timings)
{
    printf("%-28s %16s %16s\n", "", "popup fill, ms", "of it the store");
    double fastest = 1e30, slowest = 0;
    for (int index = 0; index < kContactCount; ++index) {
        char label[64];
        snprintf(label, sizeof label, "newest %d of %d", timings.listed[index], kContacts[index].stored);
        printf("%-28s %16.2f %16.2f\n", label, timings.best[index] * 1e3, timings.bestStore[index] * 1e3);
        fastest = std::min(fastest, timings.best[index]);
        slowest = std::max(slowest, timings.best[index]);
    }
    printf("popup fill, largest to smallest: %.2f (target: 1.2 at most)\n", slowest / fastest);
}

} // namespace

int main(int argc, char** argv)
{
    HMODULE data = LoadLibraryA("hostdata.dll");
    DbCreate create = data ? reinterpret_cast<DbCreate>(GetProcAddress(data, MAKEINTRESOURCEA(1))) : nullptr;
    if (!create) {
        fprintf(stderr, "history_bench: hostdata.dll's db_create not found\n");
        return 1;
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(argc > 1 ? argv[1] : temp) + "\\";
    AccountDataDir = dir.c_str();
    CurrentAccountId = "10001";
    DeleteFileA((dir + "smsutilmsg.db").c_str());
    if (!FillContacts(create)) return 1;

    CWnd owner;
    owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 200}, nullptr, 0);
    CMessageHistoryPopup popup;
    if (!popup.Create(IDD_HISTORY_POPUP, &owner)) {
        fprintf(stderr, "history_bench: no popup from template %d\n", IDD_HISTORY_POPUP);
        return 1;
    }
    popup.ShowWindow(SW_SHOWNOACTIVATE);
    Print(TimeContacts(popup));

    popup.DestroyWindow();
    owner.DestroyWindow();
    TimeLogIn(dir);
    // The file and what the store keeps beside it: journal, snapshot.
    WIN32_FIND_DATAA found;
    HANDLE each = FindFirstFileA((dir + "smsutilmsg.db*").c_str(), &found);
    for (BOOL more = each != INVALID_HANDLE_VALUE; more; more = FindNextFileA(each, &found))
        DeleteFileA((dir + found.cFileName).c_str());
    if (each != INVALID_HANDLE_VALUE) FindClose(each);
    return 0;
}
