#include "account_file.h"

#include "message_store.h"

#include "common/crc32.h"

#include <db.h>

namespace {

CAccountFile::DbCreateFunction g_dbCreate;

void DiscardLibraryMessage(const DB_ENV*, const char*, const char*) {}

// Room kept beyond the change itself: a hash bucket that splits, a
// directory that doubles and the pages the library rewrites with them.
const unsigned long long kPagesMargin = 1024 * 1024;
// Asking the file system costs as much as a tenth of a change under Wine:
// a reading with this much room to spare stands for a second.
const unsigned long long kPlentyOfRoom = 64 * 1024 * 1024;
const DWORD kRoomReadingMs = 1000;

struct RoomReading {
    CString folder;
    DWORD taken = 0;
    unsigned long long available = 0;
};
RoomReading g_room;

// The lock's byte: beyond any journal, so that reading and writing the
// journal's bytes never meets it.
const DWORD kLockOffsetHigh = 0x40000000;

// The one journal this process has open, for the account file it works on.
struct OpenJournal {
    CString path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE turn = nullptr;
};
OpenJournal g_journal;

// The module's processes on one file take turns to change it through a
// named mutex before they lock the journal: the kernel queues its waiters,
// where two processes polling one file lock would let the busier starve the
// other.
// The file lock stays, for the native tool, which has no such mutex.
HANDLE TurnFor(const CString& path)
{
    CString name;
    name.Format("Local\\smsutil-store-%08x", Crc32(path, path.GetLength()));
    return ::CreateMutexA(nullptr, FALSE, name);
}

// A handle whose file was deleted or replaced under it (by hand, or a test
// clearing its folder) no longer names the journal at its path: the file at
// the path then differs in size or in when it was last written.
bool StillAtPath(HANDLE handle, const CString& path)
{
    // Not GetFileInformationByHandle: under Wine it asks the volume for its
    // serial number, which costs more than the change itself.
    WIN32_FILE_ATTRIBUTE_DATA named;
    LARGE_INTEGER size;
    FILETIME written;
    return ::GetFileAttributesExA(path, GetFileExInfoStandard, &named) && ::GetFileSizeEx(handle, &size) &&
           ::GetFileTime(handle, nullptr, nullptr, &written) &&
           (static_cast<long long>(named.nFileSizeHigh) << 32 | named.nFileSizeLow) == size.QuadPart &&
           named.ftLastWriteTime.dwLowDateTime == written.dwLowDateTime &&
           named.ftLastWriteTime.dwHighDateTime == written.dwHighDateTime;
}

OVERLAPPED LockRange()
{
    OVERLAPPED range = {};
    range.OffsetHigh = kLockOffsetHigh;
    return range;
}

// Polling the lock instead of waiting in the kernel keeps the wait bounded;
// the steps grow so that a long hold costs few wake-ups.
bool LockWithin(HANDLE file, bool exclusive, DWORD timeLimitMs)
{
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    const DWORD start = ::GetTickCount();
    for (DWORD nap = 1;; nap = nap < 16 ? nap * 2 : nap) {
        OVERLAPPED range = LockRange();
        if (::LockFileEx(file, flags, 0, 1, 0, &range)) return true;
        if (::GetTickCount() - start >= timeLimitMs) return false;
        ::Sleep(nap);
    }
}

} // namespace

CAccountFile::CAccountFile(const CString& directory) : m_strDirectory(directory), m_strPath(directory + "smsutilmsg.db")
{
}

CAccountFile CAccountFile::Current() { return CAccountFile(AccountDataDir); }

CAccountFile CAccountFile::AtPath(const CString& path)
{
    CAccountFile file(CString(""));
    file.m_strPath = path;
    return file;
}

CAccountFile::DbCreateFunction CAccountFile::DbCreate()
{
    static DbCreateFunction fromDataModule = [] {
        HMODULE module = ::GetModuleHandleA("hostdata.dll");
        if (!module) module = ::LoadLibraryA("hostdata.dll");
        return module ? reinterpret_cast<DbCreateFunction>(::GetProcAddress(module, MAKEINTRESOURCEA(1))) : nullptr;
    }();
    return g_dbCreate ? g_dbCreate : fromDataModule;
}

