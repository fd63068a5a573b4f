#include "store_file.h"

#include "message_store.h"

#include <db.h>

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

CFileLock::CFileLock(const CString& path)
    : m_hFile(::CreateFileA(path + ".lock", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr))
{
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole = {};
    m_bLocked = ::LockFileEx(m_hFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole) != 0;
}

CFileLock::~CFileLock()
{
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    if (m_bLocked) {
        OVERLAPPED whole = {};
        ::UnlockFileEx(m_hFile, 0, 1, 0, &whole);
    }
    ::CloseHandle(m_hFile);
}

} // namespace store_file
