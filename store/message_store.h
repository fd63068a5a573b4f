// The message store: signature, history and unread queue per account, in
// AccountDataDir + "smsutilmsg.db". Every operation opens the database,
// works through one cursor and closes everything again, holding the account
// file's lock meanwhile (shared to read, exclusive to change) so that other
// processes on the account wait. A change is written in place, after the
// journal has it (store_journal.h).
//
// A change the file cannot take (no room on the disk, the file held by
// another process too long, the library failing) is not lost: the
// operation answers false, LastFailure says why, and the change is kept in
// memory, seen by every later read, and written before the next change or
// at WriteHeld, in its order.
#pragma once
#include "account_file.h"
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
    // Never called: it keeps the slot the host's function table has before
    // HandleUnread.
    virtual bool WantsUnread(int reserved) = 0;
    // True when the entry has been dealt with and is to be removed.
    virtual bool HandleUnread(CByteReader& reader) = 0;
};

class CMessageStore {
public:
    // Berkeley DB's db_create. The host's data module provides it as export
    // number 1; a host or tool that has the library at hand passes its own,
    // or a wrapper around it (nullptr: back to the data module's).
    typedef CAccountFile::DbCreateFunction DbCreateFunction;
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

    // Why this process's last failed operation failed.
    static StoreFailure LastFailure();
    // Writes the changes kept in memory for the current account's file;
    // true when none is left.
    static bool WriteHeld();
    // Told of every change that had to be kept in memory, once it is kept:
    // the module tells the user. Called inside store operations, so it must
    // not call the store itself.
    typedef void (*HeldObserver)(StoreFailure why, const CString& folder);
    static void SetHeldObserver(HeldObserver observer);
};
