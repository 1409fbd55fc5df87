#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

#include "mif/model/batch_ring.h"
#include "mif/model/mif_object.h"

class CMifWriter;

// Writes the objects of a MIF file on a thread of its own, some batches behind the caller who
// makes them, so that formatting and writing them go on while the caller makes the next ones. The
// thread uses only the writer's MIF file: the MID file stays the caller's, and the host is never
// called there. Where no thread can be started, each record is written when it is given.
class CMifWriteBehind {
public:
    explicit CMifWriteBehind(CMifWriter& writer);
    // Stops the thread without writing what it has not written yet (Finish writes it).
    ~CMifWriteBehind();
    CMifWriteBehind(const CMifWriteBehind&) = delete;
    CMifWriteBehind& operator=(const CMifWriteBehind&) = delete;

    // Writes the record after those given before; records already written go back to the pool
    // for reuse.
    void Write(CMifObjectPtr record, CMifRecordPool& pool);
    // Writes every record given and waits until they are written.
    void Finish();
    // True once a write to the MIF file has failed, as far as the writing has come.
    bool Failed() const { return failed.load(std::memory_order_relaxed); }

private:
    struct CRecordBatch {
        std::vector<CMifObjectPtr> records;
        size_t nodes = 0;
    };

    void Run();

    CMifWriter& writer;
    CBatchRing<CRecordBatch> ring;
    CRecordBatch* filling = nullptr;  // the batch the caller fills
    std::atomic<bool> failed{false};
    std::thread thread;
    bool threaded = false;
    bool finished = false;
};
