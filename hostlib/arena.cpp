#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>

#include "hostlib/host_internal.h"
#include "plugin/host/vector.h"

namespace {

constexpr size_t kFirstBlock = size_t{64} << 10;
constexpr size_t kLargestBlock = kLargeBlockUnit;
constexpr size_t kAlignment = alignof(double);
constexpr size_t kPage = size_t{4} << 10;

// Bytes of the blocks held, for measuring; layers may live on several threads.
std::atomic<size_t> systemBytes{0};

}  // namespace

char* AllocateBlock(size_t size) {
    char* block = AllocateSystemBlock(size);
    if (block != nullptr) {
        systemBytes += size;
    }
    return block;
}

void FreeBlock(char* block, size_t size) {
    if (block != nullptr) {
        FreeSystemBlock(block, size);
        systemBytes -= size;
    }
}

std::size_t XF_SystemBlockBytes() {
    return systemBytes;
}

CXF_Arena::~CXF_Arena() {
    for (const Block& block : blocks) {
        FreeBlock(block.base, block.size);
    }
}

void* CXF_Arena::Allocate(size_t bytes) {
    if (bytes > SIZE_MAX / 4) {
        throw std::bad_alloc();  // no system has it, and the rounding below would overflow
    }
    bytes = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    if (bytes <= left) {
        void* piece = next;
        next += bytes;
        left -= bytes;
        return piece;
    }
    // A large piece gets a block of its own, in whole large units, and the current block goes on
    // serving small ones. A new block for small pieces is at least as large as the piece that asks
    // for it (a first piece of 134 KB must not be written past a block of 64 KiB).
    bool own = bytes > kLargestBlock / 4;
    size_t size = lastSize == 0 ? kFirstBlock : std::min(lastSize * 2, kLargestBlock);
    while (size < bytes) {
        size *= 2;
    }
    if (own) {
        // Whole pages: rounding a piece of 1.1 MB up to large pages would waste 2.9 MB.
        size = (bytes + kPage - 1) / kPage * kPage;
    }
    blocks.reserve(blocks.size() + 1);
    char* base = AllocateBlock(size);
    if (base == nullptr) {
        throw std::bad_alloc();
    }
    blocks.push_back(Block{base, size});
    if (own) {
        return base;
    }
    lastSize = size;
    next = base;
    left = size;
    void* piece = next;
    next += bytes;
    left -= bytes;
    return piece;
}
