#include "store/hugepages.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace HugePages {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

// Below this a block is an ordinary one: huge pages would only waste memory.
constexpr std::size_t Threshold = 4 * HugePage;

std::size_t Rounded(std::size_t bytes) { return (bytes + HugePage - 1) / HugePage * HugePage; }

// How far the heap grows past what is asked of it, and the largest block for which it
// grows at all: a larger one that the heap cannot hold is mapped on its own. Within a
// step, every block comes from the heap, and a freed one stays there for the next.
constexpr int HeapStep = 1 << 30, LargestHeapBlock = 4 << 20;

} // namespace

void* Allocate(std::size_t bytes)
{
    if (bytes < Threshold)
        return ::operator new(bytes);
    void* block = std::aligned_alloc(HugePage, Rounded(bytes));
    if (!block)
        throw std::bad_alloc();
    // Only advice: without huge pages the block works the same.
    madvise(block, Rounded(bytes), MADV_HUGEPAGE);
    return block;
}

void Free(void* block, std::size_t bytes)
{
    if (bytes < Threshold)
        ::operator delete(block);
    else
        std::free(block);
}

void Advise(void* block, std::size_t bytes)
{
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (at + HugePage - 1) / HugePage * HugePage;
    const std::uintptr_t end = (at + bytes) / HugePage * HugePage;
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

void UseForTheHeap()
{
    // One heap for all threads: each thread's own arena would be mapped apart, out of
    // reach of the advice below. The two readers of a table allocate in large blocks,
    // so they hardly wait for each other.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, LargestHeapBlock);
    mallopt(M_TOP_PAD, HeapStep);
    // Never give the top of the heap back: grown again, it would be a new mapping
    // without the advice.
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    // Grow the heap now, by one step, and advise all of it at once.
    const auto start = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void* volatile grow = std::malloc(std::size_t(LargestHeapBlock) / 2);
    std::free(grow);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    if (end > start)
        Advise(reinterpret_cast<void*>(start), end - start);
}

} // namespace HugePages
