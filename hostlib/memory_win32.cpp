#include <windows.h>

#include "hostlib/host_internal.h"

// Blocks straight from the system, committed as they are reserved.
char* AllocateSystemBlock(size_t size) {
    return static_cast<char*>(
        ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void FreeSystemBlock(char* block, size_t) {
    if (block != nullptr) {
        ::VirtualFree(block, 0, MEM_RELEASE);
    }
}
