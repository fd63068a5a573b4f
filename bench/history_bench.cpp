// Prints the time that the history popup takes to list the newest 100
// messages of a contact with 100, 10,000 and 100,000 stored, and the ratio
// of the slowest to the fastest. Figures only: nothing here passes or fails.
#include "bench_clock.h"
#include "bench_db.h"
#include "controls/message_history_popup.h"
#include "res/resource.h"
#include "store/byte_writer.h"
#include "store/message_store.h"
#include "store/sms_record.h"

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

    const struct {
        const char* peer;
        int stored;
    } contacts[] = {{"20100", 100}, {"20200", 10000}, {"20300", 100000}};
    const double setUpStart = Seconds();
    for (const auto& contact : contacts) {
        if (!FillStore(create, contact.peer, contact.stored)) {
            fprintf(stderr, "history_bench: could not store the history of %s\n", contact.peer);
            return 1;
        }
    }
    printf("set-up: %d records stored in %.1f s\n", 100 + 10000 + 100000, Seconds() - setUpStart);

    CWnd owner;
    owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 200}, nullptr, 0);
    CMessageHistoryPopup popup;
    if (!popup.Create(IDD_HISTORY_POPUP, &owner)) {
        fprintf(stderr, "history_bench: no popup from template %d\n", IDD_HISTORY_POPUP);
        return 1;
    }
    popup.ShowWindow(SW_SHOWNOACTIVATE);

    // Round robin over the contacts, so that warming up and the machine's
    // other load weigh on all three alike.
    const int contactCount = static_cast<int>(sizeof contacts / sizeof contacts[0]);
    double best[3] = {1e30, 1e30, 1e30}, bestStore[3] = {1e30, 1e30, 1e30};
    int listed[3] = {};
    for (int index = 0; index < contactCount; ++index) popup.FillHistory(contacts[index].peer, "contact", "me");
    for (int run = 0; run < kRuns; ++run) {
        for (int index = 0; index < contactCount; ++index) {
            double start = Seconds();
            popup.FillHistory(contacts[index].peer, "contact", "me");
            ::UpdateWindow(popup.m_list.m_hWnd);
            best[index] = std::min(best[index], Seconds() - start);
            listed[index] = popup.m_list.GetCount();

            std::list<CSmsRecord*> records;
            start = Seconds();
            CMessageStore::ListHistory(contacts[index].peer, records, 100);
            bestStore[index] = std::min(bestStore[index], Seconds() - start);
            for (CSmsRecord* record : records) delete record;
        }
    }
    printf("%-28s %16s %16s\n", "", "popup fill, ms", "of it the store");
    double fastest = 1e30, slowest = 0;
    for (int index = 0; index < contactCount; ++index) {
        char label[64];
        snprintf(label, sizeof label, "newest %d of %d", listed[index], contacts[index].stored);
        printf("%-28s %16.2f %16.2f\n", label, best[index] * 1e3, bestStore[index] * 1e3);
        fastest = std::min(fastest, best[index]);
        slowest = std::max(slowest, best[index]);
    }
    printf("popup fill, largest to smallest: %.2f (target: 1.2 at most)\n", slowest / fastest);

    popup.DestroyWindow();
    owner.DestroyWindow();
    DeleteFileA((dir + "smsutilmsg.db").c_str());
    return 0;
}
