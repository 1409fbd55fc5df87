#include "textfile/os_thread.h"

// Windows delivers console interrupts on a thread of their own: a worker thread needs nothing.
std::thread StartWorkerThread(void (*run)(void*), void* context) {
    return std::thread(run, context);
}
