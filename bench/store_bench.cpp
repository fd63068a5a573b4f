// Prints, for the message store under Wine, the time of each operation
// beside a bare Berkeley DB loop that makes the same opens, cursor calls and
// closes on the same file, with 0, 10,000 and 100,000 records in it. The
// two run in turns, so that what the machine does meanwhile falls on both;
// each figure is the median of its turns. Figures only: nothing here passes
// or fails.
//   store_bench [FOLDER]
#include "bench_clock.h"
#include "bench_db.h"
#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/message_store.h"
#include "store/sms_record.h"

#include <windows.h>
#include <db.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <list>
#include <string>
#include <vector>

namespace {

DbCreate g_create;
const int kTurns = 101;

// The bare loop's open: what the store's every operation does.
struct Bare {
    DB* db = nullptr;
    DBC* cursor = nullptr;
    Bare(const std::string& name, bool duplicates, u_int32_t mode)
    {
        g_create(&db, nullptr, 0);
        if (duplicates) db->set_flags(db, DB_DUP);
        const std::string path = std::string(AccountDataDir) + "smsutilmsg.db";
        db->open(db, nullptr, path.c_str(), name.c_str(), DB_HASH, mode, 0600);
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

std::string Encoded(const CSmsRecord& record)
{
    CByteWriter writer(4096);
    const_cast<CSmsRecord&>(record).Store(writer);
    return std::string(reinterpret_cast<const char*>(writer.Data()), writer.Length());
}

void BarePut(const char* database, bool duplicates, const std::string& key, const std::string& value,
             u_int32_t placement)
{
    Bare bare(database, duplicates, DB_CREATE);
    DBT keyEntry = Entry(key.data(), key.size());
    DBT data = Entry(value.data(), value.size());
    bare.cursor->c_put(bare.cursor, &keyEntry, &data, placement);
}

class Declining : public CUnreadVisitor {
public:
    bool WantsUnread(int) override { return true; }
    bool HandleUnread(CByteReader& reader) override
    {
        CSmsRecord record;
        record.Load(reader);
        return false;
    }
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Row {
    const char* name;
    std::function<void(int)> store;
    std::function<void(int)> bare;
};

// Fills the file with `records` history records of 1,000 contacts, in one
// opening, as the file of a long-used account would hold them.
void Fill(int records)
{
    Bare fill("10001mdata", true, DB_CREATE);
    for (int i = 0; i < records; ++i) {
        const std::string peer = std::to_string(60000 + i % 1000);
        const std::string value = Encoded(MakeRecord(peer, i));
        DBT key = Entry(peer.data(), peer.size());
        DBT data = Entry(value.data(), value.size());
        fill.cursor->c_put(fill.cursor, &key, &data, DB_KEYFIRST);
    }
}

// The file and what the store keeps beside it: lock, journal, snapshot.
void RemoveStoreFiles(const std::string& file)
{
    WIN32_FIND_DATAA found;
    const std::string folder = file.substr(0, file.find_last_of('\\') + 1);
    HANDLE search = FindFirstFileA((file + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do DeleteFileA((folder + found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
}

// 1,000 senders waiting, for the walk; one sender's queue, for the takes.
void FillQueues()
{
    for (int sender = 0; sender < 1000; ++sender) {
        const std::string peer = std::to_string(50000 + sender);
        BarePut("10001umdata", true, peer, Encoded(MakeRecord(peer, sender)), DB_KEYLAST);
    }
}

// What the rows' operations put and visit; it outlives the rows, which refer to it.
struct Subjects {
    const CSmsRecord record = MakeRecord("20000", 0);
    const std::string encoded = Encoded(record);
    Declining visitor;
};

void StoreTakeNextUnread()
{
    CSmsRecord taken;
    int more = 0;
    CMessageStore::TakeNextUnread("40000", taken, more);
}

void BareTakeNextUnread()
{
    Bare bare("10001umdata", true, 0);
    DBT key = Entry("40000", 5);
    DBT value = Entry(nullptr, 0);
    if (bare.cursor->c_get(bare.cursor, &key, &value, DB_SET) != 0) return;
    db_recno_t count = 0;
    bare.cursor->c_count(bare.cursor, &count, 0);
    bare.cursor->c_del(bare.cursor, 0);
}

void BareVisitUnread(Declining& visitor)
{
    Bare bare("10001umdata", true, DB_RDONLY);
    DBT key = Entry(nullptr, 0);
    DBT value = Entry(nullptr, 0);
    // The visitor's own work is the caller's: both sides hand it the values.
    for (int result = bare.cursor->c_get(bare.cursor, &key, &value, DB_FIRST); result == 0;
         result = bare.cursor->c_get(bare.cursor, &key, &value, DB_NEXT_NODUP)) {
        CByteReader reader(value.data, static_cast<int>(value.size));
        visitor.HandleUnread(reader);
    }
}

void BareSaveSignature(int n)
{
    CByteWriter writer(4096);
    writer.PutString(std::to_string(n).c_str());
    BarePut("10001sdata", false, "sign", std::string(reinterpret_cast<const char*>(writer.Data()), writer.Length()),
            DB_KEYFIRST);
}

void StoreListHistory()
{
    std::list<CSmsRecord*> listed;
    CMessageStore::ListHistory("20000", listed, 100);
    for (CSmsRecord* each : listed) delete each;
}

void BareListHistory()
{
    Bare bare("10001mdata", true, DB_RDONLY);
    DBT key = Entry("20000", 5);
    DBT value = Entry(nullptr, 0);
    // The records as the caller gets them, on a list it frees.
    std::list<CSmsRecord*> listed;
    if (bare.cursor->c_get(bare.cursor, &key, &value, DB_SET) == 0) {
        for (int n = 0;;) {
            CSmsRecord* each = new CSmsRecord;
            CByteReader reader(value.data, static_cast<int>(value.size));
            each->Load(reader);
            listed.push_front(each);
            if (++n == 100 || bare.cursor->c_get(bare.cursor, &key, &value, DB_NEXT_DUP) != 0) break;
        }
    }
    for (CSmsRecord* each : listed) delete each;
}

std::vector<Row> Rows(Subjects* subjects)
{
    return {
        {"AddHistory", [subjects](int) { CSmsRecord copy = subjects->record; CMessageStore::AddHistory(copy); },
         [subjects](int) { BarePut("10001mdata", true, "20000", subjects->encoded, DB_KEYFIRST); }},
        // Fills the queue that the takes below empty.
        {"AddUnread", [](int) { CSmsRecord copy = MakeRecord("40000", 0); CMessageStore::AddUnread(copy); },
         [subjects](int) { BarePut("10001umdata", true, "40000", subjects->encoded, DB_KEYLAST); }},
        {"TakeNextUnread", [](int) { StoreTakeNextUnread(); }, [](int) { BareTakeNextUnread(); }},
        {"VisitUnread (1,000 senders)", [subjects](int) { CMessageStore::VisitUnread(subjects->visitor); },
         [subjects](int) { BareVisitUnread(subjects->visitor); }},
        {"SaveSignature", [](int n) { CMessageStore::SaveSignature(std::to_string(n).c_str()); },
         [](int n) { BareSaveSignature(n); }},
        {"ListHistory (newest 100)", [](int) { StoreListHistory(); }, [](int) { BareListHistory(); }},
    };
}

void MeasureRow(const Row& row)
{
    std::vector<double> store, bare;
    // Which goes first changes from turn to turn: the second of two
    // finds the file's pages where the first left them.
    for (int turn = 0; turn < kTurns; ++turn) {
        for (int side = 0; side < 2; ++side) {
            const bool storeSide = (side == 0) == (turn % 2 == 0);
            const double start = Seconds();
            (storeSide ? row.store : row.bare)(turn);
            (storeSide ? store : bare).push_back((Seconds() - start) * 1e6);
        }
    }
    const double storeUs = Median(store), bareUs = Median(bare);
    printf("  %-32s %10.1f us %10.1f us %7.2f x\n", row.name, storeUs, bareUs, storeUs / bareUs);
}

void Measure(int records, const std::string& file)
{
    RemoveStoreFiles(file);
    Fill(records);
    FillQueues();
    Subjects subjects;
    const std::vector<Row> rows = Rows(&subjects);
    WIN32_FILE_ATTRIBUTE_DATA size = {};
    GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &size);
    printf("%d records in the file (%.1f MB before the runs):\n", records, size.nFileSizeLow / 1048576.0);
    for (const Row& row : rows) MeasureRow(row);
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
    const std::string file = dir + "smsutilmsg.db";
    printf("  %-32s %13s %13s %9s\n", "operation (median of turns)", "store", "bare loop", "ratio");
    for (int records : {0, 10000, 100000}) Measure(records, file);
    printf("target: every operation within 1.10 x the bare loop\n");
    RemoveStoreFiles(file);
    return 0;
}
