#include <pthread.h>
#include <signal.h>

#include "textfile/os_thread.h"

std::thread StartWorkerThread(void (*run)(void*), void* context) {
    // A new thread starts with the signal mask of the thread that starts it.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    std::thread thread;
    try {
        thread = std::thread(run, context);
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        throw;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return thread;
}
