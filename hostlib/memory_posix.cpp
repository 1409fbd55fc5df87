#include <sys/mman.h>

#include <cstdint>

#include "hostlib/host_internal.h"

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

// Blocks straight from the system. A block of whole huge pages is aligned to them and asks for
// them: touching a layer's points one 4 KiB page at a time is what an import spends most on.
char* AllocateSystemBlock(size_t size) {
    bool huge = size % kHugePage == 0;
    size_t span = huge ? size + kHugePage : size;
    void* p = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        return nullptr;
    }
    char* base = static_cast<char*>(p);
    if (huge) {
        // Keep the aligned part; give the rest back.
        uintptr_t address = reinterpret_cast<uintptr_t>(base);
        size_t head = (kHugePage - address % kHugePage) % kHugePage;
        if (head > 0) {
            ::munmap(base, head);
        }
        if (span - head > size) {
            ::munmap(base + head + size, span - head - size);
        }
        base += head;
#if defined(MADV_HUGEPAGE)
        ::madvise(base, size, MADV_HUGEPAGE);
#endif
    }
    return base;
}

void FreeSystemBlock(char* block, size_t size) {
    if (block != nullptr) {
        ::munmap(block, size);
    }
}
