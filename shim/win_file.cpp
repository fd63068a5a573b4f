// The message store's file functions over POSIX, with the Windows meanings
// the store relies on: MoveFileA never replaces, MoveFileExA replaces in one
// rename, a lock waits for the other holder.
#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

void (*ShimBeforeWrite)(void);

namespace {

void BeforeWrite()
{
    if (ShimBeforeWrite) ShimBeforeWrite();
}

off_t OffsetOf(const OVERLAPPED* at)
{
    return static_cast<off_t>(static_cast<unsigned long long>(at->OffsetHigh) << 32 | at->Offset);
}

int Descriptor(HANDLE file) { return static_cast<int>(reinterpret_cast<intptr_t>(file)); }

bool LockRange(HANDLE file, short type, const OVERLAPPED* at, DWORD low, bool wait)
{
    struct flock range = {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = at ? OffsetOf(at) : 0;
    range.l_len = low;
    int result;
    do result = fcntl(Descriptor(file), wait ? F_SETLKW : F_SETLK, &range);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

} // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE)
{
    int flags = (access & GENERIC_WRITE) ? O_RDWR : O_RDONLY;
    if (disposition == OPEN_ALWAYS) flags |= O_CREAT;
    if (disposition == CREATE_ALWAYS) flags |= O_CREAT | O_TRUNC;
    const int descriptor = open(path, flags | O_CLOEXEC, 0600);
    return descriptor < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(static_cast<intptr_t>(descriptor));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD size, DWORD* read, OVERLAPPED* at)
{
    ssize_t got;
    do got = at ? ::pread(Descriptor(file), buffer, size, OffsetOf(at)) : ::read(Descriptor(file), buffer, size);
    while (got < 0 && errno == EINTR);
    if (read) *read = got < 0 ? 0 : static_cast<DWORD>(got);
    return got >= 0;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD size, DWORD* written, OVERLAPPED* at)
{
    BeforeWrite();
    ssize_t put;
    do put = at ? ::pwrite(Descriptor(file), buffer, size, OffsetOf(at)) : ::write(Descriptor(file), buffer, size);
    while (put < 0 && errno == EINTR);
    if (written) *written = put < 0 ? 0 : static_cast<DWORD>(put);
    return put >= 0;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER to, LARGE_INTEGER* now, DWORD)
{
    const off_t at = lseek(Descriptor(file), static_cast<off_t>(to.QuadPart), SEEK_SET);
    if (now) now->QuadPart = at;
    return at >= 0;
}

BOOL SetEndOfFile(HANDLE file)
{
    BeforeWrite();
    const off_t at = lseek(Descriptor(file), 0, SEEK_CUR);
    return at >= 0 && ftruncate(Descriptor(file), at) == 0;
}

namespace {

FILETIME FileTimeOf(const struct timespec& time)
{
    const unsigned long long ticks = static_cast<unsigned long long>(time.tv_sec) * 10000000 + time.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

} // namespace

BOOL GetFileAttributesExA(LPCSTR path, GET_FILEEX_INFO_LEVELS, void* data)
{
    struct stat status;
    if (stat(path, &status) != 0) return FALSE;
    WIN32_FILE_ATTRIBUTE_DATA* out = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(data);
    *out = WIN32_FILE_ATTRIBUTE_DATA();
    out->dwFileAttributes = S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    out->ftLastWriteTime = FileTimeOf(status.st_mtim);
    out->nFileSizeHigh = static_cast<DWORD>(static_cast<unsigned long long>(status.st_size) >> 32);
    out->nFileSizeLow = static_cast<DWORD>(status.st_size);
    return TRUE;
}

BOOL GetFileTime(HANDLE file, FILETIME* created, FILETIME* accessed, FILETIME* written)
{
    struct stat status;
    if (fstat(Descriptor(file), &status) != 0) return FALSE;
    if (created) *created = FileTimeOf(status.st_ctim);
    if (accessed) *accessed = FileTimeOf(status.st_atim);
    if (written) *written = FileTimeOf(status.st_mtim);
    return TRUE;
}

BOOL GetDiskFreeSpaceExA(LPCSTR folder, ULARGE_INTEGER* available, ULARGE_INTEGER* total, ULARGE_INTEGER* free)
{
    struct statvfs status;
    if (statvfs(folder && *folder ? folder : ".", &status) != 0) return FALSE;
    if (available) available->QuadPart = static_cast<unsigned long long>(status.f_bavail) * status.f_frsize;
    if (total) total->QuadPart = static_cast<unsigned long long>(status.f_blocks) * status.f_frsize;
    if (free) free->QuadPart = static_cast<unsigned long long>(status.f_bfree) * status.f_frsize;
    return TRUE;
}

HANDLE CreateMutexA(void*, BOOL, LPCSTR) { return nullptr; }
DWORD WaitForSingleObject(HANDLE, DWORD) { return WAIT_OBJECT_0; }
BOOL ReleaseMutex(HANDLE) { return TRUE; }

DWORD GetTickCount(void)
{
    struct timespec clock;
    clock_gettime(CLOCK_MONOTONIC, &clock);
    return static_cast<DWORD>(clock.tv_sec * 1000 + clock.tv_nsec / 1000000);
}

void Sleep(DWORD milliseconds)
{
    struct timespec nap = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&nap, &nap) != 0 && errno == EINTR) {}
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size)
{
    struct stat status;
    if (fstat(Descriptor(file), &status) != 0) return FALSE;
    size->QuadPart = status.st_size;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) { return close(Descriptor(handle)) == 0; }

BOOL LockFileEx(HANDLE file, DWORD flags, DWORD, DWORD low, DWORD, OVERLAPPED* at)
{
    return LockRange(file, (flags & LOCKFILE_EXCLUSIVE_LOCK) ? F_WRLCK : F_RDLCK, at, low,
                     !(flags & LOCKFILE_FAIL_IMMEDIATELY));
}

BOOL UnlockFileEx(HANDLE file, DWORD, DWORD low, DWORD, OVERLAPPED* at) { return LockRange(file, F_UNLCK, at, low, false); }

DWORD GetFileAttributesA(LPCSTR path)
{
    struct stat status;
    if (stat(path, &status) != 0) return INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL DeleteFileA(LPCSTR path)
{
    BeforeWrite();
    return unlink(path) == 0;
}

BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists)
{
    BeforeWrite();
    FILE* in = fopen(from, "rb");
    if (!in) return FALSE;
    const int descriptor = open(to, O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC), 0600);
    FILE* out = descriptor < 0 ? nullptr : fdopen(descriptor, "wb");
    bool ok = out != nullptr;
    char buffer[65536];
    for (size_t n; ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0;) ok = fwrite(buffer, 1, n, out) == n;
    ok = ok && !ferror(in);
    fclose(in);
    if (out)
        ok = fclose(out) == 0 && ok;
    else if (descriptor >= 0)
        close(descriptor);
    if (!ok) unlink(to);
    return ok;
}

