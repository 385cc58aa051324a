#include "parallel/heap_reuse.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vardelk {

void ReuseFreedLargeBlocks() {
#if defined(__GLIBC__)
    // 32 MiB is the largest threshold glibc accepts on 64-bit systems; it
    // holds a 1080p plane of floats (8 MiB) with room to spare.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

}  // namespace vardelk
