#include "message_store.h"

#include "byte_reader.h"
#include "byte_writer.h"
#include "sms_record.h"

#include <windows.h>
#include <db.h>

#include <cstring>

CString CurrentAccountId;
CString AccountDataDir;

namespace {

const int kWriterSize = 4096;
const char kSignatureKey[] = "sign";

CMessageStore::DbCreateFunction g_dbCreate;

// db_create comes from the host's data module, by number, unless one was
// handed in.
CMessageStore::DbCreateFunction DbCreate()
{
    static CMessageStore::DbCreateFunction fromDataModule = [] {
        HMODULE module = ::GetModuleHandleA("hostdata.dll");
        if (!module) module = ::LoadLibraryA("hostdata.dll");
        return module ? reinterpret_cast<CMessageStore::DbCreateFunction>(::GetProcAddress(module, MAKEINTRESOURCEA(1)))
                      : nullptr;
    }();
    return g_dbCreate ? g_dbCreate : fromDataModule;
}

DB* OpenMessageDb(const CString& name, bool duplicates)
{
    CMessageStore::DbCreateFunction create = DbCreate();
    DB* db = nullptr;
    if (!create || create(&db, nullptr, 0) != 0 || !db) return nullptr;
    if (duplicates && db->set_flags(db, DB_DUP) != 0) {
        db->close(db, 0);
        return nullptr;
    }
    const CString path = AccountDataDir + "smsutilmsg.db";
    if (db->open(db, nullptr, path, name, DB_HASH, DB_CREATE, 0600) != 0) {
        db->close(db, 0);
        return nullptr;
    }
    return db;
}

// A database handle and its one cursor, closed in the right order.
class Session {
public:
    Session(const CString& name, bool duplicates) : m_db(OpenMessageDb(name, duplicates))
    {
        if (m_db && m_db->cursor(m_db, nullptr, &m_cursor, 0) != 0) m_cursor = nullptr;
    }
    ~Session()
    {
        if (m_cursor) m_cursor->c_close(m_cursor);
        if (m_db) m_db->close(m_db, 0);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Ready() const { return m_cursor != nullptr; }
    DBC* Cursor() const { return m_cursor; }

private:
    DB* m_db;
    DBC* m_cursor = nullptr;
};

DBT Bytes(const void* data, size_t size)
{
    DBT entry;
    memset(&entry, 0, sizeof entry);
    entry.data = const_cast<void*>(data);
    entry.size = static_cast<u_int32_t>(size);
    return entry;
}

DBT Empty() { return Bytes(nullptr, 0); }

bool PutRecord(const CString& database, const char* key, CSmsRecord& record, u_int32_t placement)
{
    Session session(database, true);
    if (!session.Ready()) return false;
    CByteWriter writer(kWriterSize);
    record.Store(writer);
    DBT keyEntry = Bytes(key, strlen(key));
    DBT data = Bytes(writer.Data(), writer.Length());
    return session.Cursor()->c_put(session.Cursor(), &keyEntry, &data, placement) == 0;
}

CString HistoryName() { return CurrentAccountId + "mdata"; }
CString UnreadName() { return CurrentAccountId + "umdata"; }

} // namespace

void CMessageStore::SetDbCreate(DbCreateFunction create)
{
    g_dbCreate = create;
}

bool CMessageStore::LoadSignature(CString& signature)
{
    Session session(CurrentAccountId + "sdata", false);
    if (!session.Ready()) return false;
    DBT key = Bytes(kSignatureKey, 4);
    DBT data = Empty();
    if (session.Cursor()->c_get(session.Cursor(), &key, &data, DB_SET) != 0) return false;
    CByteReader reader(data.data, static_cast<int>(data.size));
    reader.GetString(signature);
    return true;
}

bool CMessageStore::SaveSignature(const char* signature)
{
    Session session(CurrentAccountId + "sdata", false);
    if (!session.Ready()) return false;
    CByteWriter writer(kWriterSize);
    writer.PutString(signature);
    DBT key = Bytes(kSignatureKey, 4);
    DBT data = Bytes(writer.Data(), writer.Length());
    return session.Cursor()->c_put(session.Cursor(), &key, &data, DB_KEYFIRST) == 0;
}

bool CMessageStore::AddHistory(CSmsRecord& record)
{
    return PutRecord(HistoryName(), record.peer, record, DB_KEYFIRST);
}

bool CMessageStore::AddUnread(CSmsRecord& record)
{
    const CString account = record.owner.IsEmpty() ? CurrentAccountId : record.owner;
    return PutRecord(account + "umdata", record.peer, record, DB_KEYLAST);
}

bool CMessageStore::ListHistory(const char* peer, std::list<CSmsRecord*>& records, int maximum)
{
    Session session(HistoryName(), true);
    if (!session.Ready()) return false;
    DBT key = Bytes(peer, strlen(peer));
    DBT data = Empty();
    if (session.Cursor()->c_get(session.Cursor(), &key, &data, DB_SET) != 0) return false;
    // The peer's values run newest first, so the walk stops as soon as it
    // has the newest `maximum`: a long history costs no more than a short
    // one. A maximum of 0 goes negative here and never stops the walk.
    for (;;) {
        CSmsRecord* record = new CSmsRecord;
        CByteReader reader(data.data, static_cast<int>(data.size));
        record->Load(reader);
        records.push_front(record);
        if (--maximum == 0) break;
        if (session.Cursor()->c_get(session.Cursor(), &key, &data, DB_NEXT_DUP) != 0) break;
    }
    return true;
}

bool CMessageStore::HasUnread(const char* peer)
{
    Session session(UnreadName(), true);
    if (!session.Ready()) return false;
    DBT key = Bytes(peer, strlen(peer));
    DBT data = Empty();
    return session.Cursor()->c_get(session.Cursor(), &key, &data, DB_SET) == 0;
}

bool CMessageStore::TakeNextUnread(const char* peer, CSmsRecord& record, int& more)
{
    more = 0;
    Session session(UnreadName(), true);
    if (!session.Ready()) return false;
    DBT key = Bytes(peer, strlen(peer));
    DBT data = Empty();
    DBC* cursor = session.Cursor();
    if (cursor->c_get(cursor, &key, &data, DB_SET) != 0) return false;
    CByteReader reader(data.data, static_cast<int>(data.size));
    record.Load(reader);
    // Counted before the delete: what c_count says about a deleted position
    // differs between releases (this one no longer counts the taken value).
    db_recno_t count = 0;
    if (cursor->c_count(cursor, &count, 0) == 0 && count > 1) more = 1;
    cursor->c_del(cursor, 0);
    return true;
}

bool CMessageStore::VisitUnread(CUnreadVisitor& visitor)
{
    Session session(UnreadName(), true);
    if (!session.Ready()) return false;
    DBC* cursor = session.Cursor();
    DBT key = Empty();
    DBT data = Empty();
    if (cursor->c_get(cursor, &key, &data, DB_FIRST) != 0) return false;
    do {
        CByteReader reader(data.data, static_cast<int>(data.size));
        if (visitor.HandleUnread(reader)) cursor->c_del(cursor, 0);
    } while (cursor->c_get(cursor, &key, &data, DB_NEXT_NODUP) == 0);
    return true;
}
