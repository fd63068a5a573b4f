// The test program's operator new and delete: they count the live blocks,
// and on request keep freed blocks in quarantine, filled with a pattern, so
// that a write into freed memory shows as a changed pattern instead of going
// unnoticed.
#pragma once
#include <cstddef>

namespace GuardedHeap {

struct Counts {
    size_t blocks;
    size_t bytes;
};

// Blocks handed out by operator new and not yet deleted.
Counts Live();

// From now on deleted blocks are filled with the pattern and kept.
void BeginQuarantine();

// Checks every quarantined block, frees them and stops quarantining. The
// result is the number of blocks written to after they were deleted.
size_t EndQuarantine();

} // namespace GuardedHeap
