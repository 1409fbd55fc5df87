#include "mif/writer/write_behind.h"

#include <system_error>
#include <utility>

#include "mif/writer/mif_writer.h"
#include "textfile/os_thread.h"

namespace {

// Bounds of a batch, so that the records waiting to be written hold little memory: a batch is
// handed over once it holds this many records or nodes.
constexpr size_t kBatchRecords = 256;
constexpr size_t kBatchNodes = size_t{1} << 16;

}  // namespace

CMifWriteBehind::CMifWriteBehind(CMifWriter& file) : writer(file) {
    try {
        thread =
            StartWorkerThread([](void* self) { static_cast<CMifWriteBehind*>(self)->Run(); }, this);
        threaded = true;
    } catch (const std::system_error&) {
        threaded = false;  // no thread to be had: each record is written when given
    }
}

CMifWriteBehind::~CMifWriteBehind() {
    if (threaded && !finished) {
        ring.Stop();
        thread.join();
    }
}

void CMifWriteBehind::Run() {
    while (CRecordBatch* batch = ring.BeginEmpty()) {
        for (const CMifObjectPtr& record : batch->records) {
            writer.WriteObject(*record);
        }
        failed.store(writer.MifWriteFailed(), std::memory_order_relaxed);
        ring.EndEmpty();
    }
}

void CMifWriteBehind::Write(CMifObjectPtr record, CMifRecordPool& pool) {
    if (!threaded) {
        writer.WriteObject(*record);
        failed.store(writer.MifWriteFailed(), std::memory_order_relaxed);
        pool.Give(std::move(record));
        return;
    }
    if (filling == nullptr) {
        filling = ring.BeginFill();
        for (CMifObjectPtr& written : filling->records) {
            pool.Give(std::move(written));
        }
        filling->records.clear();
        filling->nodes = 0;
    }
    filling->nodes += MifObjectCapacity(*record) + 1;
    filling->records.push_back(std::move(record));
    if (filling->records.size() >= kBatchRecords || filling->nodes >= kBatchNodes) {
        filling = nullptr;
        ring.EndFill(false);
    }
}

void CMifWriteBehind::Finish() {
    if (!threaded || finished) {
        return;
    }
    if (filling == nullptr) {
        filling = ring.BeginFill();
        filling->records.clear();
    }
    filling = nullptr;
    ring.EndFill(true);
    thread.join();
    finished = true;
}
