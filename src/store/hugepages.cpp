#include "store/hugepages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace HugePages {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

// Below this a block is an ordinary one: huge pages would only waste memory.
constexpr std::size_t Threshold = 4 * HugePage;

std::size_t Rounded(std::size_t bytes) { return (bytes + HugePage - 1) / HugePage * HugePage; }

// The largest block for which the heap grows: a larger one that the heap cannot hold is
// mapped on its own. Within a step of growth, every block comes from the heap, and a
// freed one stays there for the next.
constexpr int LargestHeapBlock = 4 << 20;

// How far the heap grows past what is asked of it: a gigabyte, or an eighth of what the
// machine has (or the process may map), whichever is less. The heap cannot grow by
// less than a step, so a step the system refuses would leave the program without
// memory it could otherwise have.
std::size_t HeapStep()
{
    std::size_t step = std::size_t(1) << 30;
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        step = std::min(step, std::size_t(pages) * std::size_t(pageSize) / 8);
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        step = std::min(step, std::size_t(limit.rlim_cur) / 8);
    return step;
}

// Asks for huge pages under the whole huge pages that lie within BLOCK.
void Advise(void* block, std::size_t bytes)
{
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (at + HugePage - 1) / HugePage * HugePage;
    const std::uintptr_t end = (at + bytes) / HugePage * HugePage;
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

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

void UseForTheHeap()
{
    const std::size_t step = HeapStep();
    if (step < Threshold)
        return;
    mallopt(M_MMAP_THRESHOLD, LargestHeapBlock);
    mallopt(M_TOP_PAD, int(step));
    // Never give the top of the heap back: grown again, it would be a new mapping
    // without the advice.
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    // Grow the heap now, by one step, and advise all of it at once.
    const auto start = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void* volatile grow = std::malloc(std::size_t(LargestHeapBlock) / 2);
    std::free(grow);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    if (end - start < step) {
        // Refused (or a heap that is not sbrk's): the allocator's own settings again.
        constexpr int Default = 128 * 1024;
        mallopt(M_TOP_PAD, Default);
        mallopt(M_TRIM_THRESHOLD, Default);
        mallopt(M_MMAP_THRESHOLD, Default);
        return;
    }
    // One heap for all threads: each thread's own arena would be mapped apart, out of
    // reach of the advice. The two readers of a table allocate in large blocks, so they
    // hardly wait for each other.
    mallopt(M_ARENA_MAX, 1);
    Advise(reinterpret_cast<void*>(start), end - start);
}

} // namespace HugePages
