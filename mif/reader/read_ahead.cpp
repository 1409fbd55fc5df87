#include "mif/reader/read_ahead.h"

#include <system_error>
#include <utility>

#include "mif/reader/mif_reader.h"
#include "textfile/os_thread.h"

namespace {

// Bounds of a batch, so that the batches read ahead hold little memory: a batch ends before the
// next object once it holds this many objects, nodes, value bytes or values.
constexpr size_t kBatchObjects = 256;
constexpr size_t kBatchNodes = size_t{1} << 16;
constexpr size_t kBatchValueBytes = size_t{1} << 20;
constexpr size_t kBatchValues = size_t{1} << 16;

}  // namespace

bool CMifBatch::Value(size_t k, int i, std::string_view& value) const {
    size_t slot = k * columns + static_cast<size_t>(i);
    if (held[slot] == 0) {
        return false;
    }
    // A held value is followed by a zero byte, which is no part of it.
    size_t begin = slot == 0 ? 0 : ends[slot - 1] + held[slot - 1];
    value = std::string_view(values).substr(begin, ends[slot] - begin);
    return true;
}

void CMifBatch::Fill(CMifReader& reader) {
    for (CMifObjectPtr& object : objects) {
        reader.GiveBack(std::move(object));
    }
    objects.clear();
    values.clear();
    ends.clear();
    held.clear();
    const int columnCount = reader.Header().columns.GetCount();
    columns = static_cast<size_t>(columnCount);
    size_t nodes = 0;
    while (reader.IsEof() == 0 && objects.size() < kBatchObjects && nodes < kBatchNodes &&
           values.size() < kBatchValueBytes && held.size() < kBatchValues) {
        reader.ReadObject();
        objects.push_back(reader.TakeObject());
        if (objects.back() != nullptr) {
            nodes += MifObjectCapacity(*objects.back()) + 1;
        }
        for (int i = 0; i < columnCount; ++i) {
            bool has = reader.AppendFieldValue(i, values) == 1;
            held.push_back(has ? 1 : 0);
            ends.push_back(values.size());
            if (has) {
                values.push_back('\0');
            }
        }
        reader.MoveNext();
    }
    progress = reader.Progress();
    last = reader.IsEof() != 0;
}

CMifReadAhead::CMifReadAhead(CMifReader& file) : reader(file) {
    reader.Rewind();
    try {
        thread =
            StartWorkerThread([](void* self) { static_cast<CMifReadAhead*>(self)->Run(); }, this);
        threaded = true;
    } catch (const std::system_error&) {
        threaded = false;  // no thread to be had: each batch is read when asked for
    }
}

CMifReadAhead::~CMifReadAhead() {
    if (threaded) {
        ring.Stop();
        thread.join();
    }
}

void CMifReadAhead::Run() {
    while (CMifBatch* batch = ring.BeginFill()) {
        try {
            batch->Fill(reader);
        } catch (...) {
            ring.Fail(std::current_exception());
            return;
        }
        bool last = batch->last;
        ring.EndFill(last);
        if (last) {
            return;
        }
    }
}

CMifBatch* CMifReadAhead::Next() {
    if (!threaded) {
        CMifBatch& batch = ring.At(0);
        if (held != nullptr && batch.last) {
            return nullptr;
        }
        batch.Fill(reader);
        held = &batch;
        return held;
    }
    if (held != nullptr) {
        held = nullptr;
        ring.EndEmpty();
    }
    held = ring.BeginEmpty();
    return held;
}
