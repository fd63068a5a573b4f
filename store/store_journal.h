// The store's own journal: each change is appended to
// "smsutilmsg.db.journal" before the library writes it into the file, and
// marked when the library is done. The library writes a change's pages one
// after another, and a bucket that splits moves values that were there
// before; a process ended between two of those writes leaves a file that
// has lost them. The journal starts from a snapshot of the file
// ("smsutilmsg.db.snapshot-N", taken at log-in and when the journal grows
// long), so the file can always be made again: the snapshot, then every
// change in the journal that was not given up, in order.
//
// Layout: a header ("SMSJRNL2", the snapshot's number, where its changes
// start, flags, CRC-32), then per change its length, its CRC-32, its bytes
// (CStoreChange::Encode) and, once the library is done, one status byte.
//
// Every call is made holding the account file's exclusive lock.
#pragma once
#include "account_file.h"
#include "store_change.h"

#include <string>

class CStoreJournal {
public:
    enum Status {
        STATUS_DONE = 'D',    // the file holds the change
        STATUS_ABORTED = 'A', // the library was never asked: the file is as before
        STATUS_TORN = 'R',    // the library failed part way: the file must be made again
    };

    // `journal` is the account file's journal handle, locked by the caller.
    CStoreJournal(const CAccountFile& file, HANDLE journal);
    CStoreJournal(const CStoreJournal&) = delete;
    CStoreJournal& operator=(const CStoreJournal&) = delete;

    // Opens the journal for a change, starting one (with its snapshot) where
    // there is none, and making the file again first when another process
    // was ended in the middle of a change. False when it cannot be written.
    bool Open();
    // Appends the change whole, or nothing.
    bool Append(const CStoreChange& change);
    // Marks the appended change. A journal grown long is started again from
    // a new snapshot.
    void End(Status status);

    enum Recovery {
        RECOVERY_NONE = 0,    // every change ended: the file is what it says
        RECOVERY_REBUILT = 1, // the file was made again from snapshot and journal
        RECOVERY_FAILED = -1, // it needed making again and could not be
    };
    // Makes the file again where a change did not end (the log-in check).
    static Recovery Recover(const CAccountFile& file, HANDLE journal);
    // Whether the journal holds changes since its snapshot (or is no
    // journal at all): only then does a new snapshot differ from the old.
    static bool HasChanges(HANDLE journal);
    // A new snapshot of the file and an empty journal behind it; false
    // leaves the old pair in place.
    static bool Checkpoint(const CAccountFile& file, HANDLE journal);

private:
    const CAccountFile& m_file;
    HANDLE m_hJournal;
    unsigned long long m_nGeneration = 0;
    long long m_nEnd = 0;
    long long m_nAppended = -1;
};
