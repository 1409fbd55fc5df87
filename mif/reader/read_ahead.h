#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "mif/model/batch_ring.h"
#include "mif/model/mif_object.h"

class CMifReader;

// A run of objects in file order, with the values the MID holds for them.
class CMifBatch {
public:
    size_t Count() const { return objects.size(); }
    // Object k, null where the file gives none; the caller may take it or free it early.
    CMifObjectPtr& Object(size_t k) { return objects[k]; }
    // Column i's value for object k: true and the value when the MID holds it. A zero byte
    // follows the value, so that its data() is also a C string (cut at a zero byte within).
    bool Value(size_t k, int i, std::string_view& value) const;
    // How far the objects have been read after the last of the batch, 0 to 100.
    double Progress() const { return progress; }

private:
    friend class CMifReadAhead;
    // Reads objects and their values into the batch, as many as its bounds take but at least one
    // when any is left; its earlier objects go back to the reader for reuse.
    void Fill(CMifReader& reader);

    std::vector<CMifObjectPtr> objects;
    std::string values;         // every value held, each followed by a zero byte
    std::vector<size_t> ends;   // per object and column: where its value ends in values
    std::vector<uint8_t> held;  // per object and column: 1 when the MID holds the value
    size_t columns = 0;
    double progress = 0.0;
    bool last = false;  // no object follows the batch
};

// Reads the objects of an open pair with their MID values some batches ahead of the caller, on a
// thread of its own, so that reading and parsing go on while the caller uses what was read. The
// thread uses only the reader: it calls nothing of the host. Where no thread can be started, each
// batch is read when it is asked for.
class CMifReadAhead {
public:
    // Rewinds the reader and begins reading. The reader is not to be used until this is gone.
    explicit CMifReadAhead(CMifReader& reader);
    // Stops reading and waits for the thread.
    ~CMifReadAhead();
    CMifReadAhead(const CMifReadAhead&) = delete;
    CMifReadAhead& operator=(const CMifReadAhead&) = delete;

    // The next batch in file order, null after the last; the batch returned before is given back.
    // Throws what reading threw (running out of memory), once the batches before are taken.
    CMifBatch* Next();

private:
    void Run();

    CMifReader& reader;
    CBatchRing<CMifBatch> ring;
    CMifBatch* held = nullptr;  // the batch the caller has
    std::thread thread;
    bool threaded = false;
};
