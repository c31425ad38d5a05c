#include "store/hugepages.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace HugePages {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

// Below this a block is an ordinary one: huge pages would only waste memory.
constexpr std::size_t Threshold = 4 * HugePage;

std::size_t Rounded(std::size_t bytes) { return (bytes + HugePage - 1) / HugePage * HugePage; }

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

} // namespace HugePages