void CAccountFile::SetDbCreate(DbCreateFunction create) { g_dbCreate = create; }

void CAccountFile::Quiet(DB* db)
{
    db->set_errcall(db, DiscardLibraryMessage);
    db->set_errfile(db, nullptr);
}

bool CAccountFile::HasRoomFor(size_t bytes) const
{
    // The folder the file is in: the path up to its last separator, or the
    // current directory's disk for a bare name.
    const int separator = m_strPath.ReverseFind('\\') > m_strPath.ReverseFind('/') ? m_strPath.ReverseFind('\\')
                                                                                   : m_strPath.ReverseFind('/');
    const CString folder = separator < 0 ? CString() : m_strPath.Left(separator + 1);
    const DWORD now = ::GetTickCount();
    if (g_room.folder == folder && now - g_room.taken < kRoomReadingMs && g_room.available >= kPlentyOfRoom + bytes)
        return true;
    ULARGE_INTEGER available = {};
    if (!::GetDiskFreeSpaceExA(folder.IsEmpty() ? nullptr : (const char*)folder, &available, nullptr, nullptr))
        return true; // a file system that cannot say is left to the write itself
    g_room.folder = folder;
    g_room.taken = now;
    g_room.available = available.QuadPart;
    return available.QuadPart >= bytes + kPagesMargin;
}

HANDLE CAccountFile::Journal() const
{
    const CString path = JournalPath();
    if (g_journal.handle != INVALID_HANDLE_VALUE && g_journal.path == path && StillAtPath(g_journal.handle, path))
        return g_journal.handle;
    if (g_journal.handle != INVALID_HANDLE_VALUE) ::CloseHandle(g_journal.handle);
    if (g_journal.path != path) {
        if (g_journal.turn) ::CloseHandle(g_journal.turn);
        g_journal.turn = TurnFor(path);
    }
    g_journal.path = path;
    g_journal.handle =
        ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return g_journal.handle;
}

namespace {

struct StoreThreads {
    CRITICAL_SECTION section;
    StoreThreads() { ::InitializeCriticalSection(&section); }
    ~StoreThreads() { ::DeleteCriticalSection(&section); }
};

CRITICAL_SECTION& StoreSection()
{
    static StoreThreads threads;
    return threads.section;
}

} // namespace

CAccountFile::ThreadTurn::ThreadTurn() { ::EnterCriticalSection(&StoreSection()); }

CAccountFile::ThreadTurn::~ThreadTurn() { ::LeaveCriticalSection(&StoreSection()); }

CAccountFile::Lock::Lock(const CAccountFile& file, bool exclusive, DWORD timeLimitMs)
{
    if (!exclusive && ::GetFileAttributesA(file.JournalPath()) == INVALID_FILE_ATTRIBUTES) {
        m_bHeld = true;
        return;
    }
    m_hFile = file.Journal();
    if (m_hFile == INVALID_HANDLE_VALUE) {
        m_failure = STORE_FAILED;
        return;
    }
    const DWORD start = ::GetTickCount();
    // Readers do not queue: they hold the file a moment and share it.
    m_hTurn = exclusive ? g_journal.turn : nullptr;
    // A process that ended holding the mutex abandoned it: the journal
    // tells what it left unfinished.
    const DWORD waited = m_hTurn ? ::WaitForSingleObject(m_hTurn, timeLimitMs) : WAIT_OBJECT_0;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        m_hTurn = nullptr;
        m_failure = STORE_BUSY;
        return;
    }
    const DWORD spent = ::GetTickCount() - start;
    m_bHeld = LockWithin(m_hFile, exclusive, spent < timeLimitMs ? timeLimitMs - spent : 0);
    if (m_bHeld) return;
    m_failure = STORE_BUSY;
    if (m_hTurn) ::ReleaseMutex(m_hTurn);
    m_hTurn = nullptr;
}

CAccountFile::Lock::~Lock()
{
    if (!m_bHeld || m_hFile == INVALID_HANDLE_VALUE) return;
    OVERLAPPED range = LockRange();
    ::UnlockFileEx(m_hFile, 0, 1, 0, &range);
    if (m_hTurn) ::ReleaseMutex(m_hTurn);
}
