// Prints, for the message store under Wine, the time per operation beside a
// bare Berkeley DB loop that makes the same opens, cursor calls and closes.
// Figures only: nothing here passes or fails.
#include "bench_clock.h"
#include "bench_db.h"
#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/message_store.h"
#include "store/sms_record.h"

#include <windows.h>
#include <db.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <list>
#include <string>

namespace {

DbCreate g_create;


// Microseconds per call of `body`, best of three runs of `count` calls.
double Time(int count, const std::function<void(int)>& body)
{
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const double start = Seconds();
        for (int i = 0; i < count; ++i) body(i);
        const double each = (Seconds() - start) * 1e6 / count;
        if (each < best) best = each;
    }
    return best;
}


// The bare loop's open: what the store's every operation does.
struct Bare {
    DB* db = nullptr;
    DBC* cursor = nullptr;
    explicit Bare(const std::string& name)
    {
        g_create(&db, nullptr, 0);
        db->set_flags(db, DB_DUP);
        const std::string path = std::string(AccountDataDir) + "smsutilmsg.db";
        db->open(db, nullptr, path.c_str(), name.c_str(), DB_HASH, DB_CREATE, 0600);
        db->cursor(db, nullptr, &cursor, 0);
    }
    ~Bare()
    {
        cursor->c_close(cursor);
        db->close(db, 0);
    }
};

CSmsRecord MakeRecord(const std::string& peer, int n)
{
    CSmsRecord record;
    record.kind = CSmsRecord::KIND_RECEIVED;
    record.peer = peer.c_str();
    record.time = "2026-12-05 10:00:00";
    record.text.Format("message number %d, of a typical length for a short message", n);
    return record;
}

class Declining : public CUnreadVisitor {
public:
    bool WantsUnread(int) override { return true; }
    bool HandleUnread(CByteReader& reader) override
    {
        CSmsRecord record;
        record.Load(reader);
        ++seen;
        return false;
    }
    int seen = 0;
};

void Report(const char* name, double store, double bare)
{
    printf("%-36s %10.1f us %10.1f us %+8.1f%%\n", name, store, bare, (store - bare) * 100.0 / bare);
}

} // namespace

int main(int argc, char** argv)
{
    HMODULE data = LoadLibraryA("hostdata.dll");
    g_create = data ? reinterpret_cast<DbCreate>(GetProcAddress(data, MAKEINTRESOURCEA(1))) : nullptr;
    if (!g_create) {
        fprintf(stderr, "store_bench: hostdata.dll's db_create not found\n");
        return 1;
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir = std::string(argc > 1 ? argv[1] : temp) + "\\";
    AccountDataDir = dir.c_str();
    CurrentAccountId = "10001";
    DeleteFileA((dir + "smsutilmsg.db").c_str());

    printf("%-36s %13s %13s %9s\n", "operation", "store", "bare loop", "overhead");

    // AddHistory: one open, one cursor put, the closes.
    CSmsRecord record = MakeRecord("20000", 0);
    CByteWriter encoded(4096);
    record.Store(encoded);
    const double addStore = Time(300, [&](int) { CMessageStore::AddHistory(record); });
    const double addBare = Time(300, [&](int) {
        Bare bare("10001mdata");
        DBT key = Entry("20000", 5);
        DBT value = Entry(encoded.Data(), encoded.Length());
        bare.cursor->c_put(bare.cursor, &key, &value, DB_KEYFIRST);
    });
    Report("AddHistory", addStore, addBare);

    // ListHistory: the newest 100 of 10,000 records of one peer.
    {
        Bare fill("10001mdata");
        for (int i = 0; i < 10000; ++i) {
            CSmsRecord each = MakeRecord("30000", i);
            CByteWriter writer(4096);
            each.Store(writer);
            DBT key = Entry("30000", 5);
            DBT value = Entry(writer.Data(), writer.Length());
            fill.cursor->c_put(fill.cursor, &key, &value, DB_KEYFIRST);
        }
    }
    const double listStore = Time(50, [&](int) {
        std::list<CSmsRecord*> records;
        CMessageStore::ListHistory("30000", records, 100);
        for (CSmsRecord* each : records) delete each;
    });
    const double listBare = Time(50, [&](int) {
        Bare bare("10001mdata");
        DBT key = Entry("30000", 5);
        DBT value = Entry(nullptr, 0);
        if (bare.cursor->c_get(bare.cursor, &key, &value, DB_SET) != 0) return;
        for (int n = 1; n < 100 && bare.cursor->c_get(bare.cursor, &key, &value, DB_NEXT_DUP) == 0; ++n) {}
    });
    Report("ListHistory (100 of 10,000)", listStore, listBare);

    // TakeNextUnread: the oldest of a sender's queue, then its removal.
    for (int i = 0; i < 1200; ++i) {
        CSmsRecord each = MakeRecord("40000", i);
        CMessageStore::AddUnread(each);
    }
    const double takeStore = Time(100, [&](int) {
        CSmsRecord taken;
        int more = 0;
        CMessageStore::TakeNextUnread("40000", taken, more);
    });
    const double takeBare = Time(100, [&](int) {
        Bare bare("10001umdata");
        DBT key = Entry("40000", 5);
        DBT value = Entry(nullptr, 0);
        if (bare.cursor->c_get(bare.cursor, &key, &value, DB_SET) != 0) return;
        bare.cursor->c_del(bare.cursor, 0);
        db_recno_t count = 0;
        bare.cursor->c_count(bare.cursor, &count, 0);
    });
    Report("TakeNextUnread", takeStore, takeBare);

    // VisitUnread over 1,000 senders, none taken: every walk is the same.
    {
        CurrentAccountId = "10002";
        for (int sender = 0; sender < 1000; ++sender) {
            CSmsRecord each = MakeRecord(std::to_string(50000 + sender), sender);
            CMessageStore::AddUnread(each);
        }
    }
    Declining visitor;
    const double visitStore = Time(20, [&](int) { CMessageStore::VisitUnread(visitor); });
    const double visitBare = Time(20, [&](int) {
        Bare bare("10002umdata");
        DBT key = Entry(nullptr, 0);
        DBT value = Entry(nullptr, 0);
        // The visitor's own work is the caller's: both sides hand it the values.
        if (bare.cursor->c_get(bare.cursor, &key, &value, DB_FIRST) != 0) return;
        do {
            CByteReader reader(value.data, static_cast<int>(value.size));
            visitor.HandleUnread(reader);
        } while (bare.cursor->c_get(bare.cursor, &key, &value, DB_NEXT_NODUP) == 0);
    });
    Report("VisitUnread (1,000 senders)", visitStore, visitBare);
    printf("target: the store's own cost within 10%% of the bare loop\n");

    DeleteFileA((dir + "smsutilmsg.db").c_str());
    return 0;
}
