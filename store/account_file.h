// The account's store file and everything that goes with it on disk: its
// path, the names of the databases inside it, the lock that keeps processes
// on one account apart, and the room left for a change. The store, its
// journal, the log-in check and the history tool all reach the file through
// this one object.
#pragma once
#include "afxstr.h"

#include <windows.h>

#include <string>

struct __db;
struct __db_env;

// Why the last store operation of this process failed.
enum StoreFailure {
    STORE_OK = 0,
    STORE_NO_SPACE = 1, // too little room left where the file lives: nothing was tried
    STORE_BUSY = 2,     // another process held the file beyond the time limit
    STORE_FAILED = 3,   // the library, the journal or the file itself failed
};

class CAccountFile {
public:
    typedef int (*DbCreateFunction)(struct __db** db, struct __db_env* environment, unsigned int flags);

    // "smsutilmsg.db" in `directory`, which is taken as the host gives it:
    // the name is appended without a separator.
    explicit CAccountFile(const CString& directory);
    static bool Exists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

    // The logged-in account's, in AccountDataDir.
    static CAccountFile Current();
    // A store file of any name (a tool's argument).
    static CAccountFile AtPath(const CString& path);

    const CString& Directory() const { return m_strDirectory; }
    const CString& Path() const { return m_strPath; }
    CString JournalPath() const { return m_strPath + ".journal"; }

    // The names end in these after the account's number (none for an
    // empty account).
    static constexpr const char* kSignatureSuffix = "sdata";
    static constexpr const char* kHistorySuffix = "mdata";
    static constexpr const char* kUnreadSuffix = "umdata";
    static CString SignatureName(const CString& account) { return account + kSignatureSuffix; }
    static CString HistoryName(const CString& account) { return account + kHistorySuffix; }
    static CString UnreadName(const CString& account) { return account + kUnreadSuffix; }

    // The db_create handed in, else the host's data module's export number
    // 1; nullptr when neither is there.
    static DbCreateFunction DbCreate();
    static void SetDbCreate(DbCreateFunction create);
    // The library reports what it finds wrong on the standard error stream
    // unless told otherwise; the store answers with results instead.
    static void Quiet(struct __db* db);

    // Whether the file system holding the file has room for a change of
    // `bytes` and the pages the library may add for it. The library, given
    // a page it cannot write, retries for ever: it is never asked to.
    bool HasRoomFor(size_t bytes) const;

    // How long an operation waits for another process's hold on the file
    // before it gives up with STORE_BUSY: the GUI thread waits here. A
    // change takes milliseconds; a hold this long is a process stuck or a
    // tool copying a large file.
    static const DWORD kLockTimeLimitMs = 1000;
    // Changes kept in memory are tried again with little patience: the
    // file was busy a moment ago, and they wait in memory meanwhile.
    static const DWORD kRetryTimeLimitMs = 50;

    // The journal beside the file, opened (and made) on first use and kept
    // open while the process works on this account: every operation locks
    // it and a change writes to it, and opening it each time would cost as
    // much as a tenth of a change under Wine. INVALID_HANDLE_VALUE where it
    // cannot be made (a missing directory).
    HANDLE Journal() const;

    // Held from construction to destruction, shared by readers, exclusive
    // for a change: a range of the journal far beyond its bytes. Held() is
    // false when the time limit passed or the journal could not be made:
    // the caller fails then. A reader of a file without a journal has no
    // writer to wait for (none has changed it) and makes none.
    class Lock {
    public:
        Lock(const CAccountFile& file, bool exclusive, DWORD timeLimitMs = kLockTimeLimitMs);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        bool Held() const { return m_bHeld; }
        // The journal's handle, valid while the lock is held.
        HANDLE Journal() const { return m_hFile; }
        // Why it is not held.
        StoreFailure Failure() const { return m_failure; }

    private:
        HANDLE m_hFile = INVALID_HANDLE_VALUE;
        HANDLE m_hTurn = nullptr;
        bool m_bHeld = false;
        StoreFailure m_failure = STORE_OK;
    };

    // One thread of the process at a time in the store, from construction
    // to destruction: the log-in check runs on a thread of its own, and the
    // store's per-process state (the journal, the changes held) is not to
    // be shared. The thread holding it may take it again.
    class ThreadTurn {
    public:
        ThreadTurn();
        ~ThreadTurn();
        ThreadTurn(const ThreadTurn&) = delete;
        ThreadTurn& operator=(const ThreadTurn&) = delete;
    };

private:
    CString m_strDirectory;
    CString m_strPath;
};
