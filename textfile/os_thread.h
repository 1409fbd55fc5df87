#pragma once

#include <thread>

// Starts run(context) on a thread of its own that takes none of the process's signals: the host's
// handlers (Ctrl-C, SIGTERM) keep running on the host's own threads, as they did before the
// plug-in started one. Throws std::system_error when no thread can be started.
std::thread StartWorkerThread(void (*run)(void*), void* context);
