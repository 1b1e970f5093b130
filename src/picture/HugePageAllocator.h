#pragma once

#include <cstdlib>
#include <memory>
#include <new>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace picture {

// Allocates arrays of several megabytes that are filled once and read in passes on
// transparent huge pages where Linux offers them: a few page faults instead of one
// for every 4 KB, which on a fresh process cost more than filling the array.
template <typename T> class HugePageAllocator {
public:
    using value_type = T;
    HugePageAllocator() = default;
    template <typename U> HugePageAllocator(const HugePageAllocator<U> &) {}

    [[nodiscard]] T *allocate(std::size_t n)
    {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (n * sizeof(T) >= kHugePage) {
            const std::size_t bytes = rounded(n);
            void *p = std::aligned_alloc(kHugePage, bytes);
            if (!p)
                throw std::bad_alloc();
            madvise(p, bytes, MADV_HUGEPAGE);
            return static_cast<T *>(p);
        }
#endif
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T *p, std::size_t n)
    {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (n * sizeof(T) >= kHugePage) {
            std::free(p);
            return;
        }
#endif
        std::allocator<T>().deallocate(p, n);
    }
    friend bool operator==(const HugePageAllocator &, const HugePageAllocator &)
    {
        return true;
    }

private:
    static constexpr std::size_t kHugePage = std::size_t(2) << 20;
    static std::size_t rounded(std::size_t n)
    {
        return (n * sizeof(T) + kHugePage - 1) / kHugePage * kHugePage;
    }
};

} // namespace picture
