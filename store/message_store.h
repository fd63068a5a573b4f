// The message store: signature, history and unread queue per account, in
// AccountDataDir + "smsutilmsg.db". Every operation opens the database,
// works through one cursor and closes everything again, holding a lock on
// "smsutilmsg.db.lock" meanwhile so that other processes on the account wait;
// a change is written to a copy that then replaces the file in one rename.
#pragma once
#include "afxstr.h"

#include <list>

class CByteReader;
class CSmsRecord;
struct __db;
struct __db_env;

// The logged-in account's number ("%u"), empty until the host reports it.
extern CString CurrentAccountId;
// The account's data directory as the host reports it; the file name is
// appended without a separator.
extern CString AccountDataDir;

// Hands out the unread walk's entries.
class CUnreadVisitor {
public:
    virtual bool WantsUnread(int reserved) = 0;
    // True when the entry has been dealt with and is to be removed.
    virtual bool HandleUnread(CByteReader& reader) = 0;
};

// While one lives, this process's changes to the account's file are made on
// one copy, which takes the file's place when it ends: a burst of records
// costs one copy of the file instead of one each. A process killed meanwhile
// leaves the file as it was before the batch.
class CStoreBatch {
public:
    CStoreBatch();
    ~CStoreBatch();
    CStoreBatch(const CStoreBatch&) = delete;
    CStoreBatch& operator=(const CStoreBatch&) = delete;

private:
    void* m_pBatch = nullptr;
};

class CMessageStore {
public:
    // Berkeley DB's db_create. The host's data module provides it as export
    // number 1; a host or tool that has the library at hand passes its own,
    // or a wrapper around it (nullptr: back to the data module's).
    typedef int (*DbCreateFunction)(struct __db** db, struct __db_env* environment, unsigned int flags);
    static void SetDbCreate(DbCreateFunction create);

    // False (and `signature` untouched) when none is stored.
    static bool LoadSignature(CString& signature);
    static bool SaveSignature(const char* signature);
    // Newest first per peer.
    static bool AddHistory(CSmsRecord& record);
    // The newest `maximum` records of `peer` (0: all), oldest at the front;
    // the caller owns them.
    static bool ListHistory(const char* peer, std::list<CSmsRecord*>& records, int maximum);
    // Oldest first per sender, in the queue of the record's owner or else of
    // the current account.
    static bool AddUnread(CSmsRecord& record);
    static bool HasUnread(const char* peer);
    static bool TakeNextUnread(const char* peer, CSmsRecord& record, int& more);
    // Offers each sender's oldest unread record once; false when the queue
    // is empty or cannot be read.
    static bool VisitUnread(CUnreadVisitor& visitor);
};
