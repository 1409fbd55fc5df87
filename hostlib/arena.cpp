#include <algorithm>
#include <new>

#include "hostlib/host_internal.h"

namespace {

constexpr size_t kFirstBlock = size_t{64} << 10;
constexpr size_t kLargestBlock = 2 * kLargeBlockUnit;
constexpr size_t kAlignment = alignof(double);

}  // namespace

CXF_Arena::~CXF_Arena() {
    for (const Block& block : blocks) {
        FreeBlock(block.base, block.size);
    }
}

void* CXF_Arena::Allocate(size_t bytes) {
    bytes = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    if (bytes <= left) {
        void* piece = next;
        next += bytes;
        left -= bytes;
        return piece;
    }
    // A large piece gets a block of its own, in whole large units, and the current block goes on
    // serving small ones.
    bool own = bytes > kLargestBlock / 4;
    size_t size = own ? (bytes + kLargeBlockUnit - 1) / kLargeBlockUnit * kLargeBlockUnit
                      : (lastSize == 0 ? kFirstBlock : std::min(lastSize * 2, kLargestBlock));
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
