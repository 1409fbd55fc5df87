#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>

// Batches passed in order from the thread that fills them to the thread that empties them,
// through a ring of Count of them: the filler waits while every batch is full, the emptier while
// none is. Each side holds at most one batch at a time, between its Begin and its End.
template <typename Batch, size_t Count = 4>
class CBatchRing {
public:
    // The next batch to fill, once one is empty; null when the ring is stopped.
    Batch* BeginFill() {
        std::unique_lock<std::mutex> lock(mutex);
        emptied.wait(lock, [this] { return stopped || filled - returned < Count; });
        return stopped ? nullptr : &batches[filled % Count];
    }
    // The batch begun is full; last: no batch follows it.
    void EndFill(bool last) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++filled;
            ended = ended || last;
        }
        filledSignal.notify_one();
    }
    // The filler failed: the emptier gets the batches filled before, then the failure.
    void Fail(std::exception_ptr error) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            failure = error;
            ended = true;
        }
        filledSignal.notify_one();
    }
    // The next full batch, once there is one; null after the last one, or when the ring is
    // stopped. Throws the filler's failure once the batches before it are taken.
    Batch* BeginEmpty() {
        std::unique_lock<std::mutex> lock(mutex);
        filledSignal.wait(lock, [this] { return stopped || filled > taken || ended; });
        if (!stopped && filled > taken) {
            return &batches[taken++ % Count];
        }
        if (failure != nullptr && !stopped) {
            std::rethrow_exception(failure);
        }
        return nullptr;
    }
    // The batch begun is empty: the filler may fill it again.
    void EndEmpty() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            returned = taken;
        }
        emptied.notify_one();
    }
    // Both sides stop waiting: BeginFill and BeginEmpty return null from now on.
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopped = true;
        }
        emptied.notify_all();
        filledSignal.notify_all();
    }
    // Every batch, for a side that works without a second thread, or to free them.
    Batch& At(size_t i) { return batches[i % Count]; }

private:
    Batch batches[Count];
    std::mutex mutex;
    std::condition_variable filledSignal;
    std::condition_variable emptied;
    size_t filled = 0;
    size_t taken = 0;
    size_t returned = 0;
    bool ended = false;
    bool stopped = false;
    std::exception_ptr failure;
};
