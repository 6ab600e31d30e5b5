#pragma once
#include <cstddef>
#include <memory>
#include <new>

#ifndef _WIN32
#include <sys/mman.h>

#include <cstdint>
#endif

// Memory for many megabytes that are written once, front to back, right
// after they are taken: a whole server list's text, its entries. What such a
// block costs is mostly the first touch of each page, not the copying.
//
// On Linux a large block is its own mapping, aligned and advised to be
// backed by 2 MiB pages: a fresh 4 KiB page can cost some microseconds to
// fault in, which for a list of tens of megabytes is several times the
// reading and parsing together. Windows gets ordinary memory: its large pages
// need the "Lock pages in memory" privilege, which users do not have.
struct BulkFree {
    size_t mapped = 0;  // bytes of the mapping; none for memory from new
    void operator()(char* block) const;
};
using BulkBytes = std::unique_ptr<char[], BulkFree>;

// Uninitialised bytes, at least size of them, aligned for any object.
// Throws std::bad_alloc when there is no memory for them.
BulkBytes AllocateBulk(size_t size);

#ifdef _WIN32
inline void BulkFree::operator()(char* block) const { delete[] block; }

inline BulkBytes AllocateBulk(size_t size) { return BulkBytes(new char[size]); }
#else
inline void BulkFree::operator()(char* block) const {
    if (mapped != 0) munmap(block, mapped);
    else delete[] block;
}

inline BulkBytes AllocateBulk(size_t size) {
    constexpr size_t kHugePage = size_t(2) << 20;
    // Less than one huge page has no large page to gain.
    if (size < kHugePage) return BulkBytes(new char[size]);
    if (size > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
    const size_t mapped = (size + kHugePage - 1) & ~(kHugePage - 1);
    // A mapping starts on a 4 KiB boundary; the kernel backs only whole
    // aligned 2 MiB stretches with a huge page, so map one more and trim
    // the ends that fall outside the aligned part.
    void* const raw = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    if (aligned != start) munmap(raw, aligned - start);
    munmap(reinterpret_cast<void*>(aligned + mapped), start + kHugePage - aligned);
    char* const block = reinterpret_cast<char*>(aligned);
    // Only advice: where the kernel cannot or will not oblige, small pages
    // still serve.
    madvise(block, mapped, MADV_HUGEPAGE);
    return BulkBytes(block, BulkFree{mapped});
}
#endif
