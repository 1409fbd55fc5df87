#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A serial number for a new style identifier, unique in the process.
std::uint64_t NextStyleSerial();

// Memory straight from the system: a block of the size, or null when there is none. A block of
// whole 2 MiB units is aligned to them and backed by large pages where the system offers them.
// AllocateBlock and FreeBlock count what is held (XF_SystemBlockBytes); the system calls are one
// file per platform.
constexpr size_t kLargeBlockUnit = size_t{2} << 20;
char* AllocateBlock(size_t size);
void FreeBlock(char* block, size_t size);
char* AllocateSystemBlock(size_t size);
void FreeSystemBlock(char* block, size_t size);

// Memory that a layer hands out piece by piece and frees all at once: the points of the objects
// it stores. Pieces are never freed alone, so there is no per-piece header and no search; the
// blocks grow from 64 KiB to 2 MiB, so that a small layer stays small, and a piece of more than
// 512 KiB gets a block of its own.
class CXF_Arena {
public:
    CXF_Arena() = default;
    ~CXF_Arena();
    CXF_Arena(const CXF_Arena&) = delete;
    CXF_Arena& operator=(const CXF_Arena&) = delete;

    // Bytes aligned for doubles; throws std::bad_alloc when the system has no more.
    void* Allocate(size_t bytes);

private:
    struct Block {
        char* base;
        size_t size;
    };
    std::vector<Block> blocks;
    char* next = nullptr;
    size_t left = 0;
    size_t lastSize = 0;  // of the block small pieces come from
};
