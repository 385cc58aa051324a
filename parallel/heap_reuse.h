// Keeps large freed blocks in the process's heap for the next request.
//
// The perceptual measures allocate planes of megabytes for every point
// they measure and free them after it. By default glibc maps each such
// block afresh and gives it back to the kernel when freed, so every point
// faults its pages in again, one by one: in a search by SSIMULACRA 2 and
// Butteraugli that kernel work took a fifth of the time. A job that
// measures many points calls this once before it starts; the heap then
// keeps the blocks (as much as the largest set of planes in use at once)
// and hands them out again.
#pragma once

namespace vardelk {

// Blocks up to 32 MiB come from the heap, and freed memory is kept up to
// 1 GiB. Does nothing outside glibc; calling it again changes nothing.
void ReuseFreedLargeBlocks();

}  // namespace vardelk