BOOL MoveFileA(LPCSTR from, LPCSTR to)
{
    BeforeWrite();
    // Never over an existing file: a link fails where the name is taken.
    if (link(from, to) == 0) return unlink(from) == 0;
    if (errno == EEXIST) return FALSE;
    struct stat status;
    if (stat(to, &status) == 0) return FALSE;
    return rename(from, to) == 0;
}

BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags)
{
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return MoveFileA(from, to);
    BeforeWrite();
    return rename(from, to) == 0;
}

DWORD GetTempPathA(DWORD size, LPSTR buffer)
{
    const char* directory = getenv("TMPDIR");
    if (!directory || !*directory) directory = "/tmp";
    const int length = snprintf(buffer, size, "%s/", directory);
    return length < 0 || static_cast<DWORD>(length) >= size ? 0 : static_cast<DWORD>(length);
}

UINT GetTempFileNameA(LPCSTR directory, LPCSTR prefix, UINT, LPSTR name)
{
    snprintf(name, MAX_PATH, "%s%.3sXXXXXX", directory, prefix);
    const int descriptor = mkstemp(name);
    if (descriptor < 0) return 0;
    close(descriptor);
    return 1;
}

void GetLocalTime(SYSTEMTIME* now)
{
    struct timespec clock;
    clock_gettime(CLOCK_REALTIME, &clock);
    struct tm local;
    localtime_r(&clock.tv_sec, &local);
    now->wYear = static_cast<WORD>(local.tm_year + 1900);
    now->wMonth = static_cast<WORD>(local.tm_mon + 1);
    now->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    now->wDay = static_cast<WORD>(local.tm_mday);
    now->wHour = static_cast<WORD>(local.tm_hour);
    now->wMinute = static_cast<WORD>(local.tm_min);
    now->wSecond = static_cast<WORD>(local.tm_sec);
    now->wMilliseconds = static_cast<WORD>(clock.tv_nsec / 1000000);
}

HMODULE GetModuleHandleA(LPCSTR) { return nullptr; }
HMODULE LoadLibraryA(LPCSTR) { return nullptr; }
FARPROC GetProcAddress(HMODULE, LPCSTR) { return nullptr; }
