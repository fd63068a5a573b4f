#include "guarded_heap.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Sixteen bytes, so the blocks handed out keep malloc's alignment.
struct BlockHeader {
    size_t size;
    size_t state;
};

const size_t kLive = 0x4C4956454C495645u;
const size_t kFreed = 0x4652454546524545u;
const unsigned char kFreedByte = 0xDB;
const size_t kQuarantineCapacity = 1 << 16;

// Plain data only: operator new runs before any constructor of the program.
SRWLOCK g_lock = SRWLOCK_INIT;
size_t g_liveBlocks = 0;
size_t g_liveBytes = 0;
bool g_quarantining = false;
BlockHeader* g_quarantine[kQuarantineCapacity];
size_t g_quarantined = 0;
size_t g_overwritten = 0;

bool StillFreed(const BlockHeader* header)
{
    if (header->state != kFreed) return false;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(header + 1);
    for (size_t i = 0; i < header->size; ++i)
        if (bytes[i] != kFreedByte) return false;
    return true;
}

// Called with the lock held.
void ReleaseQuarantine()
{
    for (size_t i = 0; i < g_quarantined; ++i) {
        if (!StillFreed(g_quarantine[i])) ++g_overwritten;
        free(g_quarantine[i]);
    }
    g_quarantined = 0;
}

void* Allocate(size_t size)
{
    auto header = static_cast<BlockHeader*>(malloc(sizeof(BlockHeader) + (size ? size : 1)));
    if (!header) return nullptr;
    header->size = size;
    header->state = kLive;
    AcquireSRWLockExclusive(&g_lock);
    ++g_liveBlocks;
    g_liveBytes += size;
    ReleaseSRWLockExclusive(&g_lock);
    return header + 1;
}

void* AllocateOrThrow(size_t size)
{
    void* block = Allocate(size);
    if (!block) throw std::bad_alloc();
    return block;
}

void Release(void* block)
{
    if (!block) return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    AcquireSRWLockExclusive(&g_lock);
    --g_liveBlocks;
    g_liveBytes -= header->size;
    if (g_quarantining) {
        if (g_quarantined == kQuarantineCapacity) ReleaseQuarantine();
        memset(block, kFreedByte, header->size);
        header->state = kFreed;
        g_quarantine[g_quarantined++] = header;
        header = nullptr;
    }
    ReleaseSRWLockExclusive(&g_lock);
    if (header) free(header);
}

} // namespace

namespace GuardedHeap {

Counts Live()
{
    AcquireSRWLockExclusive(&g_lock);
    const Counts counts = {g_liveBlocks, g_liveBytes};
    ReleaseSRWLockExclusive(&g_lock);
    return counts;
}

void BeginQuarantine()
{
    AcquireSRWLockExclusive(&g_lock);
    g_quarantining = true;
    g_overwritten = 0;
    ReleaseSRWLockExclusive(&g_lock);
}

size_t EndQuarantine()
{
    AcquireSRWLockExclusive(&g_lock);
    ReleaseQuarantine();
    g_quarantining = false;
    const size_t overwritten = g_overwritten;
    ReleaseSRWLockExclusive(&g_lock);
    return overwritten;
}

} // namespace GuardedHeap

void* operator new(size_t size) { return AllocateOrThrow(size); }
void* operator new[](size_t size) { return AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
