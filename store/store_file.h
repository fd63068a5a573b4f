// What the store's operations and its repair share: the library's entry
// point, the file's place, and the lock that keeps two processes on one
// account from working on the file at the same time.
#pragma once
#include "afxstr.h"

#include <windows.h>

#include <string>

struct __db;
struct __db_env;

namespace store_file {

typedef int (*DbCreateFunction)(struct __db** db, struct __db_env* environment, unsigned int flags);

// The db_create handed in, else the host's data module's export number 1;
// nullptr when neither is there.
DbCreateFunction DbCreate();
void SetDbCreate(DbCreateFunction create);

// AccountDataDir + "smsutilmsg.db".
CString AccountFilePath();

// The library reports what it finds wrong in a file on the standard error
// stream unless told otherwise; the store answers with results instead.
void Quiet(struct __db* db);

// Holds an exclusive lock on `path` + ".lock" from construction to
// destruction. Operations of other processes that take the same lock wait
// for it. A lock file that cannot be made (a directory that is not there)
// leaves the operation to fail on the database file itself.
class CFileLock {
public:
    explicit CFileLock(const CString& path);
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

private:
    std::string m_strKey;
    HANDLE m_hFile;
    bool m_bLocked = false;
};

} // namespace store_file
