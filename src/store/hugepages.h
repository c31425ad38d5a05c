#pragma once
// An allocator for the arrays that grow with a table of a million rows. A block of
// several megabytes is asked to be backed by huge pages, which spares the kernel one
// page fault per 4 kB when the array is first written: on a virtual machine those
// faults cost more than filling the array itself.

#include <cstddef>
#include <new>
#include <vector>

namespace HugePages {

void* Allocate(std::size_t bytes);
void Free(void* block, std::size_t bytes);
// Puts the ordinary heap on huge pages as well: every thread allocates from the one
// heap, which grows in large steps of address space (a gigabyte on most machines;
// memory is taken only when written) and is asked for huge pages as a whole. Reading a table
// allocates thousands of small blocks that no array of its own would gather, and on a virtual
// machine their page faults cost a third of the time it takes. Call it first thing in main(),
// before threads start; it is advice, and without it the program works the same.
void UseForTheHeap();

} // namespace HugePages

template <typename T> struct THugePageAllocator {
    using value_type = T;
    THugePageAllocator() = default;
    template <typename U> THugePageAllocator(const THugePageAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(HugePages::Allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { HugePages::Free(p, n * sizeof(T)); }
    template <typename U> bool operator==(const THugePageAllocator<U>&) const { return true; }
};

template <typename T> using THugeVector = std::vector<T, THugePageAllocator<T>>;
