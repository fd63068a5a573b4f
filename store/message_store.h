// The message store: signature, history and unread queue per account, in
// AccountDataDir + "smsutilmsg.db". Every operation opens the database,
// works through one cursor and closes everything again.
#pragma once
#include "afxstr.h"

#include <list>

class CByteReader;
class CSmsRecord;

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

class CMessageStore {
public:
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
