#include "message_store.h"

#include "byte_reader.h"
#include "byte_writer.h"
#include "sms_record.h"
#include "store_file.h"

#include <windows.h>
#include <db.h>

#include <cstring>

CString CurrentAccountId;
CString AccountDataDir;

namespace {

const int kWriterSize = 4096;
const char kSignatureKey[] = "sign";

DB* OpenMessageDb(const CString& path, const CString& name, bool duplicates)
{
    store_file::DbCreateFunction create = store_file::DbCreate();
    DB* db = nullptr;
    if (!create || create(&db, nullptr, 0) != 0 || !db) return nullptr;
    if (duplicates && db->set_flags(db, DB_DUP) != 0) {
        db->close(db, 0);
        return nullptr;
    }
    if (db->open(db, nullptr, path, name, DB_HASH, DB_CREATE, 0600) != 0) {
        db->close(db, 0);
        return nullptr;
    }
    return db;
}

// A database handle and its one cursor, closed in the right order.
class Session {
public:
    Session(const CString& path, const CString& name, bool duplicates) : m_db(OpenMessageDb(path, name, duplicates))
    {
        if (m_db && m_db->cursor(m_db, nullptr, &m_cursor, 0) != 0) m_cursor = nullptr;
    }
    ~Session() { Close(); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Ready() const { return m_cursor != nullptr; }
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
    DB* m_db;
    DBC* m_cursor = nullptr;
};

// The change under way in this process, if any: operations that run inside
// it (the unread walk's visitor reads and writes the store) work on its copy,
// and it puts their changes in place with its own.
struct ActiveChange {
    CString path;
    CString work;
    int depth = 0;
    bool changedInside = false;
};
ActiveChange g_active;

bool InsideChange(const CString& path) { return g_active.depth > 0 && g_active.path == path; }

// Reads work on the file itself, under the lock that keeps other
// processes' changes out for the duration.
class Reading {
public:
    Reading(const CString& name, bool duplicates)
        : m_lock(store_file::AccountFilePath()),
          m_session(InsideChange(store_file::AccountFilePath()) ? g_active.work : store_file::AccountFilePath(), name,
                    duplicates)
    {
    }
    bool Ready() const { return m_session.Ready(); }
    DBC* Cursor() const { return m_session.Cursor(); }

private:
    store_file::CFileLock m_lock;
    Session m_session;
};

// A change is made on a copy of the file, which takes the file's place in
// one rename once the library has written it out. The library writes a
// change's pages one after the other when it closes, and one change can
// move values that were there before from page to page (a bucket split,
// a key's values moving off their page); a process killed between two of
// those writes would lose them. Killed at any moment, this leaves either the
// file as it was or the file with the change.
class Change {
public:
    Change(const CString& name, bool duplicates)
        : m_strPath(store_file::AccountFilePath()), m_strWork(m_strPath + ".new"), m_lock(m_strPath),
          m_bInside(InsideChange(m_strPath)), m_bCopied(m_bInside || Copy()), m_session(m_strWork, name, duplicates)
    {
        if (m_bInside) {
            ++g_active.depth;
        } else if (m_bCopied) {
            g_active.path = m_strPath;
            g_active.work = m_strWork;
            g_active.depth = 1;
            g_active.changedInside = false;
        }
    }
    ~Change()
    {
        m_session.Close();
        if (m_bCopied) --g_active.depth;
        if (!m_bInside && !m_bCommitted) ::DeleteFileA(m_strWork);
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

    bool Ready() const { return m_bCopied && m_session.Ready(); }
    DBC* Cursor() const { return m_session.Cursor(); }
    // Puts the changed copy in the file's place; false leaves the file as
    // it was.
    bool Commit()
    {
        if (!m_bCopied || !m_session.Close()) return false;
        if (m_bInside) {
            // The enclosing change puts it in place.
            g_active.changedInside = true;
            return true;
        }
        m_bCommitted = ::MoveFileExA(m_strWork, m_strPath, MOVEFILE_REPLACE_EXISTING) != 0;
        return m_bCommitted;
    }
    bool ChangedInside() const { return !m_bInside && g_active.changedInside; }

private:
    bool Copy()
    {
        const DWORD attributes = ::GetFileAttributesA(m_strPath);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            // No file yet: the library makes one. A copy left by a process
            // that was killed is not it.
            ::DeleteFileA(m_strWork);
            return true;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
        return ::CopyFileA(m_strPath, m_strWork, FALSE) != 0;
    }

    CString m_strPath;
    CString m_strWork;
    store_file::CFileLock m_lock;
    bool m_bInside;
    bool m_bCopied;
    Session m_session;
    bool m_bCommitted = false;
};

// A batch is a change without a database of its own: the changes made
// while it lives join it, and its copy takes the file's place once at its
// end, when any of them changed something.
class Batch {
public:
    Batch() : m_strPath(store_file::AccountFilePath()), m_strWork(m_strPath + ".new"), m_lock(m_strPath)
    {
        if (InsideChange(m_strPath)) return;
        const DWORD attributes = ::GetFileAttributesA(m_strPath);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
        if (attributes == INVALID_FILE_ATTRIBUTES) ::DeleteFileA(m_strWork);
        else if (!::CopyFileA(m_strPath, m_strWork, FALSE)) return;
        g_active.path = m_strPath;
        g_active.work = m_strWork;
        g_active.depth = 1;
        g_active.changedInside = false;
        m_bOwner = true;
    }
    ~Batch()
    {
        if (!m_bOwner) return;
        g_active.depth = 0;
        if (!g_active.changedInside || !::MoveFileExA(m_strWork, m_strPath, MOVEFILE_REPLACE_EXISTING))
            ::DeleteFileA(m_strWork);
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

private:
    CString m_strPath;
    CString m_strWork;
    store_file::CFileLock m_lock;
    bool m_bOwner = false;
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
    Change change(database, true);
    if (!change.Ready()) return false;
    CByteWriter writer(kWriterSize);
    record.Store(writer);
    DBT keyEntry = Bytes(key, strlen(key));
    DBT data = Bytes(writer.Data(), writer.Length());
    return change.Cursor()->c_put(change.Cursor(), &keyEntry, &data, placement) == 0 && change.Commit();
}

CString HistoryName() { return CurrentAccountId + "mdata"; }
CString UnreadName() { return CurrentAccountId + "umdata"; }

} // namespace

void CMessageStore::SetDbCreate(DbCreateFunction create) { store_file::SetDbCreate(create); }

CStoreBatch::CStoreBatch()
{
    // Without an account there is no file of its own to work on.
    if (!CurrentAccountId.IsEmpty() && !AccountDataDir.IsEmpty()) m_pBatch = new Batch;
}

CStoreBatch::~CStoreBatch() { delete static_cast<Batch*>(m_pBatch); }

bool CMessageStore::LoadSignature(CString& signature)
{
    Reading session(CurrentAccountId + "sdata", false);
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
    Change change(CurrentAccountId + "sdata", false);
    if (!change.Ready()) return false;
    CByteWriter writer(kWriterSize);
    writer.PutString(signature);
    DBT key = Bytes(kSignatureKey, 4);
    DBT data = Bytes(writer.Data(), writer.Length());
    return change.Cursor()->c_put(change.Cursor(), &key, &data, DB_KEYFIRST) == 0 && change.Commit();
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
    Reading session(HistoryName(), true);
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
    Reading session(UnreadName(), true);
    if (!session.Ready()) return false;
    DBT key = Bytes(peer, strlen(peer));
    DBT data = Empty();
    return session.Cursor()->c_get(session.Cursor(), &key, &data, DB_SET) == 0;
}

bool CMessageStore::TakeNextUnread(const char* peer, CSmsRecord& record, int& more)
{
    more = 0;
    Change change(UnreadName(), true);
    if (!change.Ready()) return false;
    DBT key = Bytes(peer, strlen(peer));
    DBT data = Empty();
    DBC* cursor = change.Cursor();
    if (cursor->c_get(cursor, &key, &data, DB_SET) != 0) return false;
    CByteReader reader(data.data, static_cast<int>(data.size));
    record.Load(reader);
    // Counted before the delete: what c_count says about a deleted position
    // differs between releases (this one no longer counts the taken value).
    db_recno_t count = 0;
    if (cursor->c_count(cursor, &count, 0) == 0 && count > 1) more = 1;
    cursor->c_del(cursor, 0);
    // The record was read: it is taken even if the file could not be
    // written out, and is then offered again later.
    change.Commit();
    return true;
}

bool CMessageStore::VisitUnread(CUnreadVisitor& visitor)
{
    Change change(UnreadName(), true);
    if (!change.Ready()) return false;
    DBC* cursor = change.Cursor();
    DBT key = Empty();
    DBT data = Empty();
    if (cursor->c_get(cursor, &key, &data, DB_FIRST) != 0) return false;
    bool removed = false;
    do {
        CByteReader reader(data.data, static_cast<int>(data.size));
        if (visitor.HandleUnread(reader)) {
            cursor->c_del(cursor, 0);
            removed = true;
        }
    } while (cursor->c_get(cursor, &key, &data, DB_NEXT_NODUP) == 0);
    if (removed || change.ChangedInside()) change.Commit();
    return true;
}
