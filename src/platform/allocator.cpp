#include "platform/allocator.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace korva {

bool setUpAllocator()
{
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    // A copy of at most 1 MB into fresh pages (256 page faults) when a
    // growing block leaves the heap.
    constexpr int kMappedFrom = 1 << 20;
    // Fixing that size also fixes how much free memory the heap keeps at its
    // top, at 128 KB: a load's memory then went back to the system and was
    // faulted in again by the next, three times the page faults of a load
    // through ODBC. The default keeps up to this much once it has seen
    // large blocks.
    constexpr int kKeptAtTop = 64 << 20;
    return mallopt(M_MMAP_THRESHOLD, kMappedFrom) == 1 && mallopt(M_TRIM_THRESHOLD, kKeptAtTop) == 1;
#else
    return false;
#endif
}

} // namespace korva
