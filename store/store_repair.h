// Checking a store file and saving what can be read from a damaged one.
// Works on any path, with or without a logged-in account, so that a tool can
// use it as the module does at log-in.
#pragma once
#include "afxstr.h"

class CAccountFile;

class CSmsRecord;

class CStoreRepair {
public:
    enum FileState {
        FILE_MISSING = 0, // nothing at the path
        FILE_GOOD = 1,    // the library verifies it
        FILE_DAMAGED = 2, // anything else at the path, a directory included
    };

    struct Counts {
        int history = 0;   // history values written to the new file
        int unread = 0;    // unread values written to the new file
        int orphans = 0;   // of those, values found without their key and filed under
                           // their peer
        int malformed = 0; // values that do not decode, left out
        bool signature = false;
    };

    enum Outcome {
        LOGIN_NOTHING = 0,  // no file yet
        LOGIN_GOOD = 1,     // the file verifies and stays as it is
        LOGIN_REPAIRED = 2, // moved aside and salvaged into a new file
        LOGIN_MOVED = 3,    // moved aside; nothing could be salvaged
        LOGIN_FAILED = -1,  // damaged, and it could not be moved aside
    };

    static FileState Verify(const char* path);

    // A stored value read as a record only when it is exactly one record,
    // with a peer: the record decoder itself takes anything.
    static bool DecodeValue(const void* data, int size, CSmsRecord& record);

    // Reads what the library can find in the file at `path` into a new file
    // at `newPath` (which must not exist): signature, history and unread
    // queue under their accounts. Values found without their key are filed
    // in `orphanAccount`'s history under the peer they carry, in time order
    // with the values found in place, unless the same value is there
    // already. False when nothing could be read; `path` is never written.
    static bool Salvage(const char* path, const char* newPath, const char* orphanAccount, Counts* counts);

    // At log-in: verifies AccountDataDir's file; a damaged one is moved aside
    // to "smsutilmsg.db.damaged-YYYYMMDD-HHMMSS" (never over an earlier one)
    // and salvaged into a new file at the usual place, orphans going to
    // CurrentAccountId. `movedTo` names the damaged file when it was moved.
    // A change that a process left unfinished is first made again from the
    // store's journal; after the check the journal starts afresh from a
    // snapshot of the file.
    static Outcome CheckAccountFile(CString* movedTo = nullptr, Counts* counts = nullptr);

private:
    static Outcome CheckFile(const CAccountFile& file, CString* movedTo, Counts* counts);
};
