#include "support/heap_accounting.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace heap {
std::atomic<size_t> current{0};
std::atomic<size_t> peak{0};

namespace {
constexpr size_t kHeader = alignof(std::max_align_t);

void* allocate(size_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block)
        throw std::bad_alloc();
    std::memcpy(block, &size, sizeof size);
    const size_t now = current.fetch_add(size) + size;
    for (size_t seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {}
    return static_cast<char*>(block) + kHeader;
}

void release(void* p) {
    if (!p)
        return;
    char* block = static_cast<char*>(p) - kHeader;
    size_t size = 0;
    std::memcpy(&size, block, sizeof size);
    current.fetch_sub(size);
    std::free(block);
}
}  // namespace
}  // namespace heap

void* operator new(size_t size) { return heap::allocate(size); }
void* operator new[](size_t size) { return heap::allocate(size); }
void operator delete(void* p) noexcept { heap::release(p); }
void operator delete[](void* p) noexcept { heap::release(p); }
void operator delete(void* p, size_t) noexcept { heap::release(p); }
void operator delete[](void* p, size_t) noexcept { heap::release(p); }
