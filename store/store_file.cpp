#include "store_file.h"

#include "message_store.h"

#include <db.h>

#include <map>
#include <string>

namespace store_file {

namespace {

DbCreateFunction g_dbCreate;

void IgnoreError(const DB_ENV*, const char*, const char*) {}

} // namespace

DbCreateFunction DbCreate()
{
    static DbCreateFunction fromDataModule = [] {
        HMODULE module = ::GetModuleHandleA("hostdata.dll");
        if (!module) module = ::LoadLibraryA("hostdata.dll");
        return module ? reinterpret_cast<DbCreateFunction>(::GetProcAddress(module, MAKEINTRESOURCEA(1))) : nullptr;
    }();
    return g_dbCreate ? g_dbCreate : fromDataModule;
}

void SetDbCreate(DbCreateFunction create) { g_dbCreate = create; }

CString AccountFilePath() { return AccountDataDir + "smsutilmsg.db"; }

void Quiet(DB* db)
{
    db->set_errcall(db, IgnoreError);
    db->set_errfile(db, nullptr);
}

// Locks belong to a handle, so an operation that runs inside another (the
// unread walk's visitor writes history) would wait for its own process: the
// process takes the lock once per file and counts the operations inside it.
namespace {
std::map<std::string, int> g_held;
}

CFileLock::CFileLock(const CString& path) : m_strKey((const char*)path), m_hFile(INVALID_HANDLE_VALUE)
{
    if (g_held[m_strKey]++ > 0) return;
    m_hFile = ::CreateFileA(path + ".lock", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole = {};
    m_bLocked = ::LockFileEx(m_hFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole) != 0;
}

CFileLock::~CFileLock()
{
    if (--g_held[m_strKey] == 0) g_held.erase(m_strKey);
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    if (m_bLocked) {
        OVERLAPPED whole = {};
        ::UnlockFileEx(m_hFile, 0, 1, 0, &whole);
    }
    ::CloseHandle(m_hFile);
}

} // namespace store_file
