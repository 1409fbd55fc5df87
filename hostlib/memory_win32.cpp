#include <windows.h>

#include "hostlib/host_internal.h"

// Blocks straight from the system, committed as they are reserved.
char* AllocateBlock(size_t size) {
    return static_cast<char*>(
        ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void FreeBlock(char* block, size_t) {
    if (block != nullptr) {
        ::VirtualFree(block, 0, MEM_RELEASE);
    }
}
