#include "message_store.h"

#include "byte_reader.h"
#include "byte_writer.h"
#include "db_entry.h"
#include "sms_record.h"
#include "store_journal.h"

#include <windows.h>
#include <db.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

CString CurrentAccountId;
CString AccountDataDir;

namespace {

const int kWriterSize = 4096;
const char kSignatureKey[] = "sign";

typedef std::vector<std::string> Values;

StoreFailure g_lastFailure = STORE_OK;
CMessageStore::HeldObserver g_heldObserver;
// The changes a file could not take yet, per file, in their order.
std::map<std::string, std::vector<CStoreChange>> g_held;

bool Failed(StoreFailure why)
{
    g_lastFailure = why;
    return false;
}

DBT Empty() { return DbEntry(nullptr, 0); }

std::string ToBytes(const DBT& entry) { return std::string(static_cast<const char*>(entry.data), entry.size); }

// A database handle and its one cursor, closed in the right order. A reader
// never creates: a file or database that is not there holds nothing, and a
// read must not write (on a full disk the library would wait for ever).
class Session {
public:
    Session() = default;
    ~Session() { Close(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // DB_RDONLY to read, 0 to change what is there, DB_CREATE to add.
    bool Open(const CString& path, const CString& name, bool duplicates, u_int32_t mode)
    {
        CAccountFile::DbCreateFunction createDb = CAccountFile::DbCreate();
        if (!createDb || createDb(&m_db, nullptr, 0) != 0 || !m_db) return false;
        CAccountFile::Quiet(m_db);
        if ((duplicates && m_db->set_flags(m_db, DB_DUP) != 0) ||
            m_db->open(m_db, nullptr, path, name, DB_HASH, mode, 0600) != 0 ||
            m_db->cursor(m_db, nullptr, &m_cursor, 0) != 0) {
            m_cursor = nullptr;
            Close();
            return false;
        }
        return true;
    }
    DBC* Cursor() const { return m_cursor; }
    // Whether the file was written out: a change counts only then.
    bool Close()
    {
        if (m_cursor) m_cursor->c_close(m_cursor);
        m_cursor = nullptr;
        const bool written = m_db && m_db->close(m_db, 0) == 0;
        m_db = nullptr;
        return written;
    }

private:
    DB* m_db = nullptr;
    DBC* m_cursor = nullptr;
};

// A read: the shared lock, then the database.
class Reading {
public:
    Reading(const CAccountFile& file, const CString& name, bool duplicates) : m_lock(file, false)
    {
        if (!m_lock.Held())
            Failed(m_lock.Failure());
        else
            m_bReady = m_session.Open(file.Path(), name, duplicates, DB_RDONLY);
    }
    bool Ready() const { return m_bReady; }
    DBC* Cursor() const { return m_session.Cursor(); }

private:
    CAccountFile::Lock m_lock;
    Session m_session;
    bool m_bReady = false;
};

// A change: the exclusive lock, room for it and the journal. The journal
// has each change before the library is asked for anything: even opening
// a database that is not there yet writes to the file.
class Writing {
public:
    Writing(const CAccountFile& file, size_t bytes, DWORD timeLimitMs = CAccountFile::kLockTimeLimitMs)
        : m_file(file), m_lock(file, true, timeLimitMs), m_journal(file, m_lock.Journal())
    {
        if (!m_lock.Held())
            m_failure = m_lock.Failure();
        else if (!file.HasRoomFor(2 * bytes))
            m_failure = STORE_NO_SPACE;
        else if (!m_journal.Open())
            m_failure = STORE_FAILED;
    }
    bool Ready() const { return m_failure == STORE_OK; }
    StoreFailure Failure() const { return m_failure; }

    // A database that is there, for a change that depends on what it holds.
    DBC* OpenExisting(const CString& database, bool duplicates)
    {
        return m_session.Open(m_file.Path(), database, duplicates, 0) ? m_session.Cursor() : nullptr;
    }

    // Journals the change, then makes it in the database opened before or,
    // without one, in its own (created when missing).
    bool Make(const CStoreChange& change)
    {
        if (!m_journal.Append(change)) {
            m_failure = STORE_FAILED;
            return false;
        }
        const bool opened =
            m_session.Cursor() || m_session.Open(m_file.Path(), change.database.c_str(), change.duplicates, DB_CREATE);
        const bool made = opened && change.Apply(m_session.Cursor());
        // Written out even when the change failed: the library may have
        // changed pages on the way.
        const bool written = m_session.Close();
        m_journal.End(made && written ? CStoreJournal::STATUS_DONE : CStoreJournal::STATUS_TORN);
        if (!made || !written) m_failure = STORE_FAILED;
        return made && written;
    }

private:
    const CAccountFile& m_file;
    CAccountFile::Lock m_lock;
    CStoreJournal m_journal;
    Session m_session;
    StoreFailure m_failure = STORE_OK;
};

bool WriteChange(const CAccountFile& file, const CStoreChange& change,
                 DWORD timeLimitMs = CAccountFile::kLockTimeLimitMs)
{
    Writing writing(file, change.key.size() + change.value.size(), timeLimitMs);
    if (writing.Ready() && writing.Make(change)) return true;
    return Failed(writing.Failure());
}

// Writes the file's held changes in order; true when none is left.
bool WriteHeldOf(const CAccountFile& file)
{
    auto found = g_held.find((const char*)file.Path());
    if (found == g_held.end()) return true;
    std::vector<CStoreChange>& held = found->second;
    size_t written = 0;
    while (written < held.size() && WriteChange(file, held[written], CAccountFile::kRetryTimeLimitMs)) ++written;
    held.erase(held.begin(), held.begin() + written);
    if (!held.empty()) return false;
    g_held.erase(found);
    return true;
}

// Writes the change after what is held before it; what cannot be written
// is held.
bool Commit(const CStoreChange& change)
{
    const CAccountFile file = CAccountFile::Current();
    const bool nothingHeld = g_held.find((const char*)file.Path()) == g_held.end();
    if (nothingHeld && WriteChange(file, change)) return true;
    g_held[(const char*)file.Path()].push_back(change);
    if (!nothingHeld && WriteHeldOf(file)) return true;
    if (g_heldObserver) g_heldObserver(g_lastFailure, file.Directory());
    return false;
}

CStoreChange MakeChange(CStoreChange::Kind kind, const CString& database, bool duplicates, std::string key,
                        std::string value)
{
    CStoreChange change;
    change.kind = kind;
    change.duplicates = duplicates;
    change.database = (const char*)database;
    change.key = std::move(key);
    change.value = std::move(value);
    return change;
}

std::string Encoded(CSmsRecord& record)
{
    CByteWriter writer(kWriterSize);
    record.Store(writer);
    return std::string(reinterpret_cast<const char*>(writer.Data()), writer.Length());
}

// The held changes of the current file to `database`, or nullptr.
const std::vector<CStoreChange>* HeldFor(const CAccountFile& file, const CString& database)
{
    auto found = g_held.find((const char*)file.Path());
    if (found == g_held.end()) return nullptr;
    for (const CStoreChange& change : found->second)
        if (change.database == (const char*)database) return &found->second;
    return nullptr;
}

// A key's values as the file and then the held changes make them.
Values ValuesOf(const CAccountFile& file, const CString& database, bool duplicates, const std::string& key)
{
    Values values;
    Reading session(file, database, duplicates);
    if (session.Ready()) {
        DBT keyEntry = DbEntry(key.data(), key.size());
        DBT data = Empty();
        for (int result = session.Cursor()->c_get(session.Cursor(), &keyEntry, &data, DB_SET); result == 0;
             result = session.Cursor()->c_get(session.Cursor(), &keyEntry, &data, DB_NEXT_DUP))
            values.push_back(ToBytes(data));
    }
    if (const std::vector<CStoreChange>* held = HeldFor(file, database))
        for (const CStoreChange& change : *held)
            if (change.database == (const char*)database && change.key == key) change.ApplyTo(values);
    return values;
}

CSmsRecord* Decoded(const std::string& value)
{
    CSmsRecord* record = new CSmsRecord;
    CByteReader reader(value.data(), static_cast<int>(value.size()));
    record->Load(reader);
    return record;
}

CString HistoryName() { return CAccountFile::HistoryName(CurrentAccountId); }
CString UnreadName() { return CAccountFile::UnreadName(CurrentAccountId); }
CString SignatureName() { return CAccountFile::SignatureName(CurrentAccountId); }

// Each sender's oldest unread value, in the library's key order, then the
// senders that only held changes have. Kept in one buffer: a walk over a
// thousand senders would otherwise cost two thousand allocations.
class FirstUnread {
public:
    explicit FirstUnread(const CAccountFile& file)
    {
        {
            Reading session(file, UnreadName(), true);
            DBT key = Empty();
            DBT data = Empty();
            if (session.Ready())
                for (int result = session.Cursor()->c_get(session.Cursor(), &key, &data, DB_FIRST); result == 0;
                     result = session.Cursor()->c_get(session.Cursor(), &key, &data, DB_NEXT_NODUP))
                    Add(key.data, key.size, data.data, data.size);
        }
        if (const std::vector<CStoreChange>* held = HeldFor(file, UnreadName())) Overlay(file, *held);
    }
    size_t Count() const { return m_entries.size(); }
    std::string Key(size_t i) const { return m_bytes.substr(m_entries[i].key, m_entries[i].keySize); }
    const char* Value(size_t i) const { return m_bytes.data() + m_entries[i].value; }
    size_t ValueSize(size_t i) const { return m_entries[i].valueSize; }

private:
    void Add(const void* key, size_t keySize, const void* value, size_t valueSize)
    {
        m_entries.push_back({m_bytes.size(), keySize, m_bytes.size() + keySize, valueSize});
        m_bytes.append(static_cast<const char*>(key), keySize);
        m_bytes.append(static_cast<const char*>(value), valueSize);
    }
    // The held changes decide each sender they touch, and add senders.
    void Overlay(const CAccountFile& file, const std::vector<CStoreChange>& held)
    {
        std::vector<std::string> keys;
        for (size_t i = 0; i < Count(); ++i) keys.push_back(Key(i));
        for (const CStoreChange& change : held)
            if (change.database == (const char*)UnreadName() &&
                std::find(keys.begin(), keys.end(), change.key) == keys.end())
                keys.push_back(change.key);
        m_entries.clear();
        m_bytes.clear();
        for (const std::string& key : keys) {
            const Values values = ValuesOf(file, UnreadName(), true, key);
            if (!values.empty()) Add(key.data(), key.size(), values.front().data(), values.front().size());
        }
    }

    struct Entry {
        size_t key, keySize, value, valueSize;
    };
    std::string m_bytes;
    std::vector<Entry> m_entries;
};

} // namespace

void CMessageStore::SetDbCreate(DbCreateFunction create) { CAccountFile::SetDbCreate(create); }

StoreFailure CMessageStore::LastFailure() { return g_lastFailure; }

bool CMessageStore::WriteHeld()
{
    CAccountFile::ThreadTurn turn;
    return WriteHeldOf(CAccountFile::Current());
}

void CMessageStore::SetHeldObserver(HeldObserver observer) { g_heldObserver = observer; }

bool CMessageStore::LoadSignature(CString& signature)
{
    CAccountFile::ThreadTurn turn;
    const Values values = ValuesOf(CAccountFile::Current(), SignatureName(), false, kSignatureKey);
    if (values.empty()) return false;
    CByteReader reader(values.front().data(), static_cast<int>(values.front().size()));
    reader.GetString(signature);
    return true;
}

bool CMessageStore::SaveSignature(const char* signature)
{
    CAccountFile::ThreadTurn turn;
    CByteWriter writer(kWriterSize);
    writer.PutString(signature);
    std::string value(reinterpret_cast<const char*>(writer.Data()), writer.Length());
    return Commit(MakeChange(CStoreChange::PUT_FIRST, SignatureName(), false, kSignatureKey, std::move(value)));
}

bool CMessageStore::AddHistory(CSmsRecord& record)
{
    CAccountFile::ThreadTurn turn;
    return Commit(MakeChange(CStoreChange::PUT_FIRST, HistoryName(), true, (const char*)record.peer, Encoded(record)));
}

bool CMessageStore::AddUnread(CSmsRecord& record)
{
    CAccountFile::ThreadTurn turn;
    const CString account = record.owner.IsEmpty() ? CurrentAccountId : record.owner;
    return Commit(MakeChange(CStoreChange::PUT_LAST, CAccountFile::UnreadName(account), true, (const char*)record.peer,
                             Encoded(record)));
}

bool CMessageStore::ListHistory(const char* peer, std::list<CSmsRecord*>& records, int maximum)
{
    CAccountFile::ThreadTurn turn;
    const CAccountFile file = CAccountFile::Current();
    bool found = false;
    {
        Reading session(file, HistoryName(), true);
        DBT key = DbEntry(peer, strlen(peer));
        DBT data = Empty();
        // The peer's values run newest first, so the walk stops as soon as
        // it has the newest `maximum`: a long history costs no more than a
        // short one. A maximum of 0 goes negative here and never stops it.
        found = session.Ready() && session.Cursor()->c_get(session.Cursor(), &key, &data, DB_SET) == 0;
        for (int left = maximum; found;) {
            records.push_front(Decoded(ToBytes(data)));
            if (--left == 0) break;
            if (session.Cursor()->c_get(session.Cursor(), &key, &data, DB_NEXT_DUP) != 0) break;
        }
    }
    // History is only ever added to: what is held is newer than the file.
    if (const std::vector<CStoreChange>* held = HeldFor(file, HistoryName())) {
        for (const CStoreChange& change : *held) {
            if (change.database != (const char*)HistoryName() || change.key != peer) continue;
            records.push_back(Decoded(change.value));
            found = true;
        }
        while (maximum > 0 && static_cast<int>(records.size()) > maximum) {
            delete records.front();
            records.pop_front();
        }
    }
    return found;
}

bool CMessageStore::HasUnread(const char* peer)
{
    CAccountFile::ThreadTurn turn;
    const CAccountFile file = CAccountFile::Current();
    if (HeldFor(file, UnreadName())) return !ValuesOf(file, UnreadName(), true, peer).empty();
    Reading session(file, UnreadName(), true);
    if (!session.Ready()) return false;
    DBT key = DbEntry(peer, strlen(peer));
    DBT data = Empty();
    return session.Cursor()->c_get(session.Cursor(), &key, &data, DB_SET) == 0;
}

bool CMessageStore::TakeNextUnread(const char* peer, CSmsRecord& record, int& more)
{
    CAccountFile::ThreadTurn turn;
    more = 0;
    const CAccountFile file = CAccountFile::Current();
    if (!HeldFor(file, UnreadName())) {
        // The usual case: read, count and remove in one opening.
        CStoreChange removal;
        bool taken = false;
        {
            Writing writing(file, 0);
            DBC* cursor = writing.Ready() ? writing.OpenExisting(UnreadName(), true) : nullptr;
            if (writing.Ready() && !cursor) return false; // no queue: nothing to take
            if (cursor) {
                DBT key = DbEntry(peer, strlen(peer));
                DBT data = Empty();
                if (cursor->c_get(cursor, &key, &data, DB_SET) != 0) return false;
                removal = MakeChange(CStoreChange::REMOVE, UnreadName(), true, peer, ToBytes(data));
                CByteReader reader(removal.value.data(), static_cast<int>(removal.value.size()));
                record.Load(reader);
                db_recno_t count = 0;
                if (cursor->c_count(cursor, &count, 0) == 0 && count > 1) more = 1;
                taken = true;
                if (writing.Make(removal)) return true;
                Failed(writing.Failure());
            }
        }
        // The record was read and is the user's now: its removal waits.
        if (taken) {
            Commit(removal);
            return true;
        }
    }
    const Values values = ValuesOf(file, UnreadName(), true, peer);
    if (values.empty()) return false;
    CByteReader reader(values.front().data(), static_cast<int>(values.front().size()));
    record.Load(reader);
    if (values.size() > 1) more = 1;
    Commit(MakeChange(CStoreChange::REMOVE, UnreadName(), true, peer, values.front()));
    return true;
}

bool CMessageStore::VisitUnread(CUnreadVisitor& visitor)
{
    CAccountFile::ThreadTurn turn;
    // Read first and let go of the file: the visitor shows dialogs and
    // writes the history, each its own change.
    const FirstUnread firsts(CAccountFile::Current());
    if (firsts.Count() == 0) return false;
    for (size_t i = 0; i < firsts.Count(); ++i) {
        CByteReader reader(firsts.Value(i), static_cast<int>(firsts.ValueSize(i)));
        if (visitor.HandleUnread(reader))
            Commit(MakeChange(CStoreChange::REMOVE, UnreadName(), true, firsts.Key(i),
                              std::string(firsts.Value(i), firsts.ValueSize(i))));
    }
    return true;
}
